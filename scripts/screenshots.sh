#!/usr/bin/env bash
# Takes a PNG of every window of the client under Xvfb into docs/screenshots/
# (or the folder given), as the README shows them. The notice when a fax
# ends is drawn by a desktop notification service (dunst) on a private
# session bus; without dunst or dbus-run-session it is pictured in the
# program's own notice window instead.
# The address book on an office's shared store (address-book-shared.png) is
# the program itself, its RUBRICA naming a private PostgreSQL server that
# listens on a Unix socket only; without the server package it is left out.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
out="${1:-$root/docs/screenshots}"
cmake --build "$build" --target corvafax-screenshots corvafax KestrelOCX >/dev/null
mkdir -p "$out"
out="$(cd "$out" && pwd)"
shots="$build/tests/client/screenshots/corvafax-screenshots"
run=("$shots" "$out")
if command -v dbus-run-session >/dev/null && command -v dunst >/dev/null; then
  # dunst goes with the private bus and the display when they end.
  run=(dbus-run-session -- sh -c 'dunst >/dev/null 2>&1 & "$0" "$1"' "$shots" "$out")
fi
xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" "${run[@]}"

# --- the address book on a shared store
pg_bin="$(find /usr/lib/postgresql -mindepth 2 -maxdepth 2 -name bin 2>/dev/null | sort -V | tail -n 1)"
if [[ ! -x $pg_bin/postgres ]]; then
  echo "screenshots: no PostgreSQL server (Debian package postgresql): address-book-shared.png left out" >&2
  exit 0
fi
# shellcheck source=../tests/e2e/e2e-common.sh
source "$root/tests/e2e/e2e-common.sh"
work="$(mktemp -d /tmp/corvafax-shots.XXXXXX)"
chmod 755 "$work"
PG_PID='' CLIENT_PID='' XVFB_PID=''
cleanup() {
  set +e
  stop_pid "$CLIENT_PID"
  [[ -n $PG_PID ]] && kill -INT "$PG_PID" 2>/dev/null && wait "$PG_PID" 2>/dev/null
  stop_pid "$XVFB_PID"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The server refuses to run as root: then it runs as nobody.
server_user=()
[[ $(id -u) -eq 0 ]] && server_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
as_server() { "${server_user[@]}" "$@"; }
mkdir -p "$work/pg/socket"
[[ $(id -u) -eq 0 ]] && chown -R nobody:nogroup "$work/pg"
as_server "$pg_bin/initdb" -D "$work/pg/data" -U admin -E UTF8 --locale=C --auth-local=trust --no-sync \
  >"$work/initdb.log" 2>&1 || {
  cat "$work/initdb.log" >&2
  exit 1
}
# Started as it is (no function around it): PG_PID is the server's own.
"${server_user[@]}" "$pg_bin/postgres" -D "$work/pg/data" -k "$work/pg/socket" -c listen_addresses= -p 5432 \
  -c fsync=off >/dev/null 2>"$work/server.log" &
PG_PID=$!
for _ in $(seq 300); do
  as_server "$pg_bin/pg_isready" -q -h "$work/pg/socket" && break
  sleep 0.1
done
psql_admin() { as_server "$pg_bin/psql" -X -q -v ON_ERROR_STOP=1 -h "$work/pg/socket" -U admin "$@"; }
psql_admin -d postgres -c 'CREATE DATABASE rubrica' >/dev/null
# As an administrator prepares an office's server; the desks log in as admin.
psql_admin -d rubrica -v desk=admin -f "$root/share/kestrel/rubrica-server.sql" >/dev/null
psql_admin -d rubrica >/dev/null <<'SQL'
INSERT INTO anagrafica (fax, nome, gruppo) VALUES
  ('0612345', 'Studio Rossi', '1'),
  ('0298765432', 'Dell''Orto forniture', '1'),
  ('0556677', 'Ufficio acquisti', '2'),
  ('0114433221', 'Magazzino Torino', '2'),
  ('0817654321', 'Avv. Esposito', '3'),
  ('0403322110', 'Trieste Logistica', '3');
SQL

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
# A program folder, a session and ports of its own; no appliance and no print
# system answer (the client says so in notices, which are not pictured).
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" KESTREL_PROGRAM_DIR="$work/program"
mkdir -p "$HOME" "$KESTREL_PROGRAM_DIR" && mkdir -m 700 "$XDG_RUNTIME_DIR"
export KESTREL_COMPONENT_REGISTRY="$build/components.reg" CUPS_SERVER="$work/no-print-system.sock"
KESTREL_PRINT_PORT=$(free_port) KESTREL_HTTP_PORT=$(free_port) KESTREL_FAX_PORT=$(free_port)
export KESTREL_PRINT_PORT KESTREL_HTTP_PORT KESTREL_FAX_PORT
printf '[MAIN]\r\nIP=127.0.0.1\r\nUSER=ufficio\r\nPASS=segreta\r\nMAIL=fax@ufficio.example\r\nRUBRICA=%s\r\n' \
  "postgresql://admin@/rubrica?host=$work/pg/socket" >"$KESTREL_PROGRAM_DIR/KZV.INI"
chmod 600 "$KESTREL_PROGRAM_DIR/KZV.INI"

display=:$((90 + RANDOM % 400))
Xvfb "$display" -screen 0 1280x800x24 -dpi 96 -nolisten tcp >"$work/xvfb.log" 2>&1 &
XVFB_PID=$!
export DISPLAY=$display
for _ in $(seq 50); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done
# find_window TITLE: the first visible window with that title.
find_window() {
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    [[ -n $id ]] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
"$build/client/corvafax" >"$work/client.log" 2>&1 &
CLIENT_PID=$!
for _ in $(seq 150); do
  python3 -c "import socket; socket.create_connection(('127.0.0.1', $KESTREL_PRINT_PORT), 0.2).close()" \
    2>/dev/null && break
  sleep 0.2
done
# A second start brings the send window forward; "&Rubrica" opens the book.
"$build/client/corvafax" >/dev/null 2>&1 || true
send_window=$(find_window '^Invio Fax') || {
  echo "screenshots: the send window did not come up (see $work/client.log)" >&2
  cat "$work/client.log" >&2
  exit 1
}
xdotool windowfocus --sync "$send_window" key alt+r
book=$(find_window '^Rubrica$') || {
  echo "screenshots: the address book did not open" >&2
  exit 1
}
sleep 1 # its contacts come from the server
# Another desk adds a contact: the open address book lists it at once.
psql_admin -d rubrica -c "INSERT INTO anagrafica (fax, nome, gruppo) VALUES ('0499887766', 'Nuovo cliente', '1')" \
  >/dev/null
sleep 1
import -window "$book" "$out/address-book-shared.png"
echo "$out/address-book-shared.png"

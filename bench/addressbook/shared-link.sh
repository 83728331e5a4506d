#!/bin/bash
# The shared address book across an office link: 10 Mbit/s each way and a
# 20 ms round trip (bench/link/office-link.py carries every packet between
# two network namespaces). A private PostgreSQL server runs in one, and
# bench-shared-addressbook in the other lists the 10,000 contacts through the
# store and through libpq alone, in paired alternating rounds, and times a
# change reaching a second store; then the store and psql list them once
# more, to count the bytes of one listing on the link.
#
#   shared-link.sh BENCH_SHARED_ADDRESSBOOK [ROUNDS]
#
# Needs root (namespaces) and the PostgreSQL server package.

set -u
export LC_ALL=C

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly HERE
readonly CLIENT_NS=kestrel-desk SERVER_NS=kestrel-dbserver
readonly CLIENT_ADDR=10.78.0.2 SERVER_ADDR=10.78.1.2 PORT=5432

BENCH=${1:-} ROUNDS=${2:-11}
if [[ ! -x $BENCH || ! $ROUNDS =~ ^[1-9][0-9]*$ ]]; then
    sed -n '10p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
    exit 2
fi
if [[ $(id -u) -ne 0 ]]; then
    echo "shared-link needs root (network namespaces)" >&2
    exit 1
fi
PG_BIN=$(find /usr/lib/postgresql -mindepth 2 -maxdepth 2 -name bin 2>/dev/null | sort -V | tail -n 1)
if [[ ! -x $PG_BIN/postgres ]]; then
    echo "the PostgreSQL server is not installed (Debian package postgresql)" >&2
    exit 1
fi
if [[ -z ${KESTREL_SHARED_LINK_NS:-} ]]; then
    # A private network and mount namespace of our own, where the two below can be made.
    KESTREL_SHARED_LINK_NS=1 exec unshare -n --mount-proc -f -- bash "${BASH_SOURCE[0]}" "$BENCH" "$ROUNDS"
fi
PATH=$PATH:/usr/sbin:/sbin
# Namespace names of this run alone: /run/netns of this mount namespace.
mkdir -p /run/netns && mount -t tmpfs kestrel-netns /run/netns || exit 1

WORK=$(mktemp -d /tmp/kestrel-shared-link.XXXXXX)
chmod 755 "$WORK"
LINK_PID=
PG_PID=
cleanup() {
    [[ -n $PG_PID ]] && kill -INT "$PG_PID" 2>/dev/null && wait "$PG_PID" 2>/dev/null
    [[ -n $LINK_PID ]] && kill "$LINK_PID" 2>/dev/null
    ip netns del "$CLIENT_NS" 2>/dev/null
    ip netns del "$SERVER_NS" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- the link: two namespaces joined by the relay, 10 ms each way, 10 Mbit/s
ip link set lo up
ip netns add "$CLIENT_NS" && ip netns add "$SERVER_NS" || exit 1
coproc LINK { python3 "$HERE/../link/office-link.py" lnkc lnks 10 10; }
read -r -t 10 -u "${LINK[0]}" ready && [[ $ready == ready ]] || {
    echo "the link relay did not start" >&2
    exit 1
}
ip link set lnkc netns "$CLIENT_NS" && ip link set lnks netns "$SERVER_NS" || exit 1
ip -n "$CLIENT_NS" link set lo up
ip -n "$SERVER_NS" link set lo up
ip -n "$CLIENT_NS" addr add "$CLIENT_ADDR/24" dev lnkc
ip -n "$SERVER_NS" addr add "$SERVER_ADDR/24" dev lnks
ip -n "$CLIENT_NS" link set lnkc up
ip -n "$SERVER_NS" link set lnks up
ip -n "$CLIENT_NS" route add 10.78.1.0/24 dev lnkc
ip -n "$SERVER_NS" route add 10.78.0.0/24 dev lnks
# link_bytes: what crossed the link, both ways, since the last call.
link_bytes() {
    local line
    echo count >&"${LINK[1]}"
    read -r -t 10 -u "${LINK[0]}" line || return 1
    awk '{ print $2 + $3 + $4 }' <<<"$line"
}

# --- the server: a cluster of its own, run by nobody; the desk's address may
# log in as admin without a password (nothing else reaches this namespace).
as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }
mkdir -p "$WORK/pg/socket" && chown -R nobody:nogroup "$WORK/pg"
as_nobody "$PG_BIN/initdb" -D "$WORK/pg/data" -U admin -E UTF8 --locale=C --auth-local=trust \
    --auth-host=reject --no-sync >"$WORK/initdb.log" 2>&1 || {
    cat "$WORK/initdb.log" >&2
    exit 1
}
printf 'host all admin %s/32 trust\n' "$CLIENT_ADDR" >>"$WORK/pg/data/pg_hba.conf"
ip netns exec "$SERVER_NS" setpriv --reuid=nobody --regid=nogroup --clear-groups \
    "$PG_BIN/postgres" -D "$WORK/pg/data" -k "$WORK/pg/socket" -h "$SERVER_ADDR" -p "$PORT" \
    -c fsync=off -c log_min_messages=fatal >/dev/null 2>"$WORK/server.log" &
PG_PID=$!
for _ in $(seq 300); do
    as_nobody "$PG_BIN/pg_isready" -q -h "$WORK/pg/socket" -p "$PORT" && break
    sleep 0.1
done
as_nobody "$PG_BIN/pg_isready" -q -h "$WORK/pg/socket" -p "$PORT" || {
    cat "$WORK/server.log" >&2
    exit 1
}

URI="postgresql://admin@$SERVER_ADDR:$PORT/postgres"
echo "Across a 10 Mbit/s, 20 ms round-trip link to a private PostgreSQL server"
ip netns exec "$CLIENT_NS" "$BENCH" --uri "$URI" "$ROUNDS" || exit 1

# The bytes of one listing on the link, both ways: a store's connection and
# listing, then psql's connection and the plain SELECT, a row each.
link_bytes >/dev/null
ip netns exec "$CLIENT_NS" "$BENCH" --uri "$URI" --once || exit 1
ours=$(link_bytes) || exit 1
ip netns exec "$CLIENT_NS" "$PG_BIN/psql" -X -q -d "$URI" -c \
    'SELECT id, fax, nome, gruppo, version FROM anagrafica ORDER BY gruppo, nome, id' >/dev/null || exit 1
theirs=$(link_bytes) || exit 1
awk -v o="$ours" -v t="$theirs" 'BEGIN {
    printf "bytes on the link, connection included: the store %d (%.0f ms at 10 Mbit/s), psql %d (%.0f ms)\n",
        o, o * 8 / 10000, t, t * 8 / 10000 }'

#!/usr/bin/env bash
# Takes a PNG of every window of the client under Xvfb into docs/screenshots/
# (or the folder given), as the README shows them. The notice when a fax
# ends is drawn by a desktop notification service (dunst) on a private
# session bus; without dunst or dbus-run-session it is pictured in the
# program's own notice window instead.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
out="${1:-$root/docs/screenshots}"
cmake --build "$build" --target corvafax-screenshots >/dev/null
mkdir -p "$out"
shots="$build/tests/client/screenshots/corvafax-screenshots"
run=("$shots" "$out")
if command -v dbus-run-session >/dev/null && command -v dunst >/dev/null; then
  # dunst goes with the private bus and the display when they end.
  run=(dbus-run-session -- sh -c 'dunst >/dev/null 2>&1 & "$0" "$1"' "$shots" "$out")
fi
xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" "${run[@]}"

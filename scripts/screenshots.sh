#!/usr/bin/env bash
# Takes a PNG of every window of the client under Xvfb into docs/screenshots/
# (or the folder given), as the README shows them.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
out="${1:-$root/docs/screenshots}"
cmake --build "$build" --target corvafax-screenshots >/dev/null
mkdir -p "$out"
xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" "$build/tests/client/screenshots/corvafax-screenshots" "$out"

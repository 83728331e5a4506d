#!/usr/bin/env bash
# Installs what is needed, checks the formatting, builds with warnings as
# errors, and runs every test: the unit tests first, then those against the
# real peers.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
bash "$root/scripts/setup.sh"
BUILD_DIR="$build" KESTREL_CMAKE_OPTIONS="-DKESTREL_WERROR=ON ${KESTREL_CMAKE_OPTIONS:-}" \
    bash "$root/scripts/build.sh"
cmake --build "$build" --target format-check
cd "$build"
ctest --output-on-failure -j"$(nproc)" -L unit "$@"
ctest --output-on-failure -j"$(nproc)" -LE unit "$@"

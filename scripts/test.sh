#!/usr/bin/env bash
# Installs what is needed, builds with warnings as errors, checks the
# formatting, runs clang-tidy on the sources changed against main
# (scripts/tidy.sh), and runs every test: the unit tests first, then those
# against the real peers.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
bash "$root/scripts/setup.sh"
BUILD_DIR="$build" KESTREL_CMAKE_OPTIONS="-DKESTREL_WERROR=ON ${KESTREL_CMAKE_OPTIONS:-}" \
    bash "$root/scripts/build.sh"
cmake --build "$build" --target format-check
BUILD_DIR="$build" bash "$root/scripts/tidy.sh"
cd "$build"
ctest --output-on-failure -j"$(nproc)" -L unit "$@"
ctest --output-on-failure -j"$(nproc)" -LE unit "$@"

#!/usr/bin/env bash
# Configures and builds the project into build/ (or $BUILD_DIR). Extra CMake
# options may come in $KESTREL_CMAKE_OPTIONS.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
# shellcheck disable=SC2086
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release ${KESTREL_CMAKE_OPTIONS:-} >/dev/null
cmake --build "$build" -j"$(nproc)"

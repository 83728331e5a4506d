#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
bash "$root/scripts/setup.sh"
BUILD_DIR="$build" bash "$root/scripts/build.sh"
cd "$build"
ctest --output-on-failure -j"$(nproc)" "$@"

#!/usr/bin/env bash
# Installs what is needed, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs the unit tests (label "unit") there.
# Any finding fails the run. With SANITIZE_BUILD_ONLY=1 it only builds (CI
# builds while the main tests run).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${SANITIZE_BUILD_DIR:-$root/build-sanitize}"
bash "$root/scripts/setup.sh" >/dev/null
# Unoptimised: this tree is for finding faults, and builds faster so.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O0" \
    -DKESTREL_SANITIZE=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
[[ ${SANITIZE_BUILD_ONLY:-} == 1 ]] && exit 0
cd "$build"
# Qt's own allocations live until exit: leaks are not what this run looks for.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
ctest -L unit --output-on-failure -j"$(nproc)" "$@"

#!/usr/bin/env bash
# Runs clang-tidy (the checks of .clang-tidy) on the sources changed against
# the branch point with main, committed or not; with --all, on every source
# of the build. Needs a configured and built tree in build/ (or $BUILD_DIR):
# the compile commands and the generated moc headers. Any finding fails.
#
# A changed header is checked through one source that includes it (its own
# .cpp when there is one), and its findings count as the source's do.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
cd "$root"

if [ ! -f "$build/compile_commands.json" ]; then
    echo "tidy: no $build/compile_commands.json; build the tree first" >&2
    exit 2
fi

# The project's sources the build compiles (generated files left out).
mapfile -t compiled < <(python3 - "$build/compile_commands.json" "$root" <<'EOF'
import json, os, sys
root = sys.argv[2].rstrip('/') + '/'
for entry in json.load(open(sys.argv[1])):
    path = os.path.normpath(os.path.join(entry['directory'], entry['file']))
    if path.startswith(root) and '/build' not in path[len(root) - 1:]:
        print(path[len(root):])
EOF
)

sources=()
headers=()
if [ "${1:-}" = "--all" ]; then
    sources=("${compiled[@]}")
else
    base_ref="${TIDY_BASE:-main}"
    git rev-parse -q --verify "$base_ref" >/dev/null || base_ref="origin/main"
    if ! base="$(git merge-base HEAD "$base_ref" 2>/dev/null)"; then
        echo "tidy: no branch point with $base_ref; nothing checked" >&2
        exit 0
    fi
    mapfile -t changed < <({ git diff --name-only --diff-filter=d "$base"; git ls-files --others --exclude-standard; } |
        sort -u)
    for file in "${changed[@]}"; do
        case "$file" in
        *.cpp) printf '%s\n' "${compiled[@]}" | grep -qxF "$file" && sources+=("$file") ;;
        *.h)
            headers+=("$file")
            own="${file%.h}.cpp"
            if printf '%s\n' "${compiled[@]}" | grep -qxF "$own"; then
                sources+=("$own")
            else
                name="$(basename "$file")"
                for candidate in "${compiled[@]}"; do
                    if grep -qE "^#include [\"<]([^\">]*/)?${name//./\\.}[\">]" "$candidate"; then
                        sources+=("$candidate")
                        break
                    fi
                done
            fi
            ;;
        esac
    done
fi

if [ "${#sources[@]}" -eq 0 ]; then
    echo "tidy: no changed source to check"
    exit 0
fi
mapfile -t sources < <(printf '%s\n' "${sources[@]}" | sort -u)

# The changed headers' findings are reported with their sources'.
filter='^$'
if [ "${#headers[@]}" -gt 0 ]; then
    filter="$(printf '%s\n' "${headers[@]}" | sed 's/[.]/\\./g' | paste -sd'|')"
    filter="^$root/($filter)\$"
fi

echo "tidy: checking ${#sources[@]} file(s)"
# -w: the compiler's own warnings are gcc's business (-Werror build); some of
# its options are unknown to clang.
printf '%s\n' "${sources[@]}" |
    xargs -P"$(nproc)" -n1 clang-tidy -p "$build" --quiet --header-filter="$filter" --extra-arg=-w \
        2> >(grep -v ' warnings generated\.$' >&2)
echo "tidy: no finding"

#!/usr/bin/env bash
# Formats every C++ source of the tree with clang-format (the style is .clang-format).
#   scripts/format.sh           rewrites the files that drift
#   scripts/format.sh --check   changes nothing; lists the files that drift and fails if any do
set -euo pipefail
cd "$(dirname "$0")/.."

check=false
case "${1:-}" in
    --check) check=true ;;
    "") ;;
    --help|-h) sed -n '2,4s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "format.sh: unknown argument '$1' (see --help)" >&2; exit 2 ;;
esac

command -v clang-format >/dev/null || {
    echo "format.sh: clang-format is missing (apt install clang-format)" >&2
    exit 2
}

mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
if ! $check; then
    clang-format -i -- "${files[@]}"
    exit 0
fi

# One clang-format per file, as many at once as there are cores; the files that drift are named.
mapfile -t drift < <(printf '%s\0' "${files[@]}" | xargs -0 -n 16 -P "$(nproc)" sh -c '
    for file; do clang-format --dry-run --Werror -- "$file" >/dev/null 2>&1 || echo "$file"; done' sh)
if [ ${#drift[@]} -gt 0 ]; then
    printf '%s\n' "${drift[@]}" >&2
    echo "format.sh: ${#drift[@]} file(s) differ from clang-format's layout; scripts/format.sh fixes them" >&2
    exit 1
fi

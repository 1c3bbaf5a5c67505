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

# clang-format names each file that drifts in a "code should be clang-formatted" error; a few
# dozen files per run, as many runs at once as there are cores. Any other complaint (a style
# file it cannot read, a file it cannot open) fails the check too.
report=$(printf '%s\0' "${files[@]}" |
    xargs -0 -n 64 -P "$(nproc)" clang-format --dry-run --Werror -- 2>&1) || true
violation='^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*'
mapfile -t drift < <(sed -n "s/$violation/\\1/p" <<<"$report" | sort -u)
other=$(grep -E '^(Error|[^ ]+: error)' <<<"$report" | grep -v "code should be clang-formatted" |
    sort -u | head -n 20) || true
if [ -n "$other" ]; then
    printf '%s\n' "$other" >&2
    echo "format.sh: clang-format could not check the sources" >&2
    exit 2
fi
if [ ${#drift[@]} -gt 0 ]; then
    printf '%s\n' "${drift[@]}" >&2
    echo "format.sh: ${#drift[@]} file(s) differ from clang-format's layout; scripts/format.sh fixes them" >&2
    exit 1
fi

#!/usr/bin/env bash
# The .xlsx export of generated dumps of 65,000 and 1,000,000 records: meridax-bench-xlsx
# against python3-xlsxwriter (constant memory) writing the same cells, and meridax-cli
# convert to .mxe for the memory baseline, alternating in one run. Prints the export's own
# time, the process's wall time and its peak RSS.
#   bench/xlsx/xlsx-vs-python.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
build=${1:-build-rel}
rounds=${2:-3}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for records in 65000 1000000; do
    "$build/bench/core/meridax-bench-make-dump" "$records" "$work/dump.txt"
    echo "== $records records ($(stat -c %s "$work/dump.txt") bytes)"
    for round in $(seq "$rounds"); do
        /usr/bin/time -f "  meridax  wall %e s cpu %U+%S s peak %M KiB" \
            "$build/bench/xlsx/meridax-bench-xlsx" "$work/dump.txt" "$work/m.xlsx"
        /usr/bin/time -f "  python   wall %e s cpu %U+%S s peak %M KiB" \
            /usr/bin/python3 "$here/python_xlsxwriter.py" "$work/dump.txt" "$work/p.xlsx"
        /usr/bin/time -f "  cli .mxe wall %e s cpu %U+%S s peak %M KiB" \
            "$build/tools/meridax-cli" convert "$work/dump.txt" --to "$work/m.mxe"
    done
    echo "  sizes: meridax $(stat -c %s "$work/m.xlsx"), python $(stat -c %s "$work/p.xlsx") bytes"
done

#!/usr/bin/env bash
# meridax-cli convert of a generated 1,000,000-record dump to .mxe against mawk doing the
# same rewrite (fields joined by "@", lines ended by "^"), alternating rounds so both see
# the same machine load. Prints wall and CPU seconds and the peak RSS of each round.
#   bench/core/convert-vs-mawk.sh [BUILD_DIR] [ROUNDS] [mxe|csv]
# csv: the conversion to CSV against mawk printing the fields between commas, lines ended by
# CR LF.
set -euo pipefail
build=${1:-build-rel}
rounds=${2:-5}
format=${3:-mxe}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/core/meridax-bench-make-dump" 1000000 "$work/dump.txt"
echo "dump: $(stat -c %s "$work/dump.txt") bytes, 1000000 records"
if [ "$format" = csv ]; then
    awkProgram='BEGIN { RS = "\n\r"; FS = "\t"; OFS = ","; ORS = "\r\n" } NF >= 4 { $1 = $1; print }'
else
    awkProgram='BEGIN { RS = "\n\r"; FS = "\t"; OFS = "@"; ORS = "^" } NF >= 4 { $1 = $1; print }'
fi
for round in $(seq "$rounds"); do
    /usr/bin/time -f "convert wall %e s cpu %U+%S s peak %M KiB" \
        "$build/tools/meridax-cli" convert "$work/dump.txt" --to "$work/out.$format"
    /usr/bin/time -f "mawk    wall %e s cpu %U+%S s peak %M KiB" \
        mawk "$awkProgram" "$work/dump.txt" > "$work/mawk.out"
done

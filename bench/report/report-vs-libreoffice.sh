#!/usr/bin/env bash
# The PDF test report of a generated dump of 10,000 records: meridax-cli report against the
# route a user takes otherwise, the same rows' .xlsx (verdict columns included) converted to
# PDF by LibreOffice headless, alternating in one run. LibreOffice gets a warm-up conversion
# first so that its profile is made before the timed rounds. Prints wall time, CPU time and
# peak RSS of each.
#   bench/report/report-vs-libreoffice.sh [BUILD_DIR] [ROUNDS] [RECORDS]
set -euo pipefail
build=${1:-build-rel}
rounds=${2:-3}
records=${3:-10000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cli="$build/tools/meridax-cli"
"$build/bench/core/meridax-bench-make-dump" "$records" "$work/dump.txt"
cat >"$work/budget.json" <<'JSON'
{ "name": "Benchmark", "preset": "tia-568-sm-isp",
  "links": [ { "cable": "*", "length_m": 500, "connectors": 2, "splices": 1 } ],
  "power_dbm": { "1310": { "min": -20, "max": -3 }, "1550": { "min": -20, "max": -3 } } }
JSON
"$cli" convert "$work/dump.txt" --budget "$work/budget.json" --header --to "$work/rows.xlsx"
soffice=(/usr/bin/soffice -env:UserInstallation="file://$work/lo-profile" --headless
         --convert-to pdf --outdir "$work/lo" "$work/rows.xlsx")
"${soffice[@]}" >/dev/null 2>&1
echo "== $records records"
for round in $(seq "$rounds"); do
    # Exit code 3 (a row failed) is the expected outcome here.
    /usr/bin/time -f "  meridax-cli report  wall %e s cpu %U+%S s peak %M KiB" \
        "$cli" report "$work/dump.txt" --budget "$work/budget.json" --to "$work/m.pdf" || [ $? -eq 3 ]
    /usr/bin/time -f "  libreoffice xlsx→pdf wall %e s cpu %U+%S s peak %M KiB" \
        "${soffice[@]}" >/dev/null
done
echo "  pages: meridax $(pdfinfo "$work/m.pdf" | awk '/^Pages/ {print $2}')," \
     "libreoffice $(pdfinfo "$work/lo/rows.pdf" | awk '/^Pages/ {print $2}')"

#!/usr/bin/env bash
# The job's PDF report of a generated job of 10,000 pairs (20,000 readings) against the same
# rows' .xlsx converted to PDF by LibreOffice headless, alternating in one run. The benchmark
# program makes the job, computes its results, writes the report (timed on its own) and then
# the workbook; LibreOffice gets a warm-up conversion first so that its profile is made before
# the timed rounds, in which the benchmark writes the report only. Prints wall time, CPU time
# and peak RSS of each whole process.
#   bench/report/job-report-vs-libreoffice.sh [BUILD_DIR] [ROUNDS] [PAIRS]
set -euo pipefail
build=${1:-build-rel}
rounds=${2:-3}
pairs=${3:-10000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bench="$build/bench/report/meridax-bench-job-report"
"$bench" "$pairs" "$work/warm.pdf" "$work/rows.xlsx" >/dev/null
soffice=(/usr/bin/soffice -env:UserInstallation="file://$work/lo-profile" --headless
         --convert-to pdf --outdir "$work/lo" "$work/rows.xlsx")
"${soffice[@]}" >/dev/null 2>&1
echo "== $pairs pairs"
for round in $(seq "$rounds"); do
    /usr/bin/time -f "  meridax job report   wall %e s cpu %U+%S s peak %M KiB" \
        "$bench" "$pairs" "$work/m.pdf"
    /usr/bin/time -f "  libreoffice xlsx→pdf wall %e s cpu %U+%S s peak %M KiB" \
        "${soffice[@]}" >/dev/null
done
echo "  pages: meridax $(pdfinfo "$work/m.pdf" | awk '/^Pages/ {print $2}')," \
     "libreoffice $(pdfinfo "$work/lo/rows.pdf" | awk '/^Pages/ {print $2}')"

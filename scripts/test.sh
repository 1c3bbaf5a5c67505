#!/usr/bin/env bash
# Builds and runs every test, in stages:
#   normal   the programs built as packed (Release, Debian's hardening flags), every test
#   asan     every test under AddressSanitizer and UndefinedBehaviorSanitizer
#   tsan     the tests of the threaded parts (serial port, device session, meridax-cli import)
#            under ThreadSanitizer
#   package  the Debian package made of the normal tree's programs, then checked
# Used by the README and by CI, which run every stage.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
    cat <<'USAGE'
usage: scripts/test.sh [--stage normal|asan|tsan|package]... [--help]

Installs what is missing, builds and runs the tests. Without --stage it runs every stage, as
CI does: normal, asan, tsan, package. --stage may be given more than once.
  normal   the programs optimised as packed, every test (the window offscreen)
  asan     every test under AddressSanitizer + UndefinedBehaviorSanitizer
  tsan     the threaded parts' tests under ThreadSanitizer
  package  the Debian package of the normal tree's programs, checked (lintian, validators,
           the programs run from an unpacked copy)
ccache is used when installed. One test by name, in a configured tree:
  ctest --test-dir build -R 'meridax_export_tests\.XlsxExportTest\.' --output-on-failure
USAGE
}

stages=()
while [ $# -gt 0 ]; do
    case "$1" in
        --stage)
            case "${2:-}" in
                normal|asan|tsan|package) stages+=("$2") ;;
                *) echo "test.sh: --stage takes normal, asan, tsan or package" >&2; exit 2 ;;
            esac
            shift 2 ;;
        --help|-h) usage; exit 0 ;;
        *) echo "test.sh: unknown argument '$1' (see --help)" >&2; exit 2 ;;
    esac
done
[ ${#stages[@]} -gt 0 ] || stages=(normal asan tsan package)

./scripts/install-deps.sh
source scripts/trees.sh
jobs=$(nproc)

# The sanitizers' suppression files, where every test child can read them: tests run some
# programs as nobody, who cannot enter a clone in a private folder such as /root.
suppressions=$(mktemp -d)
trap 'rm -rf "$suppressions"' EXIT
cp tests/sanitizers/*.supp "$suppressions"
chmod 755 "$suppressions"
chmod 644 "$suppressions"/*.supp

# Every test case is an entry of its own; the long ones start first (their COST).
# run_ctest TREE PARALLEL [ctest arguments]
run_ctest() {
    local tree=$1 parallel=$2
    shift 2
    QT_QPA_PLATFORM=offscreen ctest --test-dir "$tree" --output-on-failure -j "$parallel" "$@"
}

stage_normal() {
    configure_normal
    cmake --build build -j "$jobs"
    # Most of the optimised tree's cases wait (on a port, a child process, a reader): two per
    # core keep the cores busy. The sanitizer trees' cases use their core.
    run_ctest build $((jobs * 2))
}

stage_asan() {
    configure_asan
    cmake --build build-asan -j "$jobs"
    ASAN_OPTIONS=detect_leaks=1 \
    LSAN_OPTIONS="suppressions='$suppressions/lsan.supp':print_suppressions=0" \
        run_ctest build-asan "$jobs"
}

# Only what the threaded tests need, so that this build stays short.
stage_tsan() {
    local tsan_tests=(comm_tests session_tests cli_import_tests)
    configure_tsan
    cmake --build build-tsan -j "$jobs" --target "${tsan_tests[@]}"
    TSAN_OPTIONS="halt_on_error=1:suppressions='$suppressions/tsan.supp'" \
        run_ctest build-tsan "$jobs" -R "^($(IFS='|'; echo "${tsan_tests[*]}"))\\."
}

stage_package() {
    ./scripts/check-package.sh --tree build
}

for stage in "${stages[@]}"; do
    echo "== test.sh: stage $stage"
    SECONDS=0
    "stage_$stage"
    echo "== test.sh: stage $stage passed in ${SECONDS}s"
done

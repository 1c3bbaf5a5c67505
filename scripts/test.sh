#!/usr/bin/env bash
# Builds and runs every test, in stages:
#   normal   the programs built as packed (Release, Debian's hardening flags), every test
#   asan     every test under AddressSanitizer and UndefinedBehaviorSanitizer
#   tsan     the tests of the threaded parts (serial port, device session, meridax-cli import)
#            under ThreadSanitizer
#   package  the Debian package made of the normal tree's programs, then checked
#   checks   each header of the libraries compiled alone (syntax only)
# Before any of them, the C++ sources' layout is checked (scripts/format.sh --check). Used by the README and by CI, which run every stage. While one stage runs its tests, the next
# stage's tree builds in the background.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
    cat <<'USAGE'
usage: scripts/test.sh [--stage normal|asan|tsan|package|checks]... [--help]

Installs what is missing, checks the sources' layout, builds and runs the tests. Without
--stage it runs every stage, as CI does: normal, package, tsan, asan, checks. --stage may be
given more than once; the stages run in the order given, and while one runs its tests the
next one's tree builds in the background (at the lowest priority; its log is shown if it
fails).
  normal   the programs optimised as packed, every test (the window offscreen)
  asan     every test under AddressSanitizer + UndefinedBehaviorSanitizer
  tsan     the threaded parts' tests under ThreadSanitizer
  package  the Debian package of the normal tree's programs, checked (lintian, validators,
           the programs run from an unpacked copy)
  checks   in the normal tree, each header of the libraries compiled alone, so that a
           header that leans on what its includer included fails here (each library is
           compiled as one batch in every tree, so that two file-local helpers of one name
           fail its build)
ccache is used when installed. One test by name, in a configured tree:
  ctest --test-dir build -R 'meridax_export_tests\.XlsxExportTest\.' --output-on-failure
USAGE
}

stages=()
while [ $# -gt 0 ]; do
    case "$1" in
        --stage)
            case "${2:-}" in
                normal|asan|tsan|package|checks) stages+=("$2") ;;
                *) echo "test.sh: --stage takes normal, asan, tsan, package or checks" >&2; exit 2 ;;
            esac
            shift 2 ;;
        --help|-h) usage; exit 0 ;;
        *) echo "test.sh: unknown argument '$1' (see --help)" >&2; exit 2 ;;
    esac
done
[ ${#stages[@]} -gt 0 ] || stages=(normal package tsan asan checks)

./scripts/install-deps.sh
# The layout first: a drift fails at once, before any build (scripts/format.sh fixes it).
./scripts/format.sh --check
source scripts/trees.sh
jobs=$(nproc)

# A scratch folder for the background builds' logs and the sanitizers' suppression files,
# where every test child can read them: tests run some programs as nobody, who cannot enter a
# clone in a private folder such as /root.
scratch=$(mktemp -d)
background_pid=""
stop_background_build() {
    [ -z "$background_pid" ] || kill -- "-$background_pid" 2>/dev/null || true
    rm -rf "$scratch"
}
trap stop_background_build EXIT
cp tests/sanitizers/*.supp "$scratch"
chmod 755 "$scratch"
chmod 644 "$scratch"/*.supp
# The tests' own settings folder (XDG_CONFIG_HOME), which children run as nobody may write too:
# Qt's file dialogs keep their history there, and no test reads or writes the user's own.
mkdir -m 1777 "$scratch/config"

# Every test case is an entry of its own; the long ones start first (their COST).
# run_ctest TREE PARALLEL [ctest arguments]
run_ctest() {
    local tree=$1 parallel=$2
    shift 2
    XDG_CONFIG_HOME="$scratch/config" QT_QPA_PLATFORM=offscreen \
        ctest --test-dir "$tree" --output-on-failure -j "$parallel" "$@"
}

# Each stage that has a tree builds it (build_STAGE), then runs its checks (check_STAGE).
# The test trees make warnings errors.
build_normal() {
    configure_normal -DMERIDAX_WERROR=ON -DMERIDAX_CHECKS=ON
    cmake --build build -j "$jobs"
}

check_normal() {
    # Most of the optimised tree's cases wait (on a port, a child process, a reader): two per
    # core keep the cores busy. The sanitizer trees' cases use more of their core: one more
    # case than cores there (on 2 cores, 3 at once took 94 s where 2 took 131 s and 4 took 93 s).
    run_ctest build $((jobs * 2))
}

build_asan() {
    configure_asan -DMERIDAX_WERROR=ON
    cmake --build build-asan -j "$jobs"
}

# clang 14's LeakSanitizer follows the dynamic TLS blocks that __tls_get_addr hands out, and
# with Debian 12's glibc it reads some at wild addresses: at the exit of the job report's cases
# its tracer crashed ("Tracer caught signal 11", "LeakSanitizer has encountered a fatal error"),
# as a normal user in most runs. Without that interception it scans no dynamic TLS block, which
# can only report more leaks, never fewer.
check_asan() {
    ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0 \
    LSAN_OPTIONS="suppressions='$scratch/lsan.supp':print_suppressions=0" \
        run_ctest build-asan $((jobs + 1))
}

# Only what the threaded tests need, so that this build stays short.
tsan_tests=(comm_tests session_tests cli_import_tests)
build_tsan() {
    configure_tsan -DMERIDAX_WERROR=ON
    cmake --build build-tsan -j "$jobs" --target "${tsan_tests[@]}"
}

check_tsan() {
    TSAN_OPTIONS="halt_on_error=1:suppressions='$scratch/tsan.supp'" \
        run_ctest build-tsan $((jobs + 1)) -R "^($(IFS='|'; echo "${tsan_tests[*]}"))\\."
}

check_package() {
    ./scripts/check-package.sh --tree build
}

# The checks compile each header of the normal tree's libraries alone, for syntax only. As the
# last stage they are built in the background while the ASan tests run, which leave a core
# idle much of the time; the stage then only waits for them.
build_checks() {
    configure_normal -DMERIDAX_WERROR=ON -DMERIDAX_CHECKS=ON
    cmake --build build -j "$jobs" --target meridax_checks
}

check_checks() {
    echo "== test.sh: every header of the libraries compiles alone"
}

# While a stage runs its tests, which leave the cores idle much of the time (they wait on
# ports, child processes, servers), the next stage's tree is built in the background at the
# lowest priority, so that the tests keep the cores they ask for. Its output goes to a log,
# shown when the build fails.
background_build=""
start_background_build() {
    local stage=$1
    background_build=$stage
    # A process group of its own (set -m), so that stopping it stops its compilers too.
    set -m
    (
        renice -n 19 "$BASHPID" >/dev/null
        "build_$stage"
    ) >"$scratch/build-$stage.log" 2>&1 &
    background_pid=$!
    set +m
}

# Waits for the background build of stage; gives its status and shows its log on failure.
finish_background_build() {
    local stage=$1
    if wait "$background_pid"; then
        background_pid=""
        echo "== test.sh: the $stage tree was built in the background"
        return 0
    fi
    background_pid=""
    cat "$scratch/build-$stage.log"
    echo "== test.sh: building the $stage tree failed" >&2
    return 1
}

has_tree() { declare -F "build_$1" >/dev/null; }

# The first stage after position at that builds a tree, if any.
next_tree_stage() {
    local at
    for ((at = $1 + 1; at < ${#stages[@]}; ++at)); do
        if has_tree "${stages[at]}"; then
            echo "${stages[at]}"
            return
        fi
    done
}

for ((at = 0; at < ${#stages[@]}; ++at)); do
    stage=${stages[at]}
    echo "== test.sh: stage $stage"
    SECONDS=0
    if [ "$background_build" = "$stage" ]; then
        finish_background_build "$stage"
    elif has_tree "$stage"; then
        "build_$stage"
    fi
    next=$(next_tree_stage "$at")
    if [ -n "$next" ] && [ "$next" != "$background_build" ]; then
        start_background_build "$next"
    fi
    "check_$stage"
    echo "== test.sh: stage $stage passed in ${SECONDS}s"
done

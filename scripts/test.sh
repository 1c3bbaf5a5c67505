#!/usr/bin/env bash
# Builds and runs the tests three times: every test in a normal build and in an ASan+UBSan
# build, and the tests of the threaded parts (serial port, device session, meridax-cli import)
# in a ThreadSanitizer build. Then builds the Debian package and checks it. Used by the README
# and by CI.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

jobs=$(nproc)
# The sanitizers' suppression files, where every test child can read them: tests run some
# programs as nobody, who cannot enter a clone in a private folder such as /root.
suppressions=$(mktemp -d)
trap 'rm -rf "$suppressions"' EXIT
cp tests/sanitizers/*.supp "$suppressions"
chmod 755 "$suppressions"
chmod 644 "$suppressions"/*.supp

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMERIDAX_SANITIZE=address \
      -DMERIDAX_BUILD_BENCH=OFF
cmake --build build-asan -j "$jobs"
QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
    LSAN_OPTIONS="suppressions='$suppressions/lsan.supp':print_suppressions=0" \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

# Only what the threaded tests need, so that the third build stays short.
tsan_tests=(comm_tests session_tests cli_import_tests)
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMERIDAX_SANITIZE=thread \
      -DMERIDAX_BUILD_BENCH=OFF -DMERIDAX_BUILD_APP=OFF
cmake --build build-tsan -j "$jobs" --target "${tsan_tests[@]}"
TSAN_OPTIONS="halt_on_error=1:suppressions='$suppressions/tsan.supp'" \
    ctest --test-dir build-tsan --output-on-failure -j "$jobs" \
          -R "^($(IFS='|'; echo "${tsan_tests[*]}"))\\."

# The Debian package: one Release build of the three programs, lintian, the validators, and
# the programs run from the unpacked package.
./scripts/check-package.sh

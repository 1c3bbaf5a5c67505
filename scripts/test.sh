#!/usr/bin/env bash
# Builds everything twice (a normal build and an ASan+UBSan build of the Qt-free
# core) and runs every test in both. Used by the README and by CI.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMERIDAX_SANITIZE=ON \
      -DMERIDAX_BUILD_BENCH=OFF -DMERIDAX_BUILD_APP=OFF
cmake --build build-asan -j "$jobs"
QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs" -LE no-sanitize

#!/usr/bin/env bash
# Builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
source scripts/trees.sh
[ -f build/CMakeCache.txt ] || configure_normal
cmake --build build -j "$(nproc)" --target meridax
# The program keeps settings.ini in the folder it starts in: a folder of the build tree, so
# that the clone stays as it was checked out.
mkdir -p build/run
cd build/run
exec ../app/meridax "$@"

#!/usr/bin/env bash
# Builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
source scripts/trees.sh
[ -f build/CMakeCache.txt ] || configure_normal
cmake --build build -j "$(nproc)" --target meridax
exec ./build/app/meridax

#!/usr/bin/env bash
# Builds the Debian package build/meridax_<version>_<arch>.deb from a Release build of the three
# programs, hardened with Debian's build flags, packed by CPack.
#   scripts/package.sh               the programs alone, in build-package (no tests)
#   scripts/package.sh --tree build  the programs of the normal test tree, built the same way
#                                    (what the test command does, so that it compiles them once)
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
source scripts/trees.sh

tree=build-package
if [ "${1:-}" = --tree ]; then
    [ "${2:-}" = build ] || { echo "package.sh: --tree takes build" >&2; exit 2; }
    tree=build
elif [ $# -gt 0 ]; then
    echo "usage: scripts/package.sh [--tree build]" >&2
    exit 2
fi

if [ "$tree" = build ]; then
    [ -f build/CMakeCache.txt ] || configure_normal
else
    configure_package
fi
cmake --build "$tree" -j "$(nproc)" --target meridax meridax-cli meridax-meter-sim meridax_share_files
rm -f "$tree"/meridax_*.deb
(cd "$tree" && cpack -G DEB)

if [ "$tree" != build ]; then
    mkdir -p build
    rm -f build/meridax_*.deb
    cp "$tree"/meridax_*.deb build/
fi
ls build/meridax_*.deb

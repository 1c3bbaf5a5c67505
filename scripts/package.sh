#!/usr/bin/env bash
# Builds the Debian package build/meridax_<version>_<arch>.deb: one Release build of the three
# programs in build-package (no tests, no benchmarks), hardened with Debian's build flags,
# packed by CPack.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

# Debian's hardening flags (fortified functions, stack protector, full RELRO); no -g, since
# the package's binaries are stripped.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
flags=${flags//-g /}
linker_flags=$(dpkg-buildflags --get LDFLAGS)

cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
      -DMERIDAX_BUILD_BENCH=OFF -DMERIDAX_BUILD_APP=ON -DCMAKE_CXX_FLAGS="$flags" \
      -DCMAKE_EXE_LINKER_FLAGS="$linker_flags"
cmake --build build-package -j "$(nproc)"
rm -f build-package/meridax_*.deb
(cd build-package && cpack -G DEB)

mkdir -p build
rm -f build/meridax_*.deb
cp build-package/meridax_*.deb build/
ls build/meridax_*.deb

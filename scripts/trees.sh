# The project's build trees, configured the same way by every script that builds (sourced by
# run.sh, test.sh and package.sh). Each function configures its tree; extra arguments go to
# cmake.

# Debian's build flags (-O2, fortified functions, stack protector, full RELRO) without -g: the
# package's binaries are stripped, and the normal test tree is the package's tree, so that
# the tests run the very programs that are packed. CMake's Release level (-O3) is left out:
# Debian builds at -O2, and -O3 compiled a quarter slower for nothing the programs need.
release_flags() {
    local flags
    flags="$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS) $(
             DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CPPFLAGS)"
    release_cxx_flags=${flags//-g /}
    release_linker_flags=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)
}

# build: the programs optimised as packed, with every test and benchmark.
configure_normal() {
    release_flags
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
          -DBUILD_TESTING=ON -DMERIDAX_BUILD_BENCH=ON -DMERIDAX_BUILD_APP=ON \
          -DCMAKE_CXX_FLAGS="$release_cxx_flags" -DCMAKE_EXE_LINKER_FLAGS="$release_linker_flags" "$@"
}

# The sanitizer trees are compiled by clang, which builds them in two thirds of GCC's time
# (and so lets a second compiler read every source); GCC where clang is missing.
sanitizer_compiler() {
    if command -v clang++ >/dev/null; then
        echo -DCMAKE_CXX_COMPILER=clang++
    else
        echo -DCMAKE_CXX_COMPILER=g++
    fi
}

# The sanitizers' reports need file and line of each frame, not the variables: line tables
# alone compile faster than full debugging information.
sanitizer_debug_flag() {
    if command -v clang++ >/dev/null; then
        echo -gline-tables-only
    else
        echo -g1
    fi
}

# build-asan: AddressSanitizer and UndefinedBehaviorSanitizer, every test, no benchmarks.
configure_asan() {
    cmake -S . -B build-asan -G Ninja "$(sanitizer_compiler)" -DCMAKE_BUILD_TYPE=Debug \
          -DCMAKE_CXX_FLAGS_DEBUG="$(sanitizer_debug_flag)" \
          -DMERIDAX_SANITIZE=address -DMERIDAX_BUILD_BENCH=OFF "$@"
}

# build-tsan: ThreadSanitizer for the threaded parts; no window, no benchmarks. -O1 is what
# ThreadSanitizer asks for, and compiles faster than -O2.
configure_tsan() {
    cmake -S . -B build-tsan -G Ninja "$(sanitizer_compiler)" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 $(sanitizer_debug_flag) -DNDEBUG" -DMERIDAX_SANITIZE=thread \
          -DMERIDAX_BUILD_BENCH=OFF -DMERIDAX_BUILD_APP=OFF "$@"
}

# build-package: the package's programs alone, for a package without running the tests.
configure_package() {
    release_flags
    cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
          -DBUILD_TESTING=OFF -DMERIDAX_BUILD_BENCH=OFF -DMERIDAX_BUILD_APP=ON \
          -DCMAKE_CXX_FLAGS="$release_cxx_flags" -DCMAKE_EXE_LINKER_FLAGS="$release_linker_flags" "$@"
}

# build-ide: configured only, for editors and tools that read compile_commands.json (clangd,
# clang-tidy): one entry per source with its exact flags, no unity batches, and the link in
# the top folder where they look for it.
configure_ide() {
    cmake -S . -B build-ide -G Ninja -DMERIDAX_UNITY_BUILD=OFF -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
          -DBUILD_TESTING=ON -DMERIDAX_BUILD_BENCH=ON -DMERIDAX_BUILD_APP=ON "$@"
    ln -sfn build-ide/compile_commands.json compile_commands.json
}

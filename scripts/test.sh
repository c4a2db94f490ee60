#!/bin/sh
# Installs the dependencies, builds everything and runs the whole test suite,
# then runs the settings, start-up and command-line tests again under AddressSanitizer.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVR_WERROR=ON
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"

# Random input into the parser and the data-file loaders, with memory checking.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKVR_SANITIZE=ON
cmake --build build-asan -j"$(nproc)" --target kvrsetup-cli \
    $(ctest --test-dir build -L memcheck -N | sed -n 's/^ *Test *#[0-9]*: //p')
ASAN_OPTIONS=detect_leaks=0 KVR_FUZZ_ROUNDS=20000 ctest --test-dir build-asan -L memcheck --output-on-failure

# The Debian package, and what Debian's checker says of it: any error fails the run.
KVR_DEPS_INSTALLED=1 sh scripts/package.sh
lintian --fail-on error build/kvrsetup_*.deb

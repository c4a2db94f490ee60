#!/bin/sh
# Installs the dependencies, builds the program and makes its Debian package,
# build/kvrsetup_<version>_<architecture>.deb; "sudo apt install ./build/kvrsetup_*.deb" installs it.
# KVR_DEPS_INSTALLED=1 skips the dependencies (scripts/test.sh has installed them).
set -eu
cd "$(dirname "$0")/.."
if [ -z "${KVR_DEPS_INSTALLED:-}" ]; then
    sh scripts/install-deps.sh
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
rm -f build/kvrsetup_*.deb
(cd build && cpack -G DEB)
ls build/kvrsetup_*.deb

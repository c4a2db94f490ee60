#!/bin/sh
# Installs the dependencies, builds the program and starts it.
# Without a display it starts under a virtual X server.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec ./build/bin/kvrsetup "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x800x24" ./build/bin/kvrsetup "$@"

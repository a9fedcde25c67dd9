#!/usr/bin/env bash
# Builds the library and the call simulator, then runs the simulator (the
# default scenario unless arguments are given).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
# Progress and errors of the build go to stderr; the simulator's own output
# alone goes to stdout.
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=Release -DMRTC_TESTS=OFF -DMRTC_BENCH=OFF >&2
ninja -C build/run mrtcplugin mrtc-sim >&2
exec build/run/mrtc-sim "$@"

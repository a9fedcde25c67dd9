#!/usr/bin/env bash
# Builds the library and the call simulator, then runs the simulator (the
# default scenario unless arguments are given).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=Release -DMRTC_TESTS=OFF -DMRTC_BENCH=OFF >/dev/null
ninja -C build/run mrtcplugin mrtc-sim >/dev/null
exec build/run/mrtc-sim "$@"

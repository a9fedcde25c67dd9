#!/usr/bin/env bash
# Checks the code's form: every C++ file is formatted as .clang-format says,
# and clang-tidy (the checks of .clang-tidy) finds nothing in src/.
#
# Usage: scripts/check_style.sh [build-dir]
# The build directory only receives the compilation database clang-tidy reads
# (a clang configure, nothing is built); it defaults to build/tidy.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build/tidy}
jobs=$(nproc)

# Every C++ file of the repository (git's list when there is one, so build
# trees are never scanned).
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -- '*.cc' '*.h')
else
  mapfile -t files < <(find . -path './build*' -prune -o \( -name '*.cc' -o -name '*.h' \) -print)
fi

echo "== format (${#files[@]} files)"
printf '%s\0' "${files[@]}" | xargs -0 clang-format-14 --dry-run --Werror
echo "format: clean"

echo "== clang-tidy on src/"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DMRTC_TESTS=OFF -DMRTC_BENCH=OFF >/dev/null
# .clang-tidy turns every finding into an error, so any finding fails here.
if command -v run-clang-tidy-14 >/dev/null; then
  run-clang-tidy-14 -clang-tidy-binary clang-tidy-14 -p "$build" -j "$jobs" -quiet "^$root/src/"
else
  find src -name '*.cc' -print0 | xargs -0 -P "$jobs" -n 4 clang-tidy-14 -p "$build" --quiet
fi
echo "clang-tidy: no findings"

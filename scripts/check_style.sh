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

# Both checks run even when the first fails, so one run lists every problem.
failed=0

echo "== format (${#files[@]} files)"
if printf '%s\0' "${files[@]}" | xargs -0 clang-format-14 --dry-run --Werror; then
  echo "format: clean"
else
  echo "format: the files above differ from clang-format's output"
  failed=1
fi

echo "== clang-tidy on src/"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DMRTC_TESTS=OFF -DMRTC_BENCH=OFF >/dev/null
# .clang-tidy turns every finding into an error, so any finding fails here.
tidy_ok=1
if command -v run-clang-tidy-14 >/dev/null; then
  run-clang-tidy-14 -clang-tidy-binary clang-tidy-14 -p "$build" -j "$jobs" -quiet \
    "^$root/src/" || tidy_ok=0
else
  find src -name '*.cc' -print0 | xargs -0 -P "$jobs" -n 4 clang-tidy-14 -p "$build" --quiet ||
    tidy_ok=0
fi
if [ "$tidy_ok" -eq 1 ]; then
  echo "clang-tidy: no findings"
else
  echo "clang-tidy: findings above"
  failed=1
fi
exit "$failed"

#!/usr/bin/env bash
# Line and branch coverage of the library's code (src/) over the whole ctest
# suite, with clang's source-based coverage. Prints one summary for src/ and
# one each for src/notify and src/requests; the per-file table goes to
# build/cov/report.txt and an HTML view to build/cov/html/.
#
#   scripts/coverage.sh          configure (once), build, run ctest, report
#   JOBS=1 scripts/coverage.sh   build and test with one job
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build/cov
jobs=${JOBS:-$(nproc)}

# llvm-profdata and llvm-cov of the same release as clang.
clang_major=$(clang++ --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n 1)
profdata=$(command -v "llvm-profdata-$clang_major" || command -v llvm-profdata || true)
llvmcov=$(command -v "llvm-cov-$clang_major" || command -v llvm-cov || true)
if [ -z "$profdata" ] || [ -z "$llvmcov" ]; then
  echo "needs llvm-profdata and llvm-cov (Debian: apt-get install llvm-$clang_major)" >&2
  exit 2
fi

flags="-fprofile-instr-generate -fcoverage-mapping"
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMRTC_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
  -DCMAKE_SHARED_LINKER_FLAGS="$flags" >/dev/null
ninja -C "$dir" -j "$jobs" >/dev/null

rm -rf "$dir/profiles"
mkdir -p "$dir/profiles"
# %p: one file per process (tests start the simulator and load the library);
# %m: one per instrumented module (each program and the shared library).
LLVM_PROFILE_FILE="$PWD/$dir/profiles/%p-%m.profraw" \
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure >/dev/null
"$profdata" merge -sparse -o "$dir/all.profdata" "$dir"/profiles/*.profraw

# Every program and library that contains the plug-in's code.
objects=()
for f in "$dir"/libmrtcplugin.so "$dir"/mrtc-sim "$dir"/tests/*_tests; do
  [ -x "$f" ] || continue
  if [ ${#objects[@]} -eq 0 ]; then objects+=("$f"); else objects+=(-object "$f"); fi
done

"$llvmcov" report "${objects[@]}" -instr-profile="$dir/all.profdata" "$PWD/src" >"$dir/report.txt"
"$llvmcov" show "${objects[@]}" -instr-profile="$dir/all.profdata" -format=html \
  -output-dir="$dir/html" "$PWD/src" >/dev/null

# Sums the per-file rows of one folder: regions, functions, lines, branches.
summary() {
  local prefix=$1
  awk -v p="$prefix" '
    $1 ~ "^" p && $1 != "TOTAL" && $8 ~ /^[0-9]+$/ {
      lines += $8; lmiss += $9; branches += $11; bmiss += $12
    }
    END {
      printf "src/%-10s lines %6.2f%% (%d of %d)  branches %6.2f%% (%d of %d)\n", p,
        lines ? 100 * (lines - lmiss) / lines : 0, lines - lmiss, lines,
        branches ? 100 * (branches - bmiss) / branches : 0, branches - bmiss, branches
    }' "$dir/report.txt"
}
# File names in the report are relative to src/.
summary ""
summary "notify/"
summary "requests/"

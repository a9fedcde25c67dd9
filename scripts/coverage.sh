#!/usr/bin/env bash
# Line and branch coverage of the library's code (src/) over the whole ctest
# suite, with clang's source-based coverage. Prints one summary for src/ and
# one each for src/notify and src/requests; the per-file table goes to
# build/cov/report.txt and an HTML view to build/cov/html/.
#
#   scripts/coverage.sh          configure (once), build, run ctest, report
#   JOBS=1 scripts/coverage.sh   build and test with one job
#   TESTS=REGEX scripts/coverage.sh   only the tests whose names match
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

# The coverage mapping names a source by the path the compiler was given,
# relative to the build folder when ccache (with CCACHE_BASEDIR) rewrote it.
# Recorded against "." instead of the folder the compiler ran in, a relative
# name means the same in every checkout (an object ccache hands from another
# worktree included); llvm-cov resolves it with -compilation-dir below.
flags="-fprofile-instr-generate -fcoverage-mapping -fcoverage-compilation-dir=."
link="-fprofile-instr-generate"
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMRTC_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$link" \
  -DCMAKE_SHARED_LINKER_FLAGS="$link" >/dev/null
ninja -C "$dir" -j "$jobs" >/dev/null

rm -rf "$dir/profiles" "$dir/testlogs"
mkdir -p "$dir/profiles" "$dir/testlogs"
# Each test writes into a folder of its own, one file per process (%p) and
# instrumented module (%m: the program, the plug-in and the other libraries
# it loads); a module merges into a file of its name that exists, and says
# so on the test's stderr when it cannot (tests that compare their output
# fail on that). Within one process, the plug-in and its old-peer variant
# are told apart (sim/CMakeLists.txt); across tests, a process id the
# machine hands out again (pid_max is 32768 here, and parallel builds spawn
# thousands) must not lead into another test's file. So ctest runs once per
# test, JOBS at a time.
run_test() {
  local i=$1
  LLVM_PROFILE_FILE="$PWD/$dir/profiles/$i/%p-%m.profraw" \
    ctest --test-dir "$dir" -I "$i,$i" --output-on-failure >"$dir/testlogs/$i.log" 2>&1 ||
    echo "$i" >>"$dir/testlogs/failed"
}
export -f run_test
export dir
ctest --test-dir "$dir" -N -R "${TESTS:-.}" | sed -n 's/^ *Test *#\([0-9]*\): .*/\1/p' |
  xargs -P "$jobs" -I{} bash -c 'run_test {}'
status=0
if [ -s "$dir/testlogs/failed" ]; then
  status=1
  echo "coverage: tests failed (the report counts what ran):" >&2
  for i in $(sort -n "$dir/testlogs/failed"); do
    sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\).*/  \1/p' "$dir/testlogs/$i.log" >&2
  done
fi
# What the profile runtime still says lands in the tests' output: counted.
notes=$(cat "$dir"/testlogs/*.log | grep -c 'LLVM Profile' || true)
[ "${notes:-0}" -eq 0 ] || echo "coverage: $notes profile runtime messages in the tests' output" \
  "(grep -l 'LLVM Profile' $dir/testlogs/*.log)" >&2
# A process killed while it wrote (the live tests kill some) leaves a file
# that cannot be read: it is skipped with a warning, not the whole report.
find "$dir/profiles" -name '*.profraw' >"$dir/profiles.txt"
"$profdata" merge -sparse -failure-mode=all -o "$dir/all.profdata" -f "$dir/profiles.txt" \
  2>"$dir/merge.log" || { cat "$dir/merge.log" >&2; exit 1; }
skipped=$(grep -c 'warning' "$dir/merge.log" || true)
[ "${skipped:-0}" -eq 0 ] || echo "coverage: $skipped unreadable profiles skipped ($dir/merge.log)" >&2

# Every program and library that contains the plug-in's code.
objects=()
for f in "$dir"/libmrtcplugin.so "$dir"/mrtc-sim "$dir"/tests/*_tests; do
  [ -x "$f" ] || continue
  if [ ${#objects[@]} -eq 0 ]; then objects+=("$f"); else objects+=(-object "$f"); fi
done

# Relative names resolve against the build folder, "build/cov/../../src/x.cc";
# the path equivalence takes the dots out (llvm-cov compares names as text),
# so that the source filter below matches them and the absolute names of a
# build without ccache alike. Without it the filter matched nothing, and
# llvm-cov then reported every file, codec/ and tests/ included.
cov=(-instr-profile="$dir/all.profdata" -compilation-dir="$PWD/$dir" -path-equivalence="$PWD,$PWD")
"$llvmcov" report "${objects[@]}" "${cov[@]}" "$PWD/src" >"$dir/report.txt" 2>"$dir/llvm-cov.log"
"$llvmcov" show "${objects[@]}" "${cov[@]}" -format=html -output-dir="$dir/html" "$PWD/src" \
  >/dev/null 2>>"$dir/llvm-cov.log"
# llvm-cov counts "functions have mismatched data" over every program read.
# Clang gives an inline function that a program includes but never calls an
# empty record (hash 0) there; where another program calls it, the profile
# holds only that program's record, so the empty one cannot be matched. Those
# are harmless: the calling program's record is the one counted. A record
# with a real hash that finds no match means profiles of another build of
# the code were mixed in, and the numbers above cannot be trusted: those are
# named. Other messages are passed on as they came.
grep -v 'functions have mismatched data' "$dir/llvm-cov.log" | sed 's/\x1b\[[0-9;]*m//g' |
  grep -v '^$' >&2 || true
"$llvmcov" report "${objects[@]}" "${cov[@]}" -dump "$PWD/src" 2>&1 >/dev/null |
  grep 'hash-mismatch' | sort -u >"$dir/mismatches.txt" || true
unused=$(grep -c 'with hash = 0x0$' "$dir/mismatches.txt" || true)
[ "${unused:-0}" -eq 0 ] || echo "coverage: $unused inline functions have an empty record in a" \
  "program that never calls them (harmless: $dir/mismatches.txt)" >&2
if grep -v 'with hash = 0x0$' "$dir/mismatches.txt" >"$dir/mixed.txt"; then
  status=1
  echo "coverage: profiles of another build mixed in; these records do not match:" >&2
  cat "$dir/mixed.txt" >&2
fi

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
exit "$status"

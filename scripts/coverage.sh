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

rm -rf "$dir/profiles"
mkdir -p "$dir/profiles"
# %p: one file per process (tests start the simulator and load the library);
# %m: one per instrumented module (each program and the shared library).
# A module writes into a file of its process and signature that exists by
# merging; two different modules of one signature in one process could not,
# and the profile runtime would say so on the test's stderr, where tests that
# compare output fail on it (sim/CMakeLists.txt keeps the plug-in's variants
# apart). Whatever it still says is counted after the run.
status=0
LLVM_PROFILE_FILE="$PWD/$dir/profiles/%p-%m.profraw" \
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure >"$dir/ctest.log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  echo "coverage: some tests failed (the report counts what ran; see $dir/ctest.log):" >&2
  sed -n '/The following tests FAILED/,$p' "$dir/ctest.log" >&2
fi
notes=$(grep -c 'LLVM Profile' "$dir/Testing/Temporary/LastTest.log" || true)
[ "${notes:-0}" -eq 0 ] || echo "coverage: $notes profile runtime messages in the tests' output" \
  "(grep 'LLVM Profile' $dir/Testing/Temporary/LastTest.log)" >&2
# A process killed while it wrote (the live tests kill some) leaves a file
# that cannot be read: it is skipped with a warning, not the whole report.
"$profdata" merge -sparse -failure-mode=all -o "$dir/all.profdata" "$dir"/profiles/*.profraw \
  2>"$dir/merge.log" || { cat "$dir/merge.log" >&2; exit 1; }
skipped=$(grep -c 'warning' "$dir/merge.log" || true)
[ "${skipped:-0}" -eq 0 ] || echo "coverage: $skipped unreadable profiles skipped ($dir/merge.log)" >&2

# Every program and library that contains the plug-in's code.
objects=()
for f in "$dir"/libmrtcplugin.so "$dir"/mrtc-sim "$dir"/tests/*_tests; do
  [ -x "$f" ] || continue
  if [ ${#objects[@]} -eq 0 ]; then objects+=("$f"); else objects+=(-object "$f"); fi
done

# Relative names resolve against the build folder; the source filter then
# matches them and absolute ones (a build without ccache) alike.
cov=(-instr-profile="$dir/all.profdata" -compilation-dir="$PWD/$dir")
"$llvmcov" report "${objects[@]}" "${cov[@]}" "$PWD/src" >"$dir/report.txt"
"$llvmcov" show "${objects[@]}" "${cov[@]}" -format=html -output-dir="$dir/html" "$PWD/src" \
  >/dev/null

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

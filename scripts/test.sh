#!/usr/bin/env bash
# Builds everything and runs every test: plainly with g++, then under
# AddressSanitizer + UndefinedBehaviorSanitizer and under ThreadSanitizer with
# clang, then each fuzzer briefly over its seed corpus. MRTC_JOBS sets the
# number of parallel jobs (default: every core).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

jobs=${MRTC_JOBS:-$(nproc)}
# Twelve seconds a fuzzer: the worlds now run several times as many inputs a
# second as the 20 s step did, and CI stays well inside its half hour.
fuzz_seconds=${MRTC_FUZZ_SECONDS:-12}
passed=0
ctest_log=$(mktemp)
live_dir=$(mktemp -d)
cache_dir=$(mktemp -d)
# On a failure, the live runs still running end within their time-outs.
trap 'wait; rm -rf "$ctest_log" "$live_dir" "$cache_dir"' EXIT

# Adds the number of tests a ctest log counts to $passed.
count_passed() {
  local count
  count=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$1" | tail -n 1)
  passed=$((passed + ${count:-0}))
}

# The work that keeps the cores busy runs at a lower priority than the live
# tests beside it: those run on the real clock and must not starve.
busy() { nice -n 10 "$@"; }

# The live tests wait on the real clock most of the time (a 68 s ring, a
# 60 s keep-alive), so each build's run in the background, beside the next
# build, once its other tests have passed; finish_live collects them. A live
# test that fails is run once more (its first failure stays in the log): a
# real server and real processes on a busy machine miss a bounded wait now
# and then, and one such miss would fail the whole run.
live_pids=()
configure_and_test() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  busy ninja -C "$dir" -j "$jobs"
  finish_install
  busy ctest --test-dir "$dir" --output-on-failure -j "$jobs" -LE live | tee "$ctest_log"
  count_passed "$ctest_log"
  local log=$live_dir/${#live_pids[@]}.log
  ctest --test-dir "$dir" --output-on-failure -j 8 -L live --repeat until-pass:2 >"$log" 2>&1 &
  live_pids+=($!)
}

# The install checks and the benchmarks' smoke run are mostly one process at
# a time (a header, a small host, a package), which left a core idle for over
# a minute: they run in the background beside the next build's compile, and
# finish_install prints what they said, and stops on their failure, before
# that build's tests start.
install_pid=
finish_install() {
  [ -n "$install_pid" ] || return 0
  local status=0
  wait "$install_pid" || status=$?
  install_pid=
  cat "$live_dir/install.log"
  [ "$status" -eq 0 ] || exit "$status"
}

finish_live() {
  local i status retried
  for i in "${!live_pids[@]}"; do
    status=0
    wait "${live_pids[$i]}" || status=$?
    cat "$live_dir/$i.log"
    [ "$status" -eq 0 ] || exit "$status"
    count_passed "$live_dir/$i.log"
    retried=$(grep -c -E '\*\*\*(Failed|Timeout|Exception)' "$live_dir/$i.log" || true)
    [ "$retried" -eq 0 ] || echo "live: $retried failed once and passed when run again (above)"
  done
}

# The sanitizer builds keep only line tables: a report still names each
# frame's file and line, and they compile about a tenth faster.
lines_only=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -gline-tables-only -DNDEBUG"
            -DCMAKE_CXX_FLAGS_DEBUG="-gline-tables-only")

echo "== style: clang-format and clang-tidy"
scripts/check_style.sh build/tidy

echo "== g++ build and tests"
# Release, as the packages are built: the install checks below build the
# plug-in twice more in Release with g++ (against another commLib, and for
# /usr), and through one compiler cache with this build they compile almost
# nothing again. The code has no assert, so Debug only took the optimiser
# away; the sanitizer builds below are optimised too.
gcc_cache=()
if command -v ccache >/dev/null; then
  export CCACHE_DIR=$cache_dir CCACHE_BASEDIR=$PWD
  gcc_cache=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CC=gcc CXX=g++ configure_and_test build/gcc -DCMAKE_BUILD_TYPE=Release "${gcc_cache[@]}"

echo "== install checks and benchmarks (smoke run): beside the next build, printed before its tests"
(
  echo "== install, use from a host's build, Debian packages"
  busy env CC=gcc CXX=g++ MRTC_JOBS="$jobs" scripts/check_install.sh build/gcc
  echo "== benchmarks (smoke run)"
  for b in build/gcc/bench/*_bench; do
    if [ -x "$b" ]; then busy "$b" --benchmark_min_time=0.001 >/dev/null; fi
  done
) >"$live_dir/install.log" 2>&1 &
install_pid=$!

echo "== clang, AddressSanitizer + UndefinedBehaviorSanitizer, and the fuzzers"
# The fuzz targets are built here too: the plug-in's code is compiled once,
# with the fuzzer's coverage hooks, for both the suite and the fuzzers.
CC=clang CXX=clang++ configure_and_test build/asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMRTC_SANITIZE=address,undefined -DMRTC_BENCH=OFF -DMRTC_FUZZ=ON "${lines_only[@]}"

echo "== clang, ThreadSanitizer"
# ThreadSanitizer sleeps a second before each process exits, so that threads
# still running race the exit where it can see them. The suite starts several
# hundred processes, each a second longer: a few milliseconds do the same.
CC=clang CXX=clang++ TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 atexit_sleep_ms=20" \
  configure_and_test build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMRTC_SANITIZE=thread -DMRTC_BENCH=OFF \
  "${lines_only[@]}"

echo "== fuzzers (${fuzz_seconds}s each, $jobs at a time)"
# Runs one fuzzer over its seed corpus (a copy: new inputs stay out of the
# tree), its output into $2.
fuzz_one() {
  local name work status=0
  name=$(basename "$1" _fuzz)
  work=$(mktemp -d)
  # -entropic=0: the entropic schedule's bookkeeping runs over every feature
  # an input touches, and an input of the two-client worlds touches thousands;
  # it took two thirds of the time of this short step. Leaks are still looked
  # for after every input.
  busy "$1" -max_total_time="$fuzz_seconds" -max_len=65536 -entropic=0 -print_final_stats=0 \
    "$work" "fuzz/corpus/$name" >"$2" 2>&1 || status=$?
  rm -rf "$work"
  return "$status"
}
fuzzers=(build/asan/fuzz/*_fuzz)
for ((i = 0; i < ${#fuzzers[@]}; i += jobs)); do
  pids=()
  for f in "${fuzzers[@]:i:jobs}"; do
    fuzz_one "$f" "$live_dir/$(basename "$f").out" &
    pids+=($!)
  done
  for f in "${fuzzers[@]:i:jobs}"; do
    status=0
    wait "${pids[0]}" || status=$?
    pids=("${pids[@]:1}")
    out=$live_dir/$(basename "$f").out
    if [ "$status" -ne 0 ]; then
      cat "$out"
      echo "$(basename "$f"): exit status $status"
      exit "$status"
    fi
    echo "$(basename "$f"): $(tail -n 1 "$out")"
  done
done
# The kept worlds: each seed behaves the same after any other input.
for f in build/asan/fuzz/*_twice; do
  [ -x "$f" ] || continue
  busy "$f" "fuzz/corpus/$(basename "$f" _twice)"/*
done
echo "fuzzers: no crash"

echo "== live tests (run beside the builds above)"
finish_live
echo "$passed passed, 0 failed"

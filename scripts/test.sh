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
# On a failure, the live runs still running end within their time-outs.
trap 'wait; rm -rf "$ctest_log" "$live_dir"' EXIT

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
  busy ctest --test-dir "$dir" --output-on-failure -j "$jobs" -LE live | tee "$ctest_log"
  count_passed "$ctest_log"
  local log=$live_dir/${#live_pids[@]}.log
  ctest --test-dir "$dir" --output-on-failure -j 8 -L live --repeat until-pass:2 >"$log" 2>&1 &
  live_pids+=($!)
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
CC=gcc CXX=g++ configure_and_test build/gcc -DCMAKE_BUILD_TYPE=Debug

echo "== install, use from a host's build, Debian packages"
MRTC_JOBS=$jobs scripts/check_install.sh build/gcc

echo "== benchmarks (smoke run)"
for b in build/gcc/bench/*_bench; do
  [ -x "$b" ] && "$b" --benchmark_min_time=0.001 >/dev/null
done

echo "== clang, AddressSanitizer + UndefinedBehaviorSanitizer"
CC=clang CXX=clang++ configure_and_test build/asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMRTC_SANITIZE=address,undefined -DMRTC_BENCH=OFF "${lines_only[@]}"

echo "== clang, ThreadSanitizer"
# ThreadSanitizer sleeps a second before each process exits, so that threads
# still running race the exit where it can see them. The suite starts several
# hundred processes, each a second longer: a few milliseconds do the same.
CC=clang CXX=clang++ TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 atexit_sleep_ms=20" \
  configure_and_test build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMRTC_SANITIZE=thread -DMRTC_BENCH=OFF \
  "${lines_only[@]}"

echo "== fuzzers (${fuzz_seconds}s each)"
# Only what the fuzzers link: the simulator, the node and the recorder would
# be compiled once more with the sanitizers for nothing.
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMRTC_FUZZ=ON \
  -DMRTC_SANITIZE=address,undefined -DMRTC_TESTS=OFF -DMRTC_BENCH=OFF -DMRTC_SIM=OFF \
  -DMRTC_NODE=OFF "${lines_only[@]}" >/dev/null
busy ninja -C build/fuzz -j "$jobs"
for f in build/fuzz/fuzz/*_fuzz; do
  [ -x "$f" ] || continue
  name=$(basename "$f" _fuzz)
  corpus=fuzz/corpus/$name
  work=$(mktemp -d)
  # -entropic=0: the entropic schedule's bookkeeping runs over every feature
  # an input touches, and an input of the two-client worlds touches thousands;
  # it took two thirds of the time of this short step. Leaks are still looked
  # for after every input.
  busy "$f" -max_total_time="$fuzz_seconds" -max_len=65536 -entropic=0 -print_final_stats=0 \
    "$work" "$corpus" 2>&1 | tail -n 2
  rm -rf "$work"
done
# The kept worlds: each seed behaves the same after any other input.
for f in build/fuzz/fuzz/*_twice; do
  [ -x "$f" ] || continue
  busy "$f" "fuzz/corpus/$(basename "$f" _twice)"/*
done
echo "fuzzers: no crash"

echo "== live tests (run beside the builds above)"
finish_live
echo "$passed passed, 0 failed"

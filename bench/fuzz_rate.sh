#!/bin/sh
# Runs every fuzz target of a build for a while over a scratch copy of its
# seeds and prints one line per target: inputs run, inputs per second of
# wall time and per second of the process's own CPU time (on a shared machine
# the second is the steadier figure), and the coverage libFuzzer reached.
# Extra arguments go to every target.
#
#   bench/fuzz_rate.sh build/fuzz 20
#   bench/fuzz_rate.sh build/fuzz 20 -entropic=0
#   FUZZ_TARGETS="roundtrip slb" bench/fuzz_rate.sh build/fuzz 10 -entropic=0
#
# FUZZ_TARGETS names the targets to run (all by default): rounds that
# alternate two builds then spend their time on the targets being compared.
#
# The scratch corpus goes where mktemp puts it. libFuzzer writes a file for
# every input it keeps, and on a disk that has seen many files made and
# deleted, making one costs the kernel a search of the inode tables: in the
# first seconds of a run that was a fifth of the requests target's time.
# TMPDIR=/dev/shm keeps that cost out of the figures.
set -eu
dir=${1:?usage: $0 BUILD_DIR [SECONDS] [LIBFUZZER_FLAGS...]}
seconds=${2:-20}
shift
[ $# -gt 0 ] && shift
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
printf '%-13s %9s %7s %9s %6s\n' target inputs per_s per_cpu_s cov
for f in "$dir"/fuzz/*_fuzz; do
  [ -x "$f" ] || continue
  name=$(basename "$f" _fuzz)
  case " ${FUZZ_TARGETS:-$name} " in *" $name "*) ;; *) continue ;; esac
  mkdir -p "$work/$name"
  seeds=$root/fuzz/corpus/$name
  [ -d "$seeds" ] || seeds=
  # shellcheck disable=SC2086 # no seeds: no argument
  /usr/bin/time -f '%U %S' -o "$work/$name.cpu" "$f" -max_total_time="$seconds" \
    -max_len=65536 -print_final_stats=1 "$@" "$work/$name" $seeds >"$work/$name.log" 2>&1 || {
    tail -n 20 "$work/$name.log" >&2
    echo "$name: finding" >&2
    exit 1
  }
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/$name.log")
  cpu=$(awk '{ print $1 + $2 }' "$work/$name.cpu")
  per_cpu=$(awk -v r="$runs" -v c="$cpu" 'BEGIN { printf "%d", (c > 0 ? r / c : 0) }')
  cov=$(grep -o 'cov: [0-9]*' "$work/$name.log" | tail -n 1 | cut -d' ' -f2)
  printf '%-13s %9s %7s %9s %6s\n' "$name" "$runs" "$rate" "$per_cpu" "$cov"
done

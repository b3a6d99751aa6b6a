#!/usr/bin/env bash
# Wall time and CPU of a ten-second automatic recording at 1 ms on the simulated
# instrument, written to /dev/null:
#
#   kantrel731-record --simulate --auto --rate 1 --duration 10 --out /dev/null
#
# Targets: 10 s +- 0.3 s of wall time, under 2 % of one core. Prints, as its last lines:
#   data_sets <N>             expected 10000
#   wall_s <seconds>
#   cpu_s <seconds>           user + system time of the program
#   cpu_percent_of_core <P>
# Usage: bench/record_bench.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
program="$(realpath -m "$build")/bin/kantrel731-record"
if [ ! -x "$program" ]; then
  echo "missing $program: build the target kantrel731-record first" >&2
  exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The settings of a fresh user, not those of whoever runs the benchmark.
export HOME="$work" XDG_CONFIG_HOME="$work/.config"

TIMEFORMAT='%R %U %S'
status=0
times=$( { time (cd "$work" && "$program" --simulate --auto --rate 1 --duration 10 --out /dev/null \
  2>"$work/stderr"); } 2>&1 ) || status=$?
read -r wall user sys <<<"$times"
if [ "$status" -ne 0 ]; then
  echo "kantrel731-record ended with exit code $status:" >&2
  cat "$work/stderr" >&2
  exit 1
fi

data_sets=$(sed -n 's/^kantrel731-record: \([0-9]*\) data sets\{0,1\} recorded.*/\1/p' "$work/stderr")
cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.3f", u + s }')
percent=$(awk -v c="$cpu" -v w="$wall" 'BEGIN { printf "%.2f", 100 * c / w }')
echo "data_sets ${data_sets:-0}"
echo "wall_s $wall"
echo "cpu_s $cpu"
echo "cpu_percent_of_core $percent"

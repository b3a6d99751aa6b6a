#!/usr/bin/env bash
# CPU use of the whole program while its sample ring stays full: the simulated instrument
# never answers "#Z63", so the start-up readout never completes, nothing drains the ring,
# and the measuring thread has no room for a frame for as long as the program runs.
#
#   bench/ring_full_cpu.sh [BUILD_DIR] [SECONDS]
#
# Runs build/bin/kantrel731 --simulate under a private Xvfb, with HOME and the XDG
# folders in a temporary folder, lets it settle for 3 s, then measures SECONDS (default
# 5) and prints, as its last lines, the CPU time of each thread and of the whole
# program in percent of one core:
#   thread <name> <percent>
#   ring_full_cpu_percent <percent>
set -euo pipefail

build=${1:-build}
seconds=${2:-5}
program="$(cd "$build" && pwd)/bin/kantrel731"
[ -x "$program" ] || { echo "no program at $program" >&2; exit 2; }

work=$(mktemp -d)
xvfb_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null && wait "$program_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

cat >"$work/ring_full.ini" <<'EOF'
[Events]
silentCommands = #Z63
EOF

# A display number that is free: the first without a lock file.
display=90
while [ -e "/tmp/.X${display}-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

mkdir -p "$work/home" "$work/config" "$work/data" "$work/run"
chmod 700 "$work/run"
(cd "$work" && env HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
  XDG_RUNTIME_DIR="$work/run" DISPLAY=":$display" QT_QPA_PLATFORM=xcb \
  "$program" --simulate="$work/ring_full.ini" >"$work/program.log" 2>&1) &
program_pid=$!
sleep 3
# The subshell's child is the program itself.
pid=$(pgrep -P "$program_pid" -x kantrel731 || echo "$program_pid")

ticks() { # utime + stime of a /proc stat file, in clock ticks
  sed 's/^.*) //' "$1" | awk '{print $12 + $13}'
}
declare -A before
for task in /proc/"$pid"/task/*; do
  before[$task]=$(ticks "$task/stat")
done
total_before=$(ticks /proc/"$pid"/stat)
sleep "$seconds"
total_after=$(ticks /proc/"$pid"/stat)
hz=$(getconf CLK_TCK)
for task in /proc/"$pid"/task/*; do
  [ -e "$task/stat" ] || continue
  name=$(cat "$task/comm")
  used=$(( $(ticks "$task/stat") - ${before[$task]:-0} ))
  [ "$used" -gt 0 ] && awk -v n="$name" -v u="$used" -v hz="$hz" -v s="$seconds" \
    'BEGIN {printf "thread %s %.1f\n", n, 100 * u / hz / s}'
done
awk -v u="$((total_after - total_before))" -v hz="$hz" -v s="$seconds" \
  'BEGIN {printf "ring_full_cpu_percent %.2f\n", 100 * u / hz / s}'

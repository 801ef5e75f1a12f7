#!/usr/bin/env bash
# The running station side by side with mbpoll, on the same simulated line (km8-sim:
# 19200 8N1 paced, 3 ms turnaround): CPU time per transaction and per second of
# idle polling, and the station's resident memory. CPU is the process's own task
# clock (perf stat, all its threads; without perf, user + system time from
# /proc/PID/stat), so other work on the machine does not count; transactions are
# counted from the station's --trace and from mbpoll's output.
#
# Usage: bench/station_cpu.sh [SECONDS]   (default 30; the build in build/)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
build=build
scratch=$(mktemp -d)
pids=()
RATE=0
stop_all() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  exec 3>&- || true
  pids=()
}
cleanup() {
  stop_all
  rm -rf "$scratch"
}
trap cleanup EXIT

tick=$(getconf CLK_TCK)
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }

start_sim() {
  rm -f "$scratch/line" "$scratch/commands"
  # km8-sim reads commands from its standard input: a pipe kept open by this script.
  mkfifo "$scratch/commands"
  "$build/sim/km8-sim" --baud 19200 --line-timing --turnaround 3 \
    --link "$scratch/line" <"$scratch/commands" >/dev/null 2>&1 &
  pids+=($!)
  exec 3>"$scratch/commands"
  for _ in $(seq 50); do [[ -e "$scratch/line" ]] && return; sleep 0.1; done
  echo "km8-sim did not start" >&2
  exit 1
}

# measure NAME PID COUNT_COMMAND: CPU over $seconds after a 5 s warm-up. An untraced
# station has nothing to count: it is given the rate of its traced run (RATE).
measure() {
  local name=$1 pid=$2 count=$3
  sleep 5
  local c0 n0 c1 n1 cpu
  c0=$(cpu_ticks "$pid"); n0=$(eval "$count")
  if command -v perf >/dev/null; then
    cpu=$(perf stat -x, -e task-clock -p "$pid" -- sleep "$seconds" 2>&1 >/dev/null |
      awk -F, '/task-clock/ {print $1 / 1000}')
  else
    sleep "$seconds"
  fi
  c1=$(cpu_ticks "$pid"); n1=$(eval "$count")
  [[ -n ${cpu:-} ]] || cpu=$(awk -v c=$((c1 - c0)) -v t="$tick" 'BEGIN {print c / t}')
  local rss; rss=$(rss_kb "$pid")
  local n=$((n1 - n0))
  if [[ $count == "echo 0" ]]; then n=$(awk -v r="$RATE" -v s="$seconds" 'BEGIN {print int(r * s)}'); fi
  RATE=$(awk -v n="$n" -v s="$seconds" 'BEGIN {print n / s}')
  awk -v name="$name" -v cpu="$cpu" -v n="$n" -v s="$seconds" -v rss="$rss" 'BEGIN {
      printf "%-28s %7.1f transactions/s  %6.2f %% of a core  %7.0f us CPU/transaction  RSS %6.1f MB\n",
        name, n / s, 100 * cpu / s, (n > 0 ? 1e6 * cpu / n : 0), rss / 1024 }'
}

station() {  # station FASTFRAMING TRACE(yes|no)
  start_sim
  local conf="$scratch/km8-$1.conf"
  printf 'COM2 = sz:%s\nFastFraming = dword:%s\n' "$scratch/line" "$1" >"$conf"
  local trace="$scratch/trace-$1-$2.txt"
  : >"$trace"
  local args=(--settings "$conf")
  [[ $2 == yes ]] && args+=(--trace "$trace")
  QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$scratch" "$build/src/km8-station" "${args[@]}" \
    >/dev/null 2>&1 &
  local pid=$!
  pids+=($pid)
  if [[ $2 == yes ]]; then
    measure "station FastFraming=$1 traced" "$pid" "wc -l <'$trace'"
  else
    measure "station FastFraming=$1 (rate as traced)" "$pid" "echo 0"
  fi
  stop_all
}

echo "CPU and memory while polling, ${seconds} s each (after 5 s warm-up)"
station 1 yes
station 1 no
station 0 yes
station 0 no

if command -v mbpoll >/dev/null; then
  start_sim
  # Input registers 0-4 of slave 1 (function 4, like poll state 1), as fast as mbpoll
  # goes (its shortest poll period is 11 ms).
  mbpoll -m rtu -b 19200 -d 8 -P none -s 1 -a 1 -t 3 -0 -r 0 -c 5 -l 11 -o 0.5 \
    "$scratch/line" >"$scratch/mbpoll.txt" 2>&1 &
  pid=$!
  pids+=($pid)
  measure "mbpoll" "$pid" "grep -c 'Polling slave' '$scratch/mbpoll.txt' || true"
else
  echo "mbpoll is not installed (bench/install-bench-deps.sh)"
fi

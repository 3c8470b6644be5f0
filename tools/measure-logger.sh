#!/usr/bin/env bash
# Measures velmora-log while it polls the simulator at the default interval: its resident memory
# after a minute and at the end, and the CPU time (user + system, all its threads) that polling
# takes, scaled to an hour. Start-up is left out of the CPU figure: it is counted from the tenth second on.
#
# The run folder is a temporary folder in $VT_MEASURE_DIR (the system's temporary folder unless
# set): each row is synced there, and what a sync costs depends on that disk.
#
# Options after the first two arguments go to velmora-log as they are, to measure what they add;
# publishing, for one, against a broker of your own:
#   mosquitto -p 18830 &    # anonymous clients, loopback only
#   tools/measure-logger.sh build 180 --mqtt 127.0.0.1:18830
#
# Usage: tools/measure-logger.sh [BUILD-FOLDER] [SECONDS] [VELMORA-LOG-OPTIONS...]
#        (build/, 180 seconds)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
seconds="${2:-180}"
shift $(($# < 2 ? $# : 2))
extra=("$@")
logger="$build/logger/velmora-log"
sim="$build/tools/instrument-sim/instrument-sim"
for program in "$logger" "$sim"; do
    [ -x "$program" ] || { echo "$program is missing: build first (tools/build.sh)" >&2; exit 1; }
done
[ "$seconds" -ge 70 ] || { echo "give 70 seconds or more" >&2; exit 1; }

work="$(mktemp -d -p "${VT_MEASURE_DIR:-${TMPDIR:-/tmp}}")"
sim_pid=""
logger_pid=""
cleanup() {
    [ -n "$logger_pid" ] && kill "$logger_pid" 2>/dev/null || true
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

"$sim" "$work/port" >"$work/sim.log" &
sim_pid=$!
for _ in $(seq 100); do [ -L "$work/port" ] && break; sleep 0.1; done
[ -L "$work/port" ] || { echo "the simulator did not start" >&2; exit 1; }
printf '[Options]\r\nPort=%s\r\n' "$work/port" >"$work/VelmoraThermo.ini"

# The window's default interval, from its settings (none given: 800 ms).
"$logger" --quiet --settings "$work/VelmoraThermo.ini" "${extra[@]}" &
logger_pid=$!

# Nanoseconds on a CPU, user and system time together: finer than the clock ticks of /proc/PID/stat.
# Every thread counts (the run's writer, the lines, a publisher's network): /proc/PID/schedstat
# alone is the main thread's.
cpu_ns() { cat /proc/"$logger_pid"/task/*/schedstat | awk '{ sum += $1 } END { printf "%d", sum }'; }
rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$logger_pid/status"; }

sleep 10
cpu_start="$(cpu_ns)"
start=$SECONDS
sleep 50
rss_minute="$(rss_kib)"
sleep "$((seconds - 60))"
cpu_end="$(cpu_ns)"
elapsed=$((SECONDS - start))
rss_end="$(rss_kib)"
hwm="$(awk '/^VmHWM:/ { print $2 }' "/proc/$logger_pid/status")"
kill -TERM "$logger_pid"
status=0
wait "$logger_pid" || status=$?
logger_pid=""

rows="$(cat "$work"/runs/*.csv | grep -c ',ok$' || true)"
awk -v a="$cpu_start" -v b="$cpu_end" -v s="$elapsed" \
    -v m="$rss_minute" -v e="$rss_end" -v h="$hwm" -v rows="$rows" -v st="$status" \
    -v opts="${extra[*]:+ (options: ${extra[*]})}" 'BEGIN {
    cpu = (b - a) / 1e9
    printf "polled %d s, %d readings, exit status %d%s\n", s + 10, rows, st, opts
    printf "resident memory: %.1f MiB after a minute, %.1f MiB at the end (peak %.1f MiB)\n",
        m / 1024, e / 1024, h / 1024
    printf "CPU time: %.3f s in %d s of polling, %.2f s per hour\n", cpu, s, cpu * 3600 / s
}'

#!/usr/bin/env bash
# Measures velmora-lab while many benches publish to a broker of its own (lab-load): the CPU time
# (user + system) the overview takes, as a share of one core, and its resident memory at the
# end. Start-up is left out: the CPU is counted from once every bench's tile is on the screen.
# Without a desktop it runs on a virtual display of its own (Xvfb), without a window manager.
#
# Usage: tools/measure-lab.sh [BUILD-FOLDER] [SECONDS] [BENCHES] [INTERVAL-MS]
#        (build/, 60 seconds, 50 benches, 800 ms)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
seconds="${2:-60}"
benches="${3:-50}"
interval="${4:-800}"
lab="$build/lab/velmora-lab"
load="$build/tools/lab-load/lab-load"
for program in "$lab" "$load" /usr/sbin/mosquitto; do
    [ -x "$program" ] || { echo "$program is missing (build first; Mosquitto: tools/setup.sh)" >&2; exit 1; }
done
source "$root/tools/virtual-display.sh"

work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
printf 'allow_anonymous true\npersistence false\nlog_dest none\nuser %s\nlistener %s 127.0.0.1\n' \
    "$(id -un)" "$port" >"$work/mosquitto.conf"
/usr/sbin/mosquitto -c "$work/mosquitto.conf" &
pids+=($!)
for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done

if [ -z "${DISPLAY:-}" ]; then
    display=":$(vd_free_number 91 189)"
    vd_start_server "$display" "$work/xvfb.log" 20 || { echo "Xvfb did not start" >&2; exit 1; }
    pids+=("$vd_server_pid")
    export DISPLAY=$display
fi

"$load" "$port" "$benches" "$interval" $((seconds + 30)) 2>"$work/load.log" &
pids+=($!)
XDG_RUNTIME_DIR="$work" "$lab" --mqtt "127.0.0.1:$port" >"$work/lab.log" 2>&1 &
lab_pid=$!
pids+=("$lab_pid")
title="Velmora Lab — $benches benches, $benches online"
vd_wait_for_window 30 "$DISPLAY" "$title" "$lab_pid" || { echo "no window titled '$title'" >&2; exit 1; }

ticks() {
    local stat
    stat=$(<"/proc/$lab_pid/stat")
    read -r -a stat <<<"${stat##*) }"
    echo $((stat[11] + stat[12]))
}
began=$(date +%s%N)
first=$(ticks)
sleep "$seconds"
used=$(($(ticks) - first))
took=$(($(date +%s%N) - began))
rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$lab_pid/status")
vd_viewable_window "$DISPLAY" "$title" >/dev/null || echo "warning: not every bench stayed online" >&2
echo "velmora-lab, $benches benches every $interval ms, ${seconds} s:" \
    "CPU $(awk -v t="$used" -v hz="$(getconf CLK_TCK)" -v ns="$took" \
        'BEGIN { printf "%.2f", 100 * t / hz / (ns / 1e9) }') % of one core," \
    "resident memory $((rss / 1024)) MiB"

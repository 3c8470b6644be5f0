#!/usr/bin/env bash
# A lab on one broker with real benches: instrument simulators polled by velmora-log and one by
# the window, every bench publishing, velmora-lab showing them all online. Remote limits sent to
# a logger's bench and to the window's reach their instruments between two polls and are
# answered; the logger's is a row of its limits.csv. The window's bench, killed, turns offline
# by its last will and grey in the overview.
#
# Usage: lab_benches.sh VELMORA-THERMO VELMORA-LOG VELMORA-LAB INSTRUMENT-SIM BENCHES
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
source "$(dirname "${BASH_SOURCE[0]}")/mqtt_broker.sh"
program=$1
logger=$2
lab=$3
simulator=$4
benches=$5 # the window's among them
broker_installed || { echo "SKIP: Mosquitto is not installed"; exit 77; }

bench_pids=()
stop_benches() {
    local pid
    for pid in "${bench_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${bench_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap 'stop_benches; stop_broker; cleanup' EXIT

# Bench $1: a simulator with its link in $work/$1/, polled by velmora-log with its settings and
# run folder there.
start_logger_bench() {
    local dir="$work/$1"
    mkdir -p "$dir"
    printf '[Options]\r\n' >"$dir/VelmoraThermo.ini"
    "$simulator" "$dir/instrument" --seed "$2" --start-temp "3$(($2 % 10)).5" \
        </dev/null >"$dir/instrument.log" 2>&1 &
    bench_pids+=($!)
    wait_until 20 "grep -q '^link ' '$dir/instrument.log'"
    "$logger" --settings "$dir/VelmoraThermo.ini" --port "$dir/instrument" --interval 800 \
        --quiet --mqtt "127.0.0.1:$broker_port" --bench "$1" --mqtt-remote-limits \
        </dev/null >"$dir/velmora-log.log" 2>&1 &
    bench_pids+=($!)
}

# Sends limits to bench $1 and waits for its answer "applied" and for its instrument (the
# simulator's log $2) to have taken them.
send_limits() {
    mosquitto_sub -h 127.0.0.1 -p "$broker_port" -v -t "velmora/$1/#" >"$work/$1.sub" 2>&1 &
    bench_pids+=($!)
    # The retained status is the first message: the subscription stands once it has come.
    wait_until 10 "grep -q '^velmora/$1/status online' '$work/$1.sub'"
    mosquitto_pub -h 127.0.0.1 -p "$broker_port" -q 1 -t "velmora/$1/limits/set" \
        -m '{"lower": 36.5, "upper": 36.7}' || fail "could not send limits to $1"
    wait_until 20 "grep -q '^velmora/$1/limits/result {\"result\":\"applied\"}' '$work/$1.sub'"
    grep -q '^limits 0x52 36.5 36.7$' "$2" || fail "$1's instrument did not take the limits"
}

start_broker
start_display
start_simulator "$simulator" --seed 99 --start-temp 36.6
printf '[Options]\r\nPort=%s\r\nTimerWorkInterval=800\r\n[Mqtt]\r\nEnabled=1\r\nHost=127.0.0.1\r\nPort=%s\r\nBench=window\r\nRemoteLimits=1\r\n' \
    "$work/instrument" "$broker_port" >"$work/VelmoraThermo.ini"
start_program "$program"
click_tool_button 1 # Start

for i in $(seq 1 $((benches - 1))); do
    start_logger_bench "$(printf 'bench-%02d' "$i")" "$i"
done
start_lab "$lab"
bench_pids+=("$lab_pid")
wait_for_overview 60 "Velmora Lab — $benches benches, $benches online"

send_limits bench-01 "$work/bench-01/instrument.log"
grep -q ',36.5,36.7,sent,mqtt$' "$work/bench-01/runs/limits.csv" \
    || fail "no row of the remote limits in bench-01's limits.csv"
send_limits window "$work/instrument.log"

kill -KILL "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=""
wait_for_overview 60 "Velmora Lab — $benches benches, $((benches - 1)) online"
echo "PASS: $benches benches live in the overview, remote limits applied, the killed window's bench grey"

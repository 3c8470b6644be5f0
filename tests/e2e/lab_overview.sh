#!/usr/bin/env bash
# velmora-lab against a broker of the test's own: 20 benches publish their status, state and
# temperature (retained); the window shows 20 tiles, all online, and its title says so; a bench
# whose status turns offline turns grey (the title counts 19 online); a click on the first tile
# opens the history window named after its bench.
#
# Usage: lab_overview.sh VELMORA-LAB
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
source "$(dirname "${BASH_SOURCE[0]}")/mqtt_broker.sh"
lab=$1
broker_installed || { echo "SKIP: Mosquitto is not installed"; exit 77; }

benches=20

# The benches: each publishes once what a bench keeps retained. A run with real benches
# (simulators polled by velmora-log) starts them here instead.
start_benches() {
    local i name time reading
    time="$(date --iso-8601=seconds)"
    for i in $(seq 1 "$benches"); do
        name="$(printf 'bench-%02d' "$i")"
        reading="3$((i % 10)).5"
        publish_retained "velmora/$name/status" online
        publish_retained "velmora/$name/temperature" "$reading"
        publish_retained "velmora/$name/state" \
            "{\"time\":\"$time\",\"elapsed_s\":12.5,\"temperature_C\":$reading,\"status\":\"ok\",\"limits\":{\"lower\":36.5,\"upper\":36.7},\"alarm\":{\"state\":\"clear\",\"rule\":null},\"run_file\":null}"
    done
}

start_broker
start_display
start_benches
start_lab "$lab"
app_pid=$lab_pid
wait_for_overview 30 "Velmora Lab — $benches benches, $benches online"
window=$lab_window
vd_start_window_manager "$DISPLAY" "$work/openbox.log" 20 "$window" \
    || fail "the window manager did not frame the overview"
wm_pid=$vd_manager_pid

publish_retained velmora/bench-07/status offline
wait_for_overview 30 "Velmora Lab — $benches benches, $((benches - 1)) online"

# The first tile, bench-01, sits at the grid's top left corner.
xdotool windowactivate --sync "$window" mousemove --window "$window" 120 80 click 1
wait_until 10 "xdotool search --onlyvisible --name '^bench-01 — ' >/dev/null"
echo "PASS: $benches tiles, one offline turned grey, its history opened"

#!/usr/bin/env bash
# The instrument hangs up in the middle of polling, as if its cable were pulled: the program lets
# go of the dead line and tries to open its port once a tick, without a crash, a hang, a busy
# loop or a message. Once the instrument is back on the same port the readings resume by
# themselves, and Stop and Start work as before.
source "$(dirname "$0")/session.sh"
program=$1
simulator=$2

start_display
start_simulator "$simulator" --seed 5 --start-temp 30.5 --hangup-after 3
printf '[Options]\r\nPort=%s\r\nTimerWorkInterval=600\r\nNPoints=30\r\n' "$work/instrument" \
    >"$work/VelmoraThermo.ini"
start_program "$program"
copy_chart

click_tool_button 1 # Start
wait_until 30 "grep -q '^hangup after 3 polls' '$work/instrument.log'"
wait_for_end "$sim_pid"
wait "$sim_pid" || fail "the simulator ended with status $?"
sim_pid=""
wait_for 10 "! port_is_open"

# Polling goes on without the line for a few ticks, each trying to open the port.
expect_answers_over_dead_line "over the dead line"
if xdotool search --onlyvisible --name '^Velmora Thermo$' | grep -qv "^$window\$"; then
    fail "a message box came for the lost line"
fi

# The instrument is back on the same port: polling takes it up again by itself.
start_simulator "$simulator" --seed 6 --start-temp 30.5
wait_until 30 "[ \$(grep -c '^poll 0x51 -> [0-9]' '$work/instrument.log') -ge 3 ]"
copy_chart
plotted=$(copied_pixels_of_colour '00 ff 00')
[ "$plotted" -ge 20 ] || fail "only $plotted line pixels after six readings"

click_tool_button 2 # Stop
wait_for 10 "! port_is_open"
polls=$(grep -c '^poll 0x51' "$work/instrument.log")
click_tool_button 1 # Start
wait_until 30 "[ \$(grep -c '^poll 0x51 -> [0-9]' '$work/instrument.log') -ge $((polls + 2)) ]"

close_program || fail "the program ended with status $?"
echo "PASS: the program outlived the hang-up, polled again by itself, then after Stop and Start"

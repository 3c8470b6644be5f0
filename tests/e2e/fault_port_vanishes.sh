#!/usr/bin/env bash
# The port vanishes while polling runs: the simulator is killed outright, so its pseudo-terminal
# goes and nobody removes its link. No crash, no hang, the window keeps answering, Stop works,
# and Start afterwards shows the open-failure message and nothing worse.
source "$(dirname "$0")/session.sh"
program=$1
simulator=$2

start_display
start_simulator "$simulator" --seed 9 --start-temp 30.5
printf '[Options]\r\nPort=%s\r\nTimerWorkInterval=600\r\nNPoints=30\r\n' "$work/instrument" \
    >"$work/VelmoraThermo.ini"
start_program "$program"
copy_chart

click_tool_button 1 # Start
wait_until 30 "[ \$(grep -c '^poll 0x51 -> [0-9]' '$work/instrument.log') -ge 2 ]"
kill -KILL "$sim_pid"
wait_for_end "$sim_pid"
wait "$sim_pid" 2>/dev/null || true
sim_pid=""
# A device that is gone leaves no node behind; the killed simulator could not remove its link.
rm -f "$work/instrument"

expect_answers_over_dead_line "without a port"

click_tool_button 2 # Stop
wait_for 10 "! port_is_open"
click_tool_button 1 # Start
expect_message "Не удалось открыть порт!"
# Polling did not begin: the limits command opens its dialog instead of asking to stop polling.
click_tool_button 0
wait_for_window "Параметры регулятора"
xdotool mousemove --window "$dialog" $((24 + 37)) $((80 + 12)) click 1 # Cancel
wait_until 10 "! xdotool search --onlyvisible --name '^Параметры регулятора\$' >/dev/null"

close_program || fail "the program ended with status $?"
grep -q $'^TimerWorkInterval=600\r$' "$work/VelmoraThermo.ini" || fail "settings not written"
echo "PASS: the vanished port left the program answering; Start reported the port"

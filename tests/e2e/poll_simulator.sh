#!/usr/bin/env bash
# The program's main job, end to end: the real program against the instrument simulator. Start
# from the tool bar, readings are plotted, Stop, close; the simulator saw one poll command per
# tick and nothing else.
source "$(dirname "$0")/session.sh"
program=$1
simulator=$2

start_display
start_simulator "$simulator" --seed 7 --start-temp 30.5
printf '[Options]\r\nPort=%s\r\nTimerWorkInterval=600\r\nNPoints=30\r\n' "$work/instrument" >"$work/VelmoraThermo.ini"
start_program "$program"

click_tool_button 1 # Start
wait_until 30 "[ \$(grep -c '^poll 0x51' '$work/instrument.log') -ge 4 ]"

# The line of the readings is on the chart, in the pen's green.
copy_chart
plotted=$(copied_pixels_of_colour '00 ff 00')
# Thirty readings a sweep: each segment spans about 17 columns.
[ "$plotted" -ge 20 ] || fail "only $plotted line pixels after three or more readings"

click_tool_button 2 # Stop
wait_until 10 "! ls -l /proc/$app_pid/fd 2>/dev/null | grep -q '/dev/pts/'"
polls=$(grep -c '^poll 0x51' "$work/instrument.log")
sleep 1.5 # two poll intervals: a tick still running would poll again
[ "$(grep -c '^poll 0x51' "$work/instrument.log")" -eq "$polls" ] || fail "polling went on after Stop"
if grep -v -e '^link ' -e '^poll 0x51' "$work/instrument.log"; then
    fail "the simulator received something else than poll commands"
fi

close_program || fail "the program ended with status $?"
echo "PASS: $polls readings polled and plotted, then stopped"

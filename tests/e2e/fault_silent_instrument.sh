#!/usr/bin/env bash
# An instrument that never answers: every tick waits out its bound on the reply, yet the window
# keeps answering between ticks, polling goes on, no reading is drawn, and the window closes
# normally and writes its settings. Prints the longest time the window did not answer.
source "$(dirname "$0")/session.sh"
program=$1
simulator=$2

# A tick pauses 100 ms, waits at most 1000 ms for the reply and pauses 400 ms, all on the window's
# own thread. The margin is for a loaded machine and the sanitizer build.
tick_block_ms=1500
allowed_ms=$((tick_block_ms + 1000))

start_display
start_simulator "$simulator" --silent
# An interval below the length of a silent tick makes the ticks come back to back: the worst case.
printf '[Options]\r\nPort=%s\r\nTimerWorkInterval=600\r\nNPoints=30\r\n' "$work/instrument" \
    >"$work/VelmoraThermo.ini"
start_program "$program"
copy_chart # the program now owns the clipboard and answers every request for it

silent_polls() { grep -c '^poll 0x51 -> silent$' "$work/instrument.log" || true; }
click_tool_button 1 # Start
wait_until 20 "[ \$(grep -c '^poll 0x51 -> silent' '$work/instrument.log') -ge 1 ]"
first=$(silent_polls)
measure_answers 60 "[ \$(silent_polls) -ge $((first + 5)) ]"
echo "longest time the window did not answer: $longest_wait_ms ms" \
    "($answers answers over $(($(silent_polls) - first)) silent ticks, CPU $cpu_percent %)"

[ "$longest_wait_ms" -lt "$allowed_ms" ] \
    || fail "the window did not answer for $longest_wait_ms ms (a tick blocks for at most $tick_block_ms ms)"
# Requests asked while a tick ran waited for its end: the measurement saw the ticks.
[ "$longest_wait_ms" -ge 500 ] || fail "no answer waited for a tick ($longest_wait_ms ms at most)"
[ "$cpu_percent" -lt 50 ] || fail "the program used $cpu_percent % of a core waiting for replies"

copy_chart
[ "$(copied_pixels_of_colour '00 ff 00')" -eq 0 ] || fail "a reading was drawn without a reply"

close_program || fail "the program ended with status $?"
grep -q $'^TimerWorkInterval=600\r$' "$work/VelmoraThermo.ini" || fail "settings not written"
[ "$(sed -n '/^\[Options\]/,/^\[/p' "$work/VelmoraThermo.ini" | grep -c '=')" -eq 22 ] || fail "not all settings written"
if grep -v -e '^link ' -e '^poll 0x51 -> silent$' "$work/instrument.log"; then
    fail "the simulator received something else than poll commands"
fi
echo "PASS: the window answered within $longest_wait_ms ms while the instrument stayed silent"

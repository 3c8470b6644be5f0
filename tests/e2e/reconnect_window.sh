#!/usr/bin/env bash
# The adapter is pulled out while polling runs and plugged in again: the simulator's line
# vanishes after the fourth poll (its link goes with it) and comes back at the same link three
# seconds later as another pseudo-terminal. No message comes; the one run file has ok rows, then
# port-lost rows for the absence, then ok rows again, each reading the one the simulator sent;
# the chart goes on. The tick that finds the line back polls it: from the return to the next good
# reading is one interval at most, which the test prints and checks.
source "$(dirname "$0")/session.sh"
program=$1
simulator=$2
interval_ms=600

start_display
start_simulator "$simulator" --seed 13 --start-temp 30.5 --vanish-after 4 --return-after 3
printf '[Options]\r\nPort=%s\r\nTimerWorkInterval=%s\r\nNPoints=30\r\n' "$work/instrument" \
    "$interval_ms" >"$work/VelmoraThermo.ini"
start_program "$program"

click_tool_button 1 # Start
wait_until 30 "grep -q '^vanish after 4 polls' '$work/instrument.log'"
# Two ticks without a port: the line drawn so far is what the chart shows now.
wait_until 30 "[ \$(cat '$work'/runs/*.csv 2>/dev/null | grep -c ',port-lost\$') -ge 2 ]"
! others_shown || fail "a message box came for the lost port"
copy_chart
before=$(copied_pixels_of_colour '00 ff 00')

wait_until 30 "grep -q '^returned at ' '$work/instrument.log'"
wait_until 30 "[ \$(sed -n '/^return: /,\$p' '$work/instrument.log' | grep -c '^poll 0x51 -> [0-9]') -ge 3 ]"
! others_shown || fail "a message box came for the lost port"
copy_chart
after=$(copied_pixels_of_colour '00 ff 00')
[ "$after" -gt "$before" ] || fail "the chart did not go on: $before line pixels, then $after"

click_tool_button 2 # Stop
wait_for 10 "! port_is_open"
! others_shown || fail "a message box came"
close_program || fail "the program ended with status $?"

shopt -s nullglob
runs=("$work"/runs/*.csv)
[ ${#runs[@]} -eq 1 ] || fail "expected one run file, found ${#runs[@]}: ${runs[*]}"
run=${runs[0]}
tail -n +2 "$run" >"$work/rows"

# The statuses in order, repeats folded: readings, the absence, readings again.
statuses=$(cut -d, -f4 "$work/rows" | uniq | paste -sd' ')
[ "$statuses" = "ok port-lost ok" ] || { cat "$run" >&2; fail "statuses in order: $statuses"; }
lost=$(grep -c ',port-lost$' "$work/rows")
# Every reading is one the simulator sent, in order, before and after the absence.
grep '^poll 0x51 -> [0-9]' "$work/instrument.log" | sed -E 's/^poll 0x51 -> ([0-9.]+)$/\1/' \
    >"$work/sent"
grep ',ok$' "$work/rows" | cut -d, -f3 >"$work/logged"
diff "$work/sent" "$work/logged" >"$work/diff" \
    || { cat "$work/diff" >&2; fail "the readings differ from what the simulator sent"; }

# From the return (the simulator's wall clock) to the first ok row after the absence: the moment
# its tick began, just before that tick opened the port again and polled; the reply is read
# 0.1 s later, so never before the return.
returned_ms=$(sed -n 's/^returned at \([0-9]*\)\.\([0-9]*\)$/\1\2/p' "$work/instrument.log")
read -r last_lost first_ok < <(awk -F, '$4 == "port-lost" { lost = $1 }
    lost && $4 == "ok" { print lost, $1; exit }' "$work/rows")
first_ok_ms=$(date -d "$first_ok" +%s%3N)
took_ms=$((first_ok_ms - returned_ms))
[ "$took_ms" -gt -100 ] || fail "a reading before the return: $first_ok"
# The tick that reads comes one interval after the last one without a port, and later only
# when the timer itself was late (a loaded machine): that lateness is allowed, no more.
late_ms=$((first_ok_ms - $(date -d "$last_lost" +%s%3N) - interval_ms))
[ "$late_ms" -gt 0 ] || late_ms=0
echo "return to the next good reading: $took_ms ms (interval $interval_ms ms, timer late $late_ms ms)"
[ "$took_ms" -le $((interval_ms + late_ms)) ] \
    || fail "the first reading came $took_ms ms after the return, more than an interval"
echo "PASS: $(grep -c ',ok$' "$work/rows") readings, $lost ticks without a port, one run file, no message"

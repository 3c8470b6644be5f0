#!/usr/bin/env bash
# The run log, end to end: Start, a dozen ticks against the simulator with one poll left
# unanswered and one reply cut short, Stop, close. The run folder beside the settings file then
# holds one file, and its rows match the simulator's own log one for one: the temperature sent,
# or the reason the tick stored nothing; times and elapsed seconds rise from row to row.
source "$(dirname "$0")/session.sh"
program=$1
simulator=$2

start_display
start_simulator "$simulator" --seed 11 --start-temp 30.5 --silent-every 5 --short-every 7
printf '[Options]\r\nPort=%s\r\nTimerWorkInterval=600\r\nNPoints=30\r\n' "$work/instrument" >"$work/VelmoraThermo.ini"
start_program "$program"

click_tool_button 1 # Start
wait_until 60 "[ \$(grep -c '^poll 0x51' '$work/instrument.log') -ge 12 ]"
click_tool_button 2 # Stop
wait_until 10 "! ls -l /proc/$app_pid/fd 2>/dev/null | grep -q '/dev/pts/'"
close_program || fail "the program ended with status $?"

shopt -s nullglob
runs=("$work"/runs/*.csv)
[ ${#runs[@]} -eq 1 ] || fail "expected one run file, found ${#runs[@]}: ${runs[*]}"
run=${runs[0]}
[[ "$(basename "$run")" =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}_[0-9]{2}-[0-9]{2}-[0-9]{2}\.csv$ ]] \
    || fail "the run file's name is $(basename "$run")"
[ "$(tail -c 1 "$run" | od -An -tx1 | tr -d ' ')" = "0a" ] || fail "the run file ends in a torn line"

# What the simulator did, tick by tick, in the run file's terms.
grep '^poll 0x51' "$work/instrument.log" | sed -E \
    -e 's/^poll 0x51 -> silent$/,no-reply/' \
    -e 's/^poll 0x51 -> [0-9.]+ \(short\)$/,short-reply/' \
    -e 's/^poll 0x51 -> ([0-9.]+)$/\1,ok/' >"$work/expected"
tail -n +2 "$run" | cut -d, -f3,4 >"$work/logged"
diff "$work/expected" "$work/logged" >"$work/diff" || { cat "$work/diff" >&2; fail "the rows differ from what the simulator sent"; }
grep -q ',no-reply$' "$work/logged" || fail "no silent tick was logged"
grep -q ',short-reply$' "$work/logged" || fail "no short reply was logged"

[ "$(head -n 1 "$run")" = "time,elapsed_s,temperature_C,status" ] || fail "the header is $(head -n 1 "$run")"
time_form='[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}[+-][0-9]{2}:[0-9]{2}'
if tail -n +2 "$run" | grep -Ev "^$time_form,[0-9]+\.[0-9]{3},([0-9]+\.[0-9])?,[a-z-]+\$" >&2; then
    fail "rows above are not in the run file's form"
fi
tail -n +2 "$run" | awk -F, '
    NR > 1 && ($1 <= time || $2 + 0 <= elapsed + 0) { print "row " NR " does not follow row " NR - 1; bad = 1 }
    { time = $1; elapsed = $2 }
    END { exit bad }' >&2 || fail "times or elapsed seconds out of order"
echo "PASS: $(wc -l <"$work/logged") ticks logged as the simulator answered them"

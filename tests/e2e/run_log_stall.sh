#!/usr/bin/env bash
# The run folder on a file system that stops answering under the running program, as a hung
# network mount does: once a run has rows, its writes and syncs wait (the stall file). The
# window keeps polling at its interval and answering meanwhile, and says once that the disk does
# not answer, naming the run file; once the file system answers again, the run file has every
# row, in order, each reading the one the simulator sent, none twice.
#
# Mounting needs root and FUSE: without them the test is skipped (exit 77).
#
# Usage: run_log_stall.sh PROGRAM SIMULATOR STALLFS
source "$(dirname "$0")/../support/stalled_disk.sh"
source "$(dirname "$0")/session.sh"
program=$1
simulator=$2
stallfs=$3
interval_ms=600

polls() { grep -c '^poll 0x51' "$work/instrument.log" || true; }
# Waits for $1 more polls of the simulator than there are now.
expect_polls() {
    local until=$(($(polls) + $1))
    wait_until 30 "[ \$(grep -c '^poll 0x51' '$work/instrument.log') -ge $until ]"
}
rows_in() { echo $(($(wc -l <"$1") - 1)); }

mount_stalling_disk "$work" "$stallfs"
trap 'unmount_stalling_disk; cleanup' EXIT

start_display
start_simulator "$simulator" --seed 21 --start-temp 25.5
printf '[Options]\r\nPort=%s\r\nTimerWorkInterval=%s\r\nNPoints=40\r\n[RunLog]\r\nFolder=%s\r\n' \
    "$work/instrument" "$interval_ms" "$work/disk/runs" >"$work/VelmoraThermo.ini"
start_program "$program"
copy_chart

click_tool_button 1 # Start
wait_until 30 "ls '$work'/backing/runs/*.csv >/dev/null 2>&1"
run_name=$(basename "$(ls "$work"/backing/runs/*.csv)")
wait_until 30 "[ \$(wc -l <'$work/backing/runs/$run_name') -ge 3 ]"

# The disk stops answering. Polling goes on while the rows wait, the window answers, and the
# box comes once.
stall_disk
stalled_at=$(polls)
measure_answers 60 others_shown
echo "while the disk did not answer: longest time the window did not answer $longest_wait_ms ms," \
    "$(($(polls) - stalled_at)) polls until the box came"
[ "$longest_wait_ms" -lt 2500 ] || fail "the window did not answer for $longest_wait_ms ms"
read_message_box
expected="Не удаётся записать журнал опроса в $work/disk/runs/$run_name: диск не отвечает. Опрос продолжается, строки будут записаны, когда диск ответит."
[ "$message" = "$expected" ] || fail "the box said: $message"
# Polling goes on with the disk still stalled, and no second box comes for it.
expect_polls 4
! others_shown || fail "a second box came for the same stall"

# The disk answers again: every row reaches the file, in order.
answer_again
click_tool_button 2 # Stop
wait_for 10 "! port_is_open"
sent=$(polls)
run="$work/backing/runs/$run_name"
wait_until 30 "[ \$(wc -l <'$run') -ge $((sent + 1)) ]"
close_program || fail "the program ended with status $?"
[ "$(rows_in "$run")" -eq "$sent" ] || fail "$(rows_in "$run") rows for $sent polls"
[ "$(ls "$work/backing/runs" | wc -l)" -eq 1 ] || fail "more than one run file: $(ls "$work/backing/runs")"
grep '^poll 0x51 -> [0-9]' "$work/instrument.log" | sed -E 's/^poll 0x51 -> ([0-9.]+)$/\1/' \
    >"$work/sent"
tail -n +2 "$run" | cut -d, -f3 >"$work/logged"
diff "$work/sent" "$work/logged" >"$work/diff" \
    || { cat "$work/diff" >&2; fail "the rows differ from the readings the simulator sent"; }
echo "PASS: $sent rows, in order, none lost or twice; polling went on while the disk did not answer"

#!/usr/bin/env bash
# velmora-log writing its run file to a disk that stops answering, as a hung network mount does.
# Polling goes on and standard error says once that the file does not answer. In the first run
# the disk answers again and the file gets every row, in order; in the second it never does,
# and SIGTERM ends the program within an exchange and a second all the same, with the rows it
# could not write counted.
#
# Usage: stalled_disk.sh VELMORA-LOG SIMULATOR STALLFS
source "$(dirname "$0")/../support/stalled_disk.sh"
set -euo pipefail
logger=$1
simulator=$2
stallfs=$3
work="$(mktemp -d)"
sim_pid=""
log_pid=""
trap '[ -n "$log_pid" ] && kill "$log_pid" 2>/dev/null; [ -n "$sim_pid" ] && kill "$sim_pid";
    unmount_stalling_disk; rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    [ -s "$work/err" ] && { echo "--- velmora-log said:" >&2; cat "$work/err" >&2; }
    exit 1
}
# Runs the condition given until it holds, for at most $1 seconds.
wait_until() {
    local seconds=$1
    shift
    timeout "$seconds" bash -c "until $*; do sleep 0.05; done" || fail "gave up waiting for: $*"
}
polls() { grep -c '^poll 0x51' "$work/instrument.log" || true; }
expect_polls() {
    local until=$(($(polls) + $1))
    wait_until 30 "[ \$(grep -c '^poll 0x51' '$work/instrument.log') -ge $until ]"
}

mount_stalling_disk "$work" "$stallfs"
"$simulator" --reply-delay 0 "$work/instrument" </dev/null >"$work/instrument.log" 2>&1 &
sim_pid=$!
wait_until 20 "grep -q '^link ' '$work/instrument.log'"
: >"$work/settings.ini"

# Starts velmora-log writing to $1 on the stalling disk, and waits for two rows in it.
start_logger() {
    "$logger" --settings "$work/settings.ini" --port "$work/instrument" --interval 500 \
        --output "$work/disk/$1" </dev/null >/dev/null 2>"$work/err" &
    log_pid=$!
    wait_until 30 "[ -f '$work/backing/$1' ] && [ \$(wc -l <'$work/backing/$1') -ge 3 ]"
}
# The disk stops answering: standard error says so once, naming the file, and polling goes on.
stall_and_expect_polling() {
    stall_disk
    wait_until 30 "grep -q 'does not answer' '$work/err'"
    grep -q "^velmora-log: $work/disk/$1 does not answer; polling goes on" "$work/err" \
        || fail "the line: $(grep 'does not answer' "$work/err")"
    expect_polls 3
    [ "$(grep -c 'does not answer' "$work/err")" -eq 1 ] || fail "the stall was told twice"
}

# First run: the disk answers again before the stop; every poll has its row, in order.
start_logger first.csv
stall_and_expect_polling first.csv
answer_again
kill -TERM "$log_pid"
status=0
wait "$log_pid" || status=$?
log_pid=""
[ "$status" -eq 0 ] || fail "velmora-log ended with $status"
grep '^poll 0x51 -> [0-9]' "$work/instrument.log" | sed -E 's/^poll 0x51 -> ([0-9.]+)$/\1/' \
    >"$work/sent"
tail -n +2 "$work/backing/first.csv" | cut -d, -f3 >"$work/logged"
diff "$work/sent" "$work/logged" >"$work/diff" \
    || { cat "$work/diff" >&2; fail "the rows differ from the readings the simulator sent"; }

# Second run: the disk never answers again; the stop does not wait for it.
start_logger second.csv
stall_and_expect_polling second.csv
began=${EPOCHREALTIME/./}
kill -TERM "$log_pid"
status=0
wait "$log_pid" || status=$?
took_ms=$(((${EPOCHREALTIME/./} - began) / 1000))
log_pid=""
echo "stopped $took_ms ms after SIGTERM with the disk not answering"
# The longest exchange (0.1 s, the 1 s bound for a reply, 0.4 s) and a second.
[ "$took_ms" -le 2500 ] || fail "the stop took $took_ms ms"
[ "$status" -eq 1 ] || fail "velmora-log ended with $status, not 1 for rows not written"
grep -q ' rows\? not written; rows in ' "$work/err" || fail "the summary: $(tail -n 1 "$work/err")"
answer_again
echo "PASS: polling went on while the disk did not answer; every row came once it did, and the stop did not wait for it"

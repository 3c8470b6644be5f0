#!/usr/bin/env bash
# The run folder on a small file system of the test's own, which fails under the running
# program: read-only at one Start, full at the next. Each run shows the failure once, with the
# path and the system's reason; polling goes on meanwhile, also while the box is open; once the
# file system takes writes again, the run's file gets every row, the held ones first.
#
# Mounting needs root: without it the test is skipped (exit 77). It runs in a mount namespace of
# its own, so the file system goes with it whatever happens.
if [ -z "${VT_IN_MOUNT_NAMESPACE:-}" ]; then
    if [ "$(id -u)" -ne 0 ] || ! unshare -m --propagation private true 2>/dev/null; then
        echo "SKIP: mounting a file system needs root"
        exit 77
    fi
    VT_IN_MOUNT_NAMESPACE=1 exec unshare -m --propagation private "$0" "$@"
fi
source "$(dirname "$0")/session.sh"
program=$1
simulator=$2

polls() { grep -c '^poll 0x51' "$work/instrument.log" || true; }

# Starts polling; the failure box must come, and two more polls while it is open; then it is
# read and closed. Sets $message.
start_with_failure() {
    click_tool_button 1 # Start
    wait_for_message_box
    local before
    before=$(polls)
    wait_until 20 "[ \$(grep -c '^poll 0x51' '$work/instrument.log') -ge $((before + 2)) ]"
    read_message_box
}

# The newest run file of this Start, and its rows so far.
newest_run() { find "$disk/runs" -name '20*.csv' -newer "$work/mark" | sort | tail -n 1; }
run_rows() {
    local run
    run=$(newest_run)
    if [ -n "$run" ]; then echo $(($(wc -l <"$run") - 1)); else echo 0; fi
}

# Polls on for two more ticks without any further box, then stops. A tick whose row fails
# queues its box, which shows before the next tick runs: the look waits for the row of the
# tick after those two, so it cannot come before a box of theirs.
poll_on_and_stop() {
    wait_for 20 "[ \$(run_rows) -ge $(($(polls) + 3 - first)) ]"
    if xdotool search --onlyvisible --name '^Velmora Thermo$' | grep -qv "^$window\$"; then
        fail "a second box came in the same run"
    fi
    click_tool_button 2 # Stop
    wait_until 10 "! ls -l /proc/$app_pid/fd 2>/dev/null | grep -q '/dev/pts/'"
}

# The newest run file has one whole row for each of the last $1 polls of the simulator.
expect_rows() {
    local run
    run=$(newest_run)
    [ -n "$run" ] || fail "no run file was made"
    [ "$(tail -c 1 "$run" | od -An -tx1 | tr -d ' ')" = "0a" ] || fail "$run ends in a torn line"
    [ "$(($(wc -l <"$run") - 1))" -eq "$1" ] \
        || fail "$run has $(($(wc -l <"$run") - 1)) rows for $1 polls"
}

start_display
disk="$work/disk"
mkdir "$disk"
mount -t tmpfs -o size=64k,mode=0755 velmora-test "$disk" || { echo "SKIP: no tmpfs"; exit 77; }
trap 'umount -l "$disk" 2>/dev/null || true; cleanup' EXIT
mkdir "$disk/runs"
start_simulator "$simulator" --seed 5 --start-temp 30.5
printf '[Options]\r\nPort=%s\r\nTimerWorkInterval=600\r\nNPoints=30\r\n[RunLog]\r\nFolder=%s\r\n' \
    "$work/instrument" "$disk/runs" >"$work/VelmoraThermo.ini"
start_program "$program"

# Read-only at Start.
mount -o remount,ro "$disk"
touch "$work/mark"
first=$(polls)
start_with_failure
[[ "$message" =~ ^"Не удалось записать журнал опроса в $disk/runs/"20[0-9-]+_[0-9-]+\.csv": Read-only file system."$ ]] \
    || fail "the read-only box said: $message"
echo "read-only: $message"
mount -o remount,rw "$disk"
poll_on_and_stop
expect_rows $(($(polls) - first))

# Full at Start.
dd if=/dev/zero of="$disk/filler" bs=4k 2>/dev/null || true
touch "$work/mark"
first=$(polls)
start_with_failure
[[ "$message" =~ ^"Не удалось записать журнал опроса в $disk/runs/"20[0-9-]+_[0-9-]+\.csv": No space left on device."$ ]] \
    || fail "the disk-full box said: $message"
echo "full: $message"
rm "$disk/filler"
poll_on_and_stop
expect_rows $(($(polls) - first))

close_program || fail "the program ended with status $?"
grep -q '^\[RunLog\]' "$work/VelmoraThermo.ini" || fail "the settings were not written"
echo "PASS: a read-only and a full run folder were reported once each, and no row was lost"

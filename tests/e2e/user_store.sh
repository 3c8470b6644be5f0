#!/usr/bin/env bash
# The program installed in a folder its user cannot write, run by that user (nobody, with a
# private home): the administrator's settings file gives the first settings, closing writes the
# user's own copy under ~/.config and ends the program, the next start reads that copy, the run
# log goes under ~/.local/share, velmora-log finds the same files, and a copy that cannot be
# written either gives "Unable to write to" with its path while the window stays open.
#
# Usage: user_store.sh VELMORA-THERMO VELMORA-LOG
# Needs root to take the unprivileged identity; skipped (77) where that is not possible.
source "$(dirname "$0")/session.sh"
program=$1
logger=$2
user_id=65534

as_user() {
    setpriv --reuid=$user_id --regid=$user_id --clear-groups env -i \
        HOME="$home" XDG_RUNTIME_DIR="$runtime" DISPLAY="${DISPLAY:-}" PATH=/usr/bin:/bin \
        LC_ALL=C.UTF-8 ${LSAN_OPTIONS:+LSAN_OPTIONS="$LSAN_OPTIONS"} \
        ${UBSAN_OPTIONS:+UBSAN_OPTIONS="$UBSAN_OPTIONS"} ${ASAN_OPTIONS:+ASAN_OPTIONS="$ASAN_OPTIONS"} \
        "$@"
}

if [ "$(id -u)" -ne 0 ] || ! setpriv --reuid=$user_id --regid=$user_id --clear-groups true 2>/dev/null; then
    echo "SKIP: taking user id $user_id needs root and setpriv"
    exit 77
fi

# The temporary folder is root's alone; the user must pass through it.
chmod 0755 "$work"
folder="$work/program"
home="$work/home"
runtime="$work/runtime"
mkdir -p "$folder" "$home" "$runtime"
chown $user_id:$user_id "$home" "$runtime"
chmod 0700 "$home" "$runtime"
cp "$program" "$logger" "$folder/"
printf '[Lab]\r\nRoom=3\r\n[Options]\r\nPort=/nonexistent/velmora-e2e-admin\r\nTimerWorkInterval=1700\r\n' \
    >"$folder/VelmoraThermo.ini"
chmod 0644 "$folder/VelmoraThermo.ini"
cp "$folder/VelmoraThermo.ini" "$work/administrators.ini"
as_user test -w "$folder" && fail "the user may write the program folder: the test proves nothing"

config="$home/.config/velmora-thermo"
copy="$config/VelmoraThermo.ini"
runs="$home/.local/share/velmora-thermo/runs"

start_as_user() {
    as_user "$folder/velmora-thermo" </dev/null >"$work/program.log" 2>&1 &
    app_pid=$!
    take_main_window
}

close_window() {
    xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4
}

mode_of() {
    stat -c %a "$1"
}

start_display

# First start: the administrator's settings, written to the user's copy on close.
start_as_user
close_program || fail "the program ended with status $?"
[ -f "$copy" ] || fail "closing wrote no $copy"
cmp -s "$folder/VelmoraThermo.ini" "$work/administrators.ini" || fail "the administrator's file changed"
for line in '[Lab]' 'Room=3' 'Port=/nonexistent/velmora-e2e-admin' 'TimerWorkInterval=1700' 'ShowSignalFlag=1'; do
    grep -qxF "$line"$'\r' "$copy" || fail "the user's copy lacks $line: $(cat "$copy")"
done
[ "$(mode_of "$config")" = 700 ] || fail "$config has mode $(mode_of "$config")"
[ "$(mode_of "$home/.config")" = 700 ] || fail "$home/.config has mode $(mode_of "$home/.config")"
[ "$(stat -c %u "$copy")" = $user_id ] || fail "the copy is not the user's"
[ ! -e "$home/.local" ] || fail "a start without a run made $home/.local"

# velmora-log reads the same copy: it tries the copy's port (not there, so it ends with 1).
status=0
as_user "$folder/velmora-log" --count 1 >"$work/log.out" 2>&1 || status=$?
[ "$status" -eq 0 ] && fail "velmora-log polled with TimerWorkInterval=1700 from a port that is not there"
grep -q "^velmora-log: .*/nonexistent/velmora-e2e-admin" "$work/log.out" \
    || fail "velmora-log did not take the port from the user's copy: $(cat "$work/log.out")"
# Its limits record goes to the user's run folder, as the program folder takes no runs.
as_user "$folder/velmora-log" --limits 36.5,36.7 --count 0 >"$work/log.out" 2>&1 || true
grep -q ',36.5,36.7,port-not-opened,velmora-log$' "$runs/limits.csv" 2>/dev/null \
    || fail "velmora-log recorded no limits in $runs: $(cat "$work/log.out")"
[ ! -e "$folder/runs" ] || fail "a run folder appeared in the program folder"
[ "$(mode_of "$home/.local/share/velmora-thermo")" = 700 ] \
    || fail "the user's data folder has mode $(mode_of "$home/.local/share/velmora-thermo")"

# Second start: the administrator changes the file; the user keeps the copy's settings.
printf '[Options]\r\nPort=/nonexistent/velmora-e2e-other\r\nTimerWorkInterval=2500\r\n' \
    >"$folder/VelmoraThermo.ini"
start_as_user
close_program || fail "the program ended with status $?"
grep -qxF $'TimerWorkInterval=1700\r' "$copy" || fail "the next start did not read the copy: $(cat "$copy")"
grep -q 'velmora-e2e-other' "$copy" && fail "the next start read the administrator's file"

# A copy that cannot be written either: the error names it, and the window stays open.
chmod 0500 "$config"
start_as_user
close_window
expect_message "Unable to write to $copy."
kill -0 "$app_pid" 2>/dev/null || fail "the program ended although its settings were not written"
xdotool search --onlyvisible --name '^Velmora Thermo$' | grep -qx "$window" || fail "the window closed"
chmod 0700 "$config"
close_program || fail "the program ended with status $?"
echo "PASS: read-only program folder: the administrator's settings first, the user's copy after, runs under the user's data folder, and the failure named"

#!/usr/bin/env bash
# Kills the real program with SIGKILL in the middle of saving its settings, again and again, and
# checks that the settings file is always either the file as it was before or the whole new
# file, never a torn or mixed one.
#
# Usage: kill_during_save.sh PROGRAM SIMULATOR KILL-ON-SAVE [KILLS]
# KILLS defaults to 5; VT_KILL_MAX_DELAY_US (default 3000) bounds the random delay between the
# temporary file's creation and the kill.
source "$(dirname "$0")/session.sh"

program=$1
killer=$3
kills=${4:-5}
max_delay=${VT_KILL_MAX_DELAY_US:-3000}
ini="$work/VelmoraThermo.ini"

# A file the program rewrites on closing: it adds the keys it lacks, keeps what it does not know.
write_old_file() {
    printf '; bench 2\r\n[Options]\r\nPort=/nonexistent/velmora-e2e\r\nMinY=-5\r\nMaxY=60\r\n[Other]\r\nKeep=me\r\n' \
        >"$ini"
}

start_display

# One close without a kill gives the new file.
write_old_file
cp "$ini" "$work/old.ini"
start_program "$program"
close_program || fail "the program ended with status $?"
cp "$ini" "$work/new.ini"
cmp -s "$work/old.ini" "$work/new.ini" && fail "closing did not change the file"
grep -q '^Keep=me' "$work/new.ini" || fail "the new file lost a line"

old=0
new=0
mid_save=0
for i in $(seq 1 "$kills"); do
    write_old_file
    start_program "$program"
    "$killer" "$app_pid" "$work" VelmoraThermo.ini "$max_delay" "$i" >"$work/killer.out" &
    killer_pid=$!
    wait_until 10 "grep -q armed '$work/killer.out'"
    # Ends closed or killed: either status will do.
    close_program || true
    wait "$killer_pid" || fail "the killer failed: $(cat "$work/killer.out")"

    if cmp -s "$ini" "$work/old.ini"; then
        old=$((old + 1))
    elif cmp -s "$ini" "$work/new.ini"; then
        new=$((new + 1))
    else
        diff <(tr -d '\r' <"$work/new.ini") <(tr -d '\r' <"$ini") >&2 || true
        fail "kill $i ($(cat "$work/killer.out")) left a torn settings file"
    fi
    # A temporary file left behind means the kill came before the file was replaced.
    leftovers=$(find "$work" -maxdepth 1 -name '.VelmoraThermo.ini.*' | wc -l)
    [ "$leftovers" -gt 0 ] && mid_save=$((mid_save + 1))
    # The last kill's leftovers stay for the clean close below to remove.
    if [ "$i" -lt "$kills" ]; then
        find "$work" -maxdepth 1 -name '.VelmoraThermo.ini.*' -delete
    fi
done

# The next close that saves removes what killed saves left, and only that. The planted file
# stands for a killed save's temporary file; the other name is not the program's.
touch "$work/.VelmoraThermo.ini.k3j9x.tmp" "$work/.VelmoraThermo.ini.notes"
start_program "$program"
close_program || fail "the program ended with status $?"
left=$(find "$work" -maxdepth 1 -name '.VelmoraThermo.ini.*.tmp' | wc -l)
[ "$left" -eq 0 ] || fail "a clean close left $left temporary files behind"
[ -e "$work/.VelmoraThermo.ini.notes" ] || fail "a clean close removed a file that is not its own"

echo "kills: $kills; old file: $old, new file: $new; killed before the replacement (temporary file left): $mid_save; torn: 0"
echo "PASS: a kill while saving leaves the old or the new settings file"

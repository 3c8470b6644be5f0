#!/usr/bin/env bash
# The guide's first command, tools/run.sh, as a new user runs it on a machine without a desktop:
# it starts its virtual display with a window manager, the simulator and the program. The main
# window must be on the screen (viewable) soon after it is created, every time; closing it ends
# the command, and the simulator with it. The command runs on a display of its own and a
# settings file of its own; the build folder's settings file is put back afterwards.
#
# Usage: run_command.sh SOURCE-FOLDER BUILD-FOLDER
source "$(dirname "$0")/session.sh"
root=$1
build=$2
settings="$build/app/VelmoraThermo.ini"
link="$build/instrument-sim.tty"
run_pid=""

# The build folder's own settings file waits here while the command runs on a fresh one.
saved="$work/saved-settings.ini"
if [ -e "$settings" ]; then
    mv "$settings" "$saved"
fi

end_run() {
    # The command, the program, the simulator and the virtual display with its window manager
    # share the command's process group.
    [ -n "$run_pid" ] && kill -- "-$run_pid" 2>/dev/null || true
    [ -n "$run_pid" ] && wait "$run_pid" 2>/dev/null || true
    rm -f "$settings"
    if [ -e "$saved" ]; then
        mv "$saved" "$settings"
    fi
    cleanup
}
trap end_run EXIT

# A display number nobody uses, away from the numbers the other whole-program tests take.
for n in $(seq 200 299); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
        break
    fi
done

began=$(now_us)
env -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$work" VT_RUN_DISPLAY=":$n" \
    setsid "$root/tools/run.sh" "$build" </dev/null >"$work/program.log" 2>&1 &
run_pid=$!
export DISPLAY=":$n"

# The program's main window, once it exists (mapped or not); sets $window.
main_window_exists() {
    window="$(xdotool search --name '^Velmora Thermo$' 2>/dev/null | head -n 1)"
    [ -n "$window" ]
}
map_state() {
    xwininfo -id "$window" 2>/dev/null | sed -n 's/^ *Map State: *//p'
}

# The build is up to date when the tests run: the command has the window up in seconds.
wait_for 90 "main_window_exists || ! kill -0 $run_pid 2>/dev/null"
kill -0 "$run_pid" 2>/dev/null || fail "tools/run.sh ended before the main window appeared"
created=$(now_us)
timeout 10 bash -c "until xwininfo -id $window 2>/dev/null | grep -q 'Map State: IsViewable'; do
    sleep 0.05; done" || fail "the main window was created but is not on the screen: $(map_state)"
shown=$(now_us)
echo "main window viewable $(((shown - began) / 1000)) ms after tools/run.sh started," \
    "$(((shown - created) / 1000)) ms after it was created"

grep -q "^Port=$link"$'\r$' "$settings" || fail "Port does not name the simulator: $(cat "$settings")"

# Closed as a user does, once the window manager has framed the window and given it the focus;
# the command ends with the program.
wait_until 10 "xprop -id $window _NET_FRAME_EXTENTS | grep -q ' = '"
app_pid=$run_pid
close_program || fail "tools/run.sh ended with status $?"
wait_for 10 "[ ! -e '$link' ]"
grep -q $'^ShowSignalFlag=1\r$' "$settings" || fail "closing did not write the settings"
echo "PASS: tools/run.sh showed the main window on a display of its own and ended with it"

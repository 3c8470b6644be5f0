#!/usr/bin/env bash
# The guide's first command, tools/run.sh, as a new user runs it on a machine without a desktop,
# started again and again as on a fresh machine: each start on a new virtual display, with the
# window manager's configuration and cache folders new, and the window manager slow to start:
# once it has taken the display, it is held still (SIGSTOP) until the program's main window is
# on the screen. A window that waits for the window manager to map it is never shown then;
# the command must show it all the same, every time. Then the window manager goes on and frames
# it, and closing it ends the command, and the simulator with it. The build folder's settings
# file is put back afterwards.
#
# Usage: run_command.sh SOURCE-FOLDER BUILD-FOLDER [STARTS]
source "$(dirname "$0")/session.sh"
root=$1
build=$2
starts=${3:-20}
settings="$build/app/VelmoraThermo.ini"
link="$build/instrument-sim.tty"
run_pid=""

# The build folder's own settings file waits here while the command runs on a fresh one.
saved="$work/saved-settings.ini"
if [ -e "$settings" ]; then
    mv "$settings" "$saved"
fi

# Ends the command with all it started: the command, the program, the simulator, the virtual
# display and the window manager share its process group (a held window manager goes on first,
# so that it can end).
end_command() {
    if [ -n "$run_pid" ]; then
        kill -CONT -- "-$run_pid" 2>/dev/null || true
        kill -- "-$run_pid" 2>/dev/null || true
        wait "$run_pid" 2>/dev/null || true
        timeout 10 bash -c "while kill -0 -- -$run_pid 2>/dev/null; do sleep 0.05; done" \
            || kill -KILL -- "-$run_pid" 2>/dev/null || true
        run_pid=""
    fi
}
end_run() {
    end_command
    rm -f "$settings"
    if [ -e "$saved" ]; then
        mv "$saved" "$settings"
    fi
    cleanup
}
trap end_run EXIT

# The window manager the command starts, held still from the moment it has taken the display
# until the gate file is gone.
mkdir -p "$work/bin"
cat >"$work/bin/openbox" <<EOF
#!/usr/bin/env bash
source '$root/tools/virtual-display.sh'
$(command -v openbox) "\$@" &
manager=\$!
until vd_window_manager_owns "\$DISPLAY"; do
    kill -0 \$manager 2>/dev/null || exit 1
    sleep 0.01
done
kill -STOP \$manager
: >'$work/held'
timeout 60 bash -c "while [ -e '$work/gate' ]; do sleep 0.05; done"
kill -CONT \$manager
wait \$manager
EOF
chmod +x "$work/bin/openbox"

# The program's main window, once it exists (mapped or not); sets $window.
main_window_exists() {
    window="$(xdotool search --name '^Velmora Thermo$' 2>/dev/null | head -n 1)"
    [ -n "$window" ]
}
map_state() {
    xwininfo -id "$window" 2>/dev/null | sed -n 's/^ *Map State: *//p'
}

for start in $(seq 1 "$starts"); do
    n="$(vd_free_number 200 299)" || fail "no display number is free"
    home="$work/home-$start"
    mkdir -p "$home"
    rm -f "$work/held" "$settings"
    : >"$work/gate"
    began=$(now_us)
    env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_CONFIG_HOME -u XDG_CACHE_HOME HOME="$home" \
        PATH="$work/bin:$PATH" XDG_RUNTIME_DIR="$work" VT_RUN_DISPLAY=":$n" \
        setsid "$root/tools/run.sh" "$build" </dev/null >"$work/program.log" 2>&1 &
    run_pid=$!
    export DISPLAY=":$n"

    # The build is up to date when the tests run: the command has the window up in seconds.
    wait_for 90 "main_window_exists || ! kill -0 $run_pid 2>/dev/null"
    kill -0 "$run_pid" 2>/dev/null || fail "start $start: tools/run.sh ended before the main window appeared"
    created=$(now_us)
    timeout 10 bash -c "until xwininfo -id $window 2>/dev/null | grep -q 'Map State: IsViewable'; do
        sleep 0.05; done" \
        || fail "start $start: the main window was created but is not on the screen: $(map_state)"
    shown=$(now_us)
    echo "start $start: main window viewable $(((shown - began) / 1000)) ms after tools/run.sh" \
        "started, $(((shown - created) / 1000)) ms after it was created"
    grep -q "^Port=$link"$'\r$' "$settings" || fail "Port does not name the simulator: $(cat "$settings")"

    # The window manager, started after the window, takes the display and is held; then it goes
    # on, frames the window and takes the close as a user gives it.
    wait_for 20 "[ -e '$work/held' ]"
    rm -f "$work/gate"
    wait_for 10 "vd_framed '$DISPLAY' $window"
    app_pid=$run_pid
    close_program || fail "tools/run.sh ended with status $?"
    wait_for 10 "[ ! -e '$link' ]"
    grep -q $'^ShowSignalFlag=1\r$' "$settings" || fail "closing did not write the settings"
    end_command
done
echo "PASS: tools/run.sh showed the main window $starts times, each on a new display with a" \
    "window manager slow to start, and ended with it"

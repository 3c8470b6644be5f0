#!/usr/bin/env bash
# Builds the program and the instrument simulator, starts the simulator and then the program
# connected to it: press Start (the green tick) and the simulated temperature is plotted.
# The settings file beside the program points Port at the simulator unless a port was chosen
# already. Without a desktop (no DISPLAY), a virtual display with a window manager is started
# first, and the program only once the window manager has taken the screen: a window mapped
# while the window manager is still starting may never be shown.
#
#   tools/run.sh [BUILD-FOLDER]      (default build/)
#
# Installs and builds only what it runs (tools/setup.sh run; the programs velmora-thermo and
# instrument-sim); tools/test.sh adds the rest. The virtual display is :77, or VT_RUN_DISPLAY;
# it stays for the next run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"

"$root/tools/setup.sh" run
# A folder configured before keeps its configuration; cmake --build configures again by itself
# when a CMakeLists.txt changed.
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --parallel "$(nproc)" --target velmora-thermo instrument-sim

program="$build/app/velmora-thermo"
simulator="$build/tools/instrument-sim/instrument-sim"
link="$build/instrument-sim.tty"
settings="$build/app/VelmoraThermo.ini"

# Runs the command given until it succeeds, for at most $1 seconds; fails when it never does.
wait_for() {
    local until_s=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$until_s" ] || return 1
        sleep 0.05
    done
}

# Whether the X server of display $1 answers.
server_answers() {
    xprop -display "$1" -root _NET_SUPPORTING_WM_CHECK >/dev/null 2>&1
}

# Whether a window manager has taken display $1: the root window names the manager's check
# window, and that window exists and names itself. (The root's property outlives a window
# manager that ended; its check window does not.)
window_manager_owns() {
    local id
    id="$(xprop -display "$1" -root _NET_SUPPORTING_WM_CHECK 2>/dev/null \
        | sed -n 's/^.*window id # *//p')"
    [ -n "$id" ] && xprop -display "$1" -id "$id" _NET_SUPPORTING_WM_CHECK 2>/dev/null \
        | grep -q "window id # *$id\$"
}

"$simulator" "$link" >"$build/instrument-sim.log" 2>&1 &
simulator_pid=$!
trap 'kill "$simulator_pid" 2>/dev/null || true' EXIT
has_link() { grep -q '^link ' "$build/instrument-sim.log"; }
if ! wait_for 10 has_link; then
    echo "The instrument simulator did not start: $(cat "$build/instrument-sim.log")" >&2
    exit 1
fi
echo "Instrument simulator on $link (log: $build/instrument-sim.log)"

# A port the user chose is kept; a missing Port or the default COM1 (on Linux the first
# on-board port, often the kernel console) is pointed at the simulator.
port="$(grep -i -m 1 -E '^[[:space:]]*Port[[:space:]]*=' "$settings" 2>/dev/null \
    | sed -E 's/^[^=]*=[[:space:]]*//; s/[[:space:]\r]*$//' || true)"
if [ -z "$port" ] || [ "${port^^}" = "COM1" ]; then
    if [ -f "$settings" ] && grep -qi -E '^[[:space:]]*Port[[:space:]]*=' "$settings"; then
        sed -i -E "0,/^[[:space:]]*[Pp][Oo][Rr][Tt][[:space:]]*=.*/s||Port=$link\r|" "$settings"
    elif [ -f "$settings" ] && grep -qi '^\[Options\]' "$settings"; then
        sed -i -E "0,/^\[[Oo]ptions\].*/s||&\nPort=$link\r|" "$settings"
    else
        printf '[Options]\r\nPort=%s\r\n' "$link" >>"$settings"
    fi
    echo "Port set to the simulator in $settings"
else
    echo "Port stays $port (from $settings)"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    display="${VT_RUN_DISPLAY:-:77}"
    if ! server_answers "$display"; then
        Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
        if ! wait_for 10 server_answers "$display"; then
            echo "The virtual display $display did not start within 10 s" >&2
            exit 1
        fi
    fi
    if ! window_manager_owns "$display"; then
        DISPLAY="$display" openbox >/dev/null 2>&1 &
        if ! wait_for 10 window_manager_owns "$display"; then
            echo "The window manager (openbox) did not take the virtual display $display" \
                "within 10 s" >&2
            exit 1
        fi
    fi
    export DISPLAY="$display"
    echo "No desktop here: the program runs on the virtual display $display."
    echo "See it with: DISPLAY=$display import -window root shot.png (imagemagick)"
fi
"$program"

#!/usr/bin/env bash
# Builds the program and the instrument simulator, starts the simulator and then the program
# connected to it: press Start (the green tick) and the simulated temperature is plotted.
# The settings file beside the program points Port at the simulator unless a port was chosen
# already. Without a desktop (no DISPLAY), a virtual display is started first, then the program,
# then a window manager once the main window is on the screen (tools/virtual-display.sh says
# why); when the window cannot be shown, it says so and ends rather than leave the program
# running unseen.
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

source "$root/tools/virtual-display.sh"

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

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    "$program"
    exit
fi

display="${VT_RUN_DISPLAY:-:77}"
if ! vd_server_answers "$display"; then
    if ! vd_start_server "$display" /dev/null 10; then
        echo "The virtual display $display did not start within 10 s" >&2
        exit 1
    fi
fi
export DISPLAY="$display"
echo "No desktop here: the program runs on the virtual display $display."
echo "See it with: DISPLAY=$display import -window root shot.png (imagemagick)"

# The program first; a window manager that is not there yet is started once the main window is
# on the screen (see tools/virtual-display.sh). One that runs already takes the window as any
# other; should the window still not be shown, the program is started once more.
program_pid=""
stop_program() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
}
trap 'stop_program; kill "$simulator_pid" 2>/dev/null || true' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
manager_there=0
vd_window_manager_owns "$display" && manager_there=1
for attempt in 1 2; do
    "$program" &
    program_pid=$!
    if vd_wait_for_window 30 "$display" "Velmora Thermo" "$program_pid"; then
        break
    fi
    if ! kill -0 "$program_pid" 2>/dev/null; then
        status=0
        wait "$program_pid" || status=$?
        program_pid=""
        echo "Velmora Thermo ended before its window was shown (status $status)" >&2
        exit 1
    fi
    stop_program
    wait "$program_pid" 2>/dev/null || true
    program_pid=""
    if [ "$attempt" -eq 2 ]; then
        echo "The main window of Velmora Thermo was not shown on $display within 30 s, twice;" \
            "the program was ended" >&2
        exit 1
    fi
    echo "The main window was not shown on $display within 30 s; starting the program again" >&2
done
if [ "$manager_there" -eq 0 ] && ! vd_window_manager_owns "$display"; then
    if ! vd_start_window_manager "$display" /dev/null 10 "$vd_window"; then
        echo "The window manager (openbox) did not frame the window on $display within 10 s;" \
            "the window is shown without a frame" >&2
    fi
fi
status=0
wait "$program_pid" || status=$?
program_pid=""
exit "$status"

#!/usr/bin/env bash
# Builds the program and the instrument simulator, starts the simulator and then the program
# connected to it: press Start (the green tick) and the simulated temperature is plotted.
# The settings file beside the program points Port at the simulator unless a port was chosen
# already. Without a desktop (no DISPLAY), a virtual one is started first.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/build.sh"

build="$root/build"
program="$build/app/velmora-thermo"
simulator="$build/tools/instrument-sim/instrument-sim"
link="$build/instrument-sim.tty"
settings="$build/app/VelmoraThermo.ini"

"$simulator" "$link" >"$build/instrument-sim.log" 2>&1 &
simulator_pid=$!
trap 'kill "$simulator_pid" 2>/dev/null || true' EXIT
timeout 10 bash -c "until grep -q '^link ' '$build/instrument-sim.log'; do sleep 0.05; done"
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
    display=:77
    if [ ! -S /tmp/.X11-unix/X77 ]; then
        Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
        timeout 10 bash -c 'until [ -S /tmp/.X11-unix/X77 ]; do sleep 0.05; done'
        DISPLAY="$display" openbox >/dev/null 2>&1 &
    fi
    export DISPLAY="$display"
    echo "No desktop here: the program runs on the virtual display $display."
    echo "See it with: DISPLAY=$display import -window root shot.png (imagemagick)"
fi
"$program"

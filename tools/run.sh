#!/usr/bin/env bash
# Builds the program and starts it. Without a desktop (no DISPLAY), it starts a virtual one
# first and says how to look at it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/build.sh"

program="$root/build/app/velmora-thermo"
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
exec "$program"

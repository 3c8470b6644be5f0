#!/usr/bin/env bash
# Takes the pictures of the user's guide from the real program: the main window polling the
# instrument simulator, the limits dialog, the keypad, the three pages of the parameters dialog
# the about box and the run's history, on a virtual display with a window manager. Writes them to
# resources/screenshots/. Run it again whenever a window changes.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/build.sh" "$root/build"
build="$root/build"
shot="$build/tools/screenshot/screenshot"
out="$root/resources/screenshots"
mkdir -p "$out"

source "$root/tests/e2e/session.sh"

# Saves window $2 with its frame as $out/$1.png.
shoot() {
    local name=$1 id=$2 left right top bottom
    xdotool windowactivate --sync "$id" 2>/dev/null || true
    xdotool mousemove 1023 767
    local info x y width height
    info="$(xwininfo -id "$id")"
    x="$(sed -n 's/^ *Absolute upper-left X: *//p' <<<"$info")"
    y="$(sed -n 's/^ *Absolute upper-left Y: *//p' <<<"$info")"
    width="$(sed -n 's/^ *Width: *//p' <<<"$info")"
    height="$(sed -n 's/^ *Height: *//p' <<<"$info")"
    read -r left right top bottom < <(xprop -id "$id" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
    sleep 0.3 # let the window finish painting after it came to the front
    "$shot" "$out/$name.png" $((x - left)) $((y - top)) $((width + left + right)) \
        $((height + top + bottom))
    echo "$out/$name.png"
}

# Waits for a second window of the program and sets $dialog to it.
wait_for_dialog() {
    wait_until 10 "xdotool search --onlyvisible --class velmora-thermo | grep -qv '^$window\$'"
    dialog="$(xdotool search --onlyvisible --class velmora-thermo | grep -v "^$window\$" | head -n 1)"
}

# Closes the dialog in front with its close box, as Cancel.
close_dialogs() {
    xdotool key --clearmodifiers alt+F4
    wait_until 10 "[ \$(xdotool search --onlyvisible --class velmora-thermo | wc -l) -eq 1 ]"
}

start_display
# A bath at 35.5 degrees heated to the limits dialog's 36.5 to 36.7, six times as fast as life.
start_simulator "$build/tools/instrument-sim/instrument-sim" --start-temp 35.5 --speed 6 --seed 7
printf '[Options]\r\nPort=%s\r\nTimerWorkInterval=600\r\nNPoints=80\r\n' "$work/instrument" \
    >"$work/VelmoraThermo.ini"
start_program "$build/app/velmora-thermo"

# The limits dialog's own values sent before the run, for the history's limit lines.
click_tool_button 0
wait_for_dialog
xdotool mousemove --window "$dialog" $((120 + 37)) $((80 + 12)) click 1 # OK
wait_until 10 "grep -q '^limits 0x52 ' '$work/instrument.log'"

# The main window after 70 readings.
click_tool_button 1
wait_until 90 "[ \$(grep -c '^poll' '$work/instrument.log') -ge 70 ]"
click_tool_button 2
shoot main-window "$window"

click_tool_button 0
wait_for_dialog
shoot limits-dialog "$dialog"
close_dialogs

click_tool_button 3
wait_for_dialog
params="$dialog"
shoot parameters-control "$params"
# The keypad opens on a double-click in the points field of the first page.
eval "$(xdotool getwindowgeometry --shell "$params")"
xdotool mousemove --window "$params" $((8 + 184 + 30 + 4)) $((117 + 16 + 11 + 24)) click --repeat 2 1
wait_until 10 "xdotool search --onlyvisible --name '^Сенсорная панель\$' | grep -q ."
shoot keypad "$(xdotool search --onlyvisible --name '^Сенсорная панель$' | head -n 1)"
xdotool key --clearmodifiers alt+F4
wait_until 10 "! xdotool search --onlyvisible --name '^Сенсорная панель\$' | grep -q ."
xdotool mousemove --window "$params" 140 12 click 1
shoot parameters-display "$params"
xdotool mousemove --window "$params" 205 12 click 1
shoot parameters-look "$params"
close_dialogs

click_tool_button 4
wait_for_dialog
shoot about "$dialog"
close_dialogs

# The history of that run, with the limits sent before it and two markers.
choose_menu_item "$window" 3 0
wait_until 20 "xdotool search --onlyvisible --name 'История опроса\$' >/dev/null"
history="$(xdotool search --onlyvisible --name 'История опроса$' | head -n 1)"
xdotool windowsize --sync "$history" 900 520
eval "$(xdotool getwindowgeometry --shell "$history")"
xdotool mousemove --window "$history" $((WIDTH / 4)) $((HEIGHT / 2)) click 1
xdotool mousemove --window "$history" $((WIDTH * 3 / 4)) $((HEIGHT / 2)) click 1
shoot history-window "$history"
xdotool key --clearmodifiers ctrl+w

close_program || true

#!/usr/bin/env bash
# The two dialogs in the real program, against the instrument simulator: the limits dialog
# from the tool bar sends what was set with the arrow keys; the parameters dialog applies a new
# upper bound even when it is closed with Cancel.
source "$(dirname "$0")/session.sh"
program=$1
simulator=$2

start_display
start_simulator "$simulator" --seed 3
printf '[Options]\r\nPort=%s\r\n' "$work/instrument" >"$work/VelmoraThermo.ini"
start_program "$program"

# Opens the dialog of tool-bar button $1 and sets $dialog to its window.
open_dialog() {
    click_tool_button "$1"
    wait_until 10 "xdotool search --onlyvisible --class velmora-thermo | grep -qv '^$window\$'"
    dialog="$(xdotool search --onlyvisible --class velmora-thermo | grep -v "^$window\$" | head -n 1)"
    xdotool windowactivate --sync "$dialog" 2>/dev/null || true
}

# Limits: the lower limit's whole degrees take the focus first; Up makes 36.5 into 37.5.
open_dialog 0
xdotool key --window "$dialog" Up
xdotool mousemove --window "$dialog" $((120 + 37)) $((80 + 12)) click 1 # OK
wait_until 10 "grep -q '^limits 0x52 ' '$work/instrument.log'"
grep -q '^limits 0x52 37.5 36.7' "$work/instrument.log" \
    || fail "the simulator got: $(grep '^limits' "$work/instrument.log")"

# Parameters: the scale's upper bound is on the second page.
copy_chart
before="$(xclip -selection clipboard -t image/ppm -o | md5sum)"
open_dialog 3
eval "$(xdotool getwindowgeometry --shell "$dialog")"
xdotool mousemove --window "$dialog" 140 12 click 1 # the page "Отображение"
xdotool mousemove --window "$dialog" 182 147 click 1 # the upper bound
xdotool key --window "$dialog" ctrl+a
xdotool type --window "$dialog" 50
xdotool mousemove --window "$dialog" $((56 + 37)) $((352 + 12)) click 1 # Cancel
wait_until 10 "[ \$(xdotool search --onlyvisible --class velmora-thermo | wc -l) -eq 1 ]"
copy_chart
after="$(xclip -selection clipboard -t image/ppm -o | md5sum)"
[ "$before" != "$after" ] || fail "the chart was not redrawn with the new upper bound"

close_program || fail "the program ended with status $?"
grep -q $'^MaxY=50\r$' "$work/VelmoraThermo.ini" || fail "MaxY not saved: $(grep MaxY "$work/VelmoraThermo.ini")"
grep -q $'^A=375\r$' "$work/VelmoraThermo.ini" || fail "A not saved: $(grep '^A=' "$work/VelmoraThermo.ini")"
echo "PASS: limits sent, parameters applied on Cancel"

#!/usr/bin/env bash
# The run history of the run under way, end to end: the real program polls the instrument
# simulator, "Журнал" → "Текущий опрос" opens the history window, whose plot shows the readings
# and changes as more arrive; the picture is saved as PNG at a size asked for and as SVG, and the
# visible rows as CSV, which are the run file's own rows.
source "$(dirname "$0")/session.sh"
program=$1
simulator=$2
line_colour='0046c8' # the history plot's line
limits_colour='d20000' # and the limits'

start_display
start_simulator "$simulator" --seed 7 --start-temp 36.6 --speed 20
printf '[Options]\r\nPort=%s\r\nTimerWorkInterval=200\r\n' "$work/instrument" >"$work/VelmoraThermo.ini"
start_program "$program"

# The limits dialog's own values, 36.5 and 36.7, sent before the run: the simulated bath stays
# about them, so their lines are in the plot's view.
click_tool_button 0
wait_until 10 "xdotool search --onlyvisible --class velmora-thermo | grep -qv '^$window\$'"
dialog="$(xdotool search --onlyvisible --class velmora-thermo | grep -v "^$window\$" | head -n 1)"
xdotool mousemove --window "$dialog" $((120 + 37)) $((80 + 12)) click 1 # OK
wait_until 10 "grep -q '^limits 0x52 ' '$work/instrument.log'"

click_tool_button 1 # Start
polls="grep -c '^poll 0x51' '$work/instrument.log'"
wait_until 30 "[ \$($polls) -ge 5 ]"

choose_menu_item "$window" 3 0 # "Журнал" → "Текущий опрос"
wait_until 20 "xdotool search --onlyvisible --name 'История опроса\$' >/dev/null"
history="$(xdotool search --onlyvisible --name 'История опроса$' | head -n 1)"
run_file="$(ls "$work"/runs/[0-9]*.csv)"
[ "$(xdotool getwindowname "$history")" = "$(basename "$run_file") — История опроса" ] \
    || fail "the history window's title: $(xdotool getwindowname "$history")"

# Copies the plot with Ctrl+C into $work/$1.ppm and prints how many of its pixels have the
# colour $2 (the line's unless given).
copy_plot() {
    printf 'nothing' | xclip -selection clipboard -i >/dev/null 2>&1
    xdotool windowactivate --sync "$history" key --clearmodifiers ctrl+c
    wait_until 10 "xclip -selection clipboard -t TARGETS -o 2>/dev/null | grep -q image/ppm"
    xclip -selection clipboard -t image/ppm -o >"$work/$1.ppm"
    ppm_pixels_of_colour "$work/$1.ppm" "${2:-$line_colour}"
}
[ "$(copy_plot first)" -gt 50 ] || fail "no line in the history plot"
[ "$(copy_plot first "$limits_colour")" -gt 50 ] || fail "no limits in the history plot"
seen=$(eval "$polls")
wait_until 30 "[ \$($polls) -ge $((seen + 5)) ]"
copy_plot later >/dev/null
cmp -s "$work/first.ppm" "$work/later.ppm" && fail "the plot did not change as readings arrived"

click_tool_button 2 # Stop
wait_until 10 "! ls -l /proc/$app_pid/fd 2>/dev/null | grep -q '/dev/pts/'"

# Types the full path $1 into the file dialog that is open and saves.
save_as() {
    wait_until 10 "xdotool search --onlyvisible --name '^$2\$' >/dev/null"
    xdotool key --clearmodifiers ctrl+a
    xdotool type --delay 5 "$1"
    xdotool key --clearmodifiers Return
    wait_until 20 "[ -s '$1' ]"
}
choose_menu_item "$history" 0 1 # "Файл" → "Сохранить рисунок PNG…": the size first
wait_until 10 "xdotool search --onlyvisible --name '^Размер рисунка\$' >/dev/null"
xdotool key --clearmodifiers ctrl+a
xdotool type 640
xdotool key --clearmodifiers Tab ctrl+a
xdotool type 360
xdotool key --clearmodifiers Return
save_as "$work/plot.png" "Сохранить рисунок PNG"
read -r w3 w2 w1 w0 h3 h2 h1 h0 < <(od -An -tu1 -j16 -N8 "$work/plot.png")
[ $(((w3 << 24) | (w2 << 16) | (w1 << 8) | w0)) -eq 640 ] \
    && [ $(((h3 << 24) | (h2 << 16) | (h1 << 8) | h0)) -eq 360 ] || fail "the PNG is not 640 x 360"

choose_menu_item "$history" 0 2 # "Сохранить рисунок SVG…"
save_as "$work/plot.svg" "Сохранить рисунок SVG"
python3 -c 'import sys, xml.etree.ElementTree as t; r = t.parse(sys.argv[1]).getroot(); sys.exit(0 if r.tag.endswith("svg") and len(list(r.iter())) > 20 else 1)' \
    "$work/plot.svg" || fail "the SVG is not a well-formed picture"

# The whole run is in view: the visible rows are the run file's rows, all of them.
choose_menu_item "$history" 0 4 # "Сохранить видимые строки…"
save_as "$work/rows.csv" "Сохранить видимые строки"
cmp -s "$run_file" "$work/rows.csv" || {
    diff "$run_file" "$work/rows.csv" | head -n 5 >&2
    fail "the visible rows are not the run file's"
}

close_program || fail "the program ended with status $?"
echo "PASS: the history followed $(($(wc -l <"$run_file") - 1)) readings and was saved as PNG, SVG and rows"

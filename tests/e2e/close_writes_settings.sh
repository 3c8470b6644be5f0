#!/usr/bin/env bash
# Starts the real program from a folder holding a settings file, closes it with Alt+F4 as a user
# would, and checks the settings file it wrote: all keys in order, the file's own values kept,
# and the lines the program does not know left in place.
source "$(dirname "$0")/session.sh"

# Publishing to a broker whose name is never looked up (the test preloads such a look-up): the
# window opens and closes all the same.
printf '; written by hand\r\n[Options]\r\nPort=/nonexistent/velmora-e2e\r\nTimerWorkInterval=900\r\nMinY=-5\r\n[Other]\r\nKeep=me\r\n[Mqtt]\r\nEnabled=1\r\nHost=broker.stalled\r\n' \
    >"$work/VelmoraThermo.ini"

start_display
start_program "$1"

# The window opens centred on the 1024 x 768 screen with a 609-pixel client area.
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$WIDTH" -eq 609 ] || fail "client width $WIDTH"
centre_x=$((X + WIDTH / 2))
[ "$centre_x" -ge 502 ] && [ "$centre_x" -le 522 ] || fail "window not centred: x=$X width=$WIDTH"

close_program || fail "the program ended with status $?"

expected=$(printf '%s\r\n' \
    '; written by hand' \
    '[Options]' \
    'Port=/nonexistent/velmora-e2e' \
    'TimerWorkInterval=900' \
    'MinY=-5' \
    'BaudRate=38400' 'NPoints=1000' 'A=300' 'B=310' 'MaxY=40' \
    'YCaption=t, mm:ss' 'XCaption=T, deg. C' \
    'BrushGraphColor=0' 'PenGraphColor=65280' 'AxisGraphColor=65535' \
    'TextFontName=MS Sans Serif' 'TextFontColor=-16777208' 'TextFontSize=8' 'TextFontStyle=0' \
    'GraphFontName=MS Sans Serif' 'GraphFontColor=-16777208' 'GraphFontSize=8' \
    'GraphFontStyle=0' 'ShowSignalFlag=1' \
    '[Other]' \
    'Keep=me' \
    '[Mqtt]' 'Enabled=1' 'Host=broker.stalled' 'Port=' 'Bench=' 'Prefix=' 'User=' \
    'PasswordFile=' 'CaFile=' 'Discovery=1' 'RemoteLimits=0' \
    '[RunLog]' 'Enabled=1' 'Folder=' \
    '[Alarms]' 'Enabled=0' 'High=' 'Low=' 'Band=0' 'Margin=' 'Stale=' 'Delay=' 'Hysteresis=' \
    'Sound=0')
actual=$(cat "$work/VelmoraThermo.ini")
if [ "$actual" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$actual") >&2 || true
    fail "the settings file differs"
fi
echo "PASS: closing the program wrote its settings"

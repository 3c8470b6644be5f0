#!/usr/bin/env bash
# Alarms end to end, on a private session bus: the simulated bath starts above High and cools
# below it. With a notification server (dunst) on the bus, the bell at the tool bar's right end
# turns red, a critical notification arrives and is closed when the reading returns, the bell
# goes quiet, alarms.csv holds the raise and the clear, and the history window shows the span.
# Without a notification service, and without a session bus at all, the bell still turns red
# and the window goes on polling.
#
#   alarms.sh PROGRAM SIMULATOR SCREENSHOT
set -euo pipefail
if [ -z "${VT_ALARMS_BUS:-}" ]; then
    # A bus of this test's own that starts no service by itself: the notification server is
    # there only when the test starts it.
    config="$(mktemp)"
    trap 'rm -f "$config"' EXIT
    cat >"$config" <<'CONF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
    status=0
    VT_ALARMS_BUS=1 dbus-run-session --config-file="$config" -- "$0" "$@" || status=$?
    exit "$status"
fi

source "$(dirname "$0")/session.sh"
program=$1
simulator=$2
screenshot=$3
ringing='e60000'   # the bell's red
quiet='a0a0a0'     # and its grey
span_colour='c80078' # an alarm's strip in the history plot
dunst_pid=""
trap 'kill $dunst_pid 2>/dev/null || true; cleanup' EXIT

start_display

# Counts the pixels of the colour $1 at the window's right end, where the bell is: the chart
# there has none of its colours.
bell_pixels() {
    grab_window "$window" "$work/window.ppm" "$screenshot"
    ppm_pixels_of_colour "$work/window.ppm" "$1" 560 0 49 1000
}

# One run: polls the simulator starting at 40 °C with High 35 °C; waits for the bell to ring.
# The program's environment is this shell's.
start_hot_run() {
    rm -rf "$work/runs"
    start_simulator "$simulator" --seed 3 --start-temp 40 --speed 3
    printf '[Options]\r\nPort=%s\r\nTimerWorkInterval=200\r\n[RunLog]\r\nEnabled=1\r\n[Alarms]\r\nEnabled=1\r\nHigh=35\r\nDelay=1\r\nHysteresis=0.5\r\n' \
        "$work/instrument" >"$work/VelmoraThermo.ini"
    start_program "$program"
    wait_for 10 '[ "$(bell_pixels "$quiet")" -gt 20 ]' # quiet before the run
    click_tool_button 1 # Start
    wait_for 30 '[ "$(bell_pixels "$ringing")" -gt 20 ]'
}

end_run() {
    click_tool_button 2 # Stop
    close_program || fail "the program ended with status $?"
    stop_simulator
}

# With dunst, which marks what it shows as critical: its history keeps the text it showed.
printf '[critical_mark]\n    msg_urgency = critical\n    format = "CRITICAL %%s"\n' >"$work/dunstrc"
dunst -config "$work/dunstrc" >"$work/dunst.log" 2>&1 &
dunst_pid=$!
wait_until 20 "dunstctl is-paused >/dev/null 2>&1"
start_hot_run
# Shown, or already closed again on a slow machine.
wait_until 20 "[ \$((\$(dunstctl count displayed) + \$(dunstctl count history))) -ge 1 ]"
# The reading returns below High less Hysteresis: the alarm clears, its notification closes.
wait_for 60 '[ "$(bell_pixels "$ringing")" -eq 0 ] && [ "$(bell_pixels "$quiet")" -gt 20 ]'
wait_until 20 "[ \"\$(dunstctl count displayed)\" -eq 0 ]"
dunstctl history >"$work/history.json"
grep -q 'Температура выше нормы' "$work/history.json" || fail "no notification: $(cat "$work/history.json")"
grep -q '"CRITICAL Температура выше нормы"' "$work/history.json" || fail "the notification is not critical: $(cat "$work/history.json")"
grep -q '°C при пороге 35,0 °C' "$work/history.json" || fail "the notification's body"
alarms="$work/runs/alarms.csv"
wait_until 10 "grep -q ',high,cleared,' '$alarms'"
grep -q ',high,raised,' "$alarms" || fail "no raise in alarms.csv: $(cat "$alarms")"
grep -q "$(basename "$(ls "$work"/runs/[0-9]*.csv)")" "$alarms" || fail "alarms.csv names no run file"

choose_menu_item "$window" 3 0 # "Журнал" → "Текущий опрос"
wait_until 20 "xdotool search --onlyvisible --name 'История опроса\$' >/dev/null"
history="$(xdotool search --onlyvisible --name 'История опроса$' | head -n 1)"
xdotool windowactivate --sync "$history"
span_shown() {
    grab_window "$history" "$work/history.ppm" "$screenshot"
    [ "$(ppm_pixels_of_colour "$work/history.ppm" "$span_colour")" -gt 20 ]
}
wait_for 10 span_shown
xdotool windowactivate --sync "$window"
end_run
kill "$dunst_pid"
wait "$dunst_pid" 2>/dev/null || true
dunst_pid=""

# No notification service on the bus, then no session bus: the bell alone tells it, the window
# answers on.
start_hot_run
copy_chart
expect_answers_over_dead_line "no notification service"
end_run
unset DBUS_SESSION_BUS_ADDRESS
start_hot_run
copy_chart
expect_answers_over_dead_line "no session bus"
end_run
echo "PASS: the bell, the notification, alarms.csv and the history's span"

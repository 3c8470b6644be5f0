#!/usr/bin/env bash
# Another program holds the port, exclusively, as the program itself would: Start and the limits
# upload each show the open-failure message, nothing reaches the instrument, the new limits are
# kept, and the other program keeps its hold. Once the port is free, both work.
source "$(dirname "$0")/session.sh"
program=$1
simulator=$2
holder=$3

# Opens the limits dialog from the tool bar and presses OK, after raising the lower limit by one
# degree when $1 is "raise" (the lower limit's whole degrees have the focus).
upload_limits() {
    click_tool_button 0
    wait_for_window "Параметры регулятора"
    [ "$1" = raise ] && xdotool windowactivate --sync "$dialog" key --clearmodifiers Up
    xdotool mousemove --window "$dialog" $((120 + 37)) $((80 + 12)) click 1 # OK
}

start_display
start_simulator "$simulator" --seed 4 --start-temp 30.5
printf '[Options]\r\nPort=%s\r\nTimerWorkInterval=600\r\nNPoints=30\r\n' "$work/instrument" \
    >"$work/VelmoraThermo.ini"
start_program "$program"

hold_port "$holder"
click_tool_button 1 # Start
expect_message "Не удалось открыть порт!"
upload_limits raise
expect_message "Не удалось открыть порт!"
# Start did not leave polling on: the limits command opened its dialog above, instead of asking
# to stop polling; and the program holds no port.
port_is_open && fail "the program holds a port"
release_port
if grep -v '^link ' "$work/instrument.log"; then
    fail "the instrument received something while another program held the port"
fi

# The port is free: the limits kept from the failed upload go out, and polling runs.
upload_limits keep
wait_until 10 "grep -q '^limits 0x52 ' '$work/instrument.log'"
grep -q '^limits 0x52 37.5 36.7' "$work/instrument.log" \
    || fail "the simulator got: $(grep '^limits' "$work/instrument.log")"
click_tool_button 1 # Start
wait_until 30 "[ \$(grep -c '^poll 0x51 -> [0-9]' '$work/instrument.log') -ge 2 ]"
click_tool_button 2 # Stop
wait_for 10 "! port_is_open"

close_program || fail "the program ended with status $?"
grep -q $'^A=375\r$' "$work/VelmoraThermo.ini" || fail "A not saved: $(grep '^A=' "$work/VelmoraThermo.ini")"
grep -q $'^B=367\r$' "$work/VelmoraThermo.ini" || fail "B not saved: $(grep '^B=' "$work/VelmoraThermo.ini")"
echo "PASS: the busy port was reported at Start and at the upload; both worked once it was free"

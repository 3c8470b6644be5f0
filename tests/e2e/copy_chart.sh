#!/usr/bin/env bash
# Starts the real program, copies the chart with the picture's pop-up menu as a user would, and
# reads the clipboard while the program still runs: a 600 x 150 picture.
source "$(dirname "$0")/session.sh"

printf '[Options]\r\nPort=/nonexistent/velmora-e2e\r\n' >"$work/VelmoraThermo.ini"
start_display
start_program "$1"

# A right click in the middle of the chart opens the pop-up menu; its one item is chosen with
# the keyboard.
copy_chart
xclip -selection clipboard -t image/png -o >"$work/chart.png"
# The PNG header holds the width and the height as 32-bit big-endian numbers at byte 16.
read -r w3 w2 w1 w0 h3 h2 h1 h0 < <(od -An -tu1 -j16 -N8 "$work/chart.png")
width=$(((w3 << 24) | (w2 << 16) | (w1 << 8) | w0))
height=$(((h3 << 24) | (h2 << 16) | (h1 << 8) | h0))
[ "$width" -eq 600 ] && [ "$height" -eq 150 ] || fail "copied a ${width} x ${height} picture"
# The empty chart: yellow frame, grid and text on black, no line yet.
[ "$(copied_pixels_of_colour 'ff ff 00')" -gt 2000 ] || fail "no frame in the copied chart"
[ "$(copied_pixels_of_colour '00 ff 00')" -eq 0 ] || fail "a line in the empty chart"

close_program || fail "the program ended with status $?"
echo "PASS: the chart was copied to the clipboard"

#!/usr/bin/env bash
# Replies with a stray byte after them, and replies cut short to their first byte: a tick without
# a whole reply draws nothing, and every reading drawn is the one the instrument sent, so the
# fault never shifts the readings after it. Checked on the copied chart against the simulator's
# log of what it sent.
source "$(dirname "$0")/session.sh"
program=$1
simulator=$2

points=60
lower=29
upper=32

# Checks the copied chart against the readings in tenths given, oldest first: the sweep they
# end with is drawn as one line from reading to reading, each at its own place.
check_plotted() {
    xclip -selection clipboard -t image/ppm -o >"$work/chart.ppm"
    tail -c $((600 * 150 * 3)) "$work/chart.ppm" | od -An -v -tu1 -w3 \
        | awk -v readings="$*" -v points=$points -v lower=$lower -v upper=$upper '
        # The chart is 600 x 150: the line lies on rows 21 to 99, reading k of a sweep on
        # column round(k * 498 / points + 50); rounding takes exact halves to the even side,
        # as printf does.
        function rint(v) { return sprintf("%.0f", v) + 0 }
        function row(tenths,    y) {
            y = rint(99 - (tenths / 10 - lower) / (upper - lower) * 79)
            return y < 21 ? 21 : y > 99 ? 99 : y
        }
        function column(k) { return rint(k * 498 / points + 50) }
        $1 == 0 && $2 == 255 && $3 == 0 { green[(NR - 1) % 600, int((NR - 1) / 600)] = 1 }
        END {
            total = split(readings, all, " ")
            first = int((total - 1) / points) * points # the current sweep starts here
            count = total - first
            for (k = 0; k < count; ++k) {
                x[k] = column(k)
                y[k] = row(all[first + k + 1])
            }
            bad = 0
            # Each segment starts at its reading; its end point is left out.
            for (k = 0; k + 1 < count; ++k) {
                if (!((x[k], y[k]) in green || (x[k], y[k] - 1) in green \
                        || (x[k], y[k] + 1) in green)) {
                    printf "reading %d (%.1f) is not at (%d, %d)\n", k + 1, all[first + k + 1] / 10, x[k], y[k]
                    bad = 1
                }
            }
            # Nothing else is drawn: every line pixel lies between the readings of its segment.
            rightmost = -1
            for (p in green) {
                split(p, at, SUBSEP)
                if (at[1] > rightmost)
                    rightmost = at[1]
                fits = 0
                for (k = 0; k + 1 < count && !fits; ++k) {
                    top = y[k] < y[k + 1] ? y[k] : y[k + 1]
                    bottom = y[k] < y[k + 1] ? y[k + 1] : y[k]
                    fits = at[1] >= x[k] && at[1] <= x[k + 1] && at[2] >= top - 1 && at[2] <= bottom + 1
                }
                if (!fits) {
                    printf "a line pixel at (%d, %d) belongs to no segment\n", at[1], at[2]
                    bad = 1
                    break
                }
            }
            # The last segment leaves out its end point, the newest reading, but comes within a
            # pixel of it.
            k = count - 1
            if (k >= 1) {
                near = 0
                for (dx = -1; dx <= 0; ++dx)
                    for (dy = -1; dy <= 1; ++dy)
                        near = near || (x[k] + dx, y[k] + dy) in green
                if (!near || rightmost > x[k]) {
                    printf "the line does not end at the newest reading %d (%.1f) at (%d, %d)\n", k + 1, all[first + k + 1] / 10, x[k], y[k]
                    bad = 1
                }
            }
            exit bad
        }' || fail "the chart does not show the readings sent: $*"
}

# The readings the simulator sent whole, in tenths, oldest first.
whole_replies() {
    sed -n 's/^poll 0x51 -> \([0-9]*\)\.\([0-9]\)$/\1\2/p' "$work/instrument.log"
}

# Polls until the command given holds, then stops and checks the chart.
poll_until() {
    click_tool_button 1 # Start
    wait_until 60 "$*"
    click_tool_button 2 # Stop
    wait_for 10 "! port_is_open"
    copy_chart
    check_plotted $(whole_replies)
}

start_display
printf '[Options]\r\nPort=%s\r\nTimerWorkInterval=600\r\nNPoints=%s\r\nMinY=%s\r\nMaxY=%s\r\n' \
    "$work/instrument" $points $lower $upper >"$work/VelmoraThermo.ini"

# A stray byte after every second reply.
start_simulator "$simulator" --seed 11 --start-temp 30.5 --stray-every 2
start_program "$program"
# Three strays, and a reply after the last of them.
poll_until "[ \$(grep -c '^stray ' '$work/instrument.log') -ge 3 ] && tail -n 1 '$work/instrument.log' | grep -q '^poll'"
strays=$(grep -c '^stray ' "$work/instrument.log")
readings=$(whole_replies | wc -l)
stop_simulator

# Every third reply cut short to its first byte: that tick waits out its bound and draws nothing.
start_simulator "$simulator" --seed 12 --start-temp 30.5 --short-every 3
# Two short replies, and a whole one after the last of them.
poll_until "[ \$(grep -c ' (short)\$' '$work/instrument.log') -ge 2 ] && tail -n 1 '$work/instrument.log' | grep -q '^poll 0x51 -> [0-9.]*\$'"
shorts=$(grep -c ' (short)$' "$work/instrument.log")
stop_simulator

close_program || fail "the program ended with status $?"
echo "PASS: $readings readings right around $strays stray bytes, $(whole_replies | wc -l) around $shorts short replies"

# Shared by the whole-program tests: a virtual display with a window manager, a copy of the
# program in a temporary folder (its settings file lives beside it), and bounded waits.
# Source it; it cleans up after itself when the test script exits.

set -euo pipefail

work="$(mktemp -d)"
xvfb_pid=""
wm_pid=""
app_pid=""
sim_pid=""

cleanup() {
    for pid in "$app_pid" "$sim_pid" "$wm_pid" "$xvfb_pid"; do
        [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    done
    for pid in "$app_pid" "$sim_pid" "$wm_pid" "$xvfb_pid"; do
        [ -n "$pid" ] && wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    if [ -s "$work/program.log" ]; then
        echo "--- the program said:" >&2
        cat "$work/program.log" >&2
    fi
    exit 1
}

# Runs the command given until it succeeds, for at most $1 seconds.
wait_until() {
    local seconds=$1
    shift
    timeout "$seconds" bash -c "until $*; do sleep 0.05; done" || fail "gave up waiting for: $*"
}

start_display() {
    local n
    for n in $(seq 91 189); do
        if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
            break
        fi
    done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    wait_until 20 "[ -S /tmp/.X11-unix/X$n ]"
    export DISPLAY=":$n"
    openbox >"$work/openbox.log" 2>&1 &
    wm_pid=$!
    wait_until 20 "xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'"
}

# Starts the instrument simulator ($1, then its options) with its link at $work/instrument;
# what it receives goes to $work/instrument.log.
start_simulator() {
    local simulator=$1
    shift
    "$simulator" "$work/instrument" "$@" </dev/null >"$work/instrument.log" 2>&1 &
    sim_pid=$!
    wait_until 20 "grep -q '^link ' '$work/instrument.log'"
}

# The chart as the clipboard holds it, as a portable pixmap: a short header, then three bytes
# (red, green, blue) a pixel. Prints how many pixels have the colour given as "rr gg bb".
copied_pixels_of_colour() {
    local colour=$1
    xclip -selection clipboard -t image/ppm -o >"$work/chart.ppm"
    tail -c $((600 * 150 * 3)) "$work/chart.ppm" | od -An -v -tx1 -w3 | grep -c " $colour\$" || true
}

# Copies the chart with the picture's pop-up menu, as a user does.
copy_chart() {
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool windowactivate --sync "$window"
    xdotool mousemove --window "$window" 300 $((HEIGHT - 80)) click 3
    wait_until 10 "xdotool search --onlyvisible --class velmora-thermo | grep -qv '^$window\$'"
    xdotool key Down Return
    wait_until 10 "xclip -selection clipboard -t TARGETS -o 2>/dev/null | grep -q image/ppm"
}

# Clicks the tool-bar button $1 places from the left (0 is the first); separators come after
# the third and the fourth button.
click_tool_button() {
    local index=$1
    local left=$((index * 23))
    [ "$index" -ge 3 ] && left=$((left + 8))
    [ "$index" -ge 4 ] && left=$((left + 8))
    eval "$(xdotool getwindowgeometry --shell "$window")"
    local menu_bar=$((HEIGHT - 204))
    xdotool windowactivate --sync "$window"
    xdotool mousemove --window "$window" $((9 + left + 11)) $((menu_bar + 2 + 11)) click 1
}

# Copies the program into the temporary folder (once) and starts it there.
start_program() {
    local program=$1
    [ -x "$work/$(basename "$program")" ] || cp "$program" "$work/"
    XDG_RUNTIME_DIR="$work" "$work/$(basename "$program")" </dev/null >"$work/program.log" 2>&1 &
    app_pid=$!
    window="$(timeout 30 xdotool search --sync --onlyvisible --name '^Velmora Thermo$' | head -n 1)" \
        || fail "the main window did not appear"
}

# Waits for the program to end by itself and returns its exit status.
wait_for_exit() {
    wait_until 30 "! kill -0 $app_pid 2>/dev/null"
    local status=0
    wait "$app_pid" || status=$?
    app_pid=""
    return "$status"
}

# Shared by the whole-program tests: a virtual display with a window manager, a copy of the
# program in a temporary folder (its settings file lives beside it), and bounded waits.
# Source it; it cleans up after itself when the test script exits.

set -euo pipefail

work="$(mktemp -d)"
xvfb_pid=""
wm_pid=""
app_pid=""

cleanup() {
    for pid in "$app_pid" "$wm_pid" "$xvfb_pid"; do
        [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    done
    for pid in "$app_pid" "$wm_pid" "$xvfb_pid"; do
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

# Copies the program into the temporary folder and starts it there.
start_program() {
    local program=$1
    cp "$program" "$work/"
    XDG_RUNTIME_DIR="$work" "$work/$(basename "$program")" >"$work/program.log" 2>&1 &
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

# A virtual display for a machine without a desktop, shared by tools/run.sh, the screenshot script
# and the whole-program tests. Source it; it needs only Xvfb, openbox and the X utilities
# (xwininfo, xprop).
#
# The order is what makes the window appear every time: the display first, then the program,
# and the window manager only once the program's main window is on the screen. With no window
# manager running, the server maps a window at once, and a window manager that starts takes up
# every window it finds mapped. Started the other way round, a map request that reaches the
# window manager while it is still starting up can be lost for good: the program then runs with
# its window never shown.

# Whether the X server of display $1 answers.
vd_server_answers() {
    xprop -display "$1" -root _NET_SUPPORTING_WM_CHECK >/dev/null 2>&1
}

# Whether a window manager has taken display $1: the root window names the manager's check
# window, and that window exists and names itself. (The root's property outlives a window
# manager that ended; its check window does not.)
vd_window_manager_owns() {
    local id
    id="$(xprop -display "$1" -root _NET_SUPPORTING_WM_CHECK 2>/dev/null \
        | sed -n 's/^.*window id # *//p')"
    [ -n "$id" ] && xprop -display "$1" -id "$id" _NET_SUPPORTING_WM_CHECK 2>/dev/null \
        | grep -q "window id # *$id\$"
}

# The first display number from $1 to $2 that nobody uses; prints it without the colon.
vd_free_number() {
    local n
    for n in $(seq "$1" "$2"); do
        if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
            echo "$n"
            return 0
        fi
    done
    return 1
}

# Starts Xvfb on display $1 (":N"), its output to $2, and waits up to $3 seconds for it to
# answer. Sets vd_server_pid. Fails when it does not answer in time.
vd_start_server() {
    local display=$1 log=$2 until_s=$((SECONDS + $3))
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >"$log" 2>&1 &
    vd_server_pid=$!
    until vd_server_answers "$display"; do
        [ "$SECONDS" -lt "$until_s" ] && kill -0 "$vd_server_pid" 2>/dev/null || return 1
        sleep 0.05
    done
}

# Prints the id of a window on display $1 titled exactly $2 that is on the screen (viewable),
# and fails while there is none.
vd_viewable_window() {
    local id
    for id in $(xwininfo -display "$1" -root -tree 2>/dev/null \
        | awk -v title="\"$2\": " 'index($0, title) { print $1 }'); do
        if xwininfo -display "$1" -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'; then
            echo "$id"
            return 0
        fi
    done
    return 1
}

# Whether the window manager has framed window $2 of display $1.
vd_framed() {
    xprop -display "$1" -id "$2" _NET_FRAME_EXTENTS 2>/dev/null | grep -q ' = '
}

# Waits up to $1 seconds for the window titled $3 on display $2 to be on the screen, while the
# process $4 runs; sets vd_window to it. Fails when the time is up or the process ended.
vd_wait_for_window() {
    local until_s=$((SECONDS + $1)) display=$2 title=$3 pid=$4
    until vd_window="$(vd_viewable_window "$display" "$title")"; do
        [ "$SECONDS" -lt "$until_s" ] && kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.05
    done
}

# Starts openbox on display $1, its output to $2, and waits up to $3 seconds until it has framed
# window $4 (found mapped when it started). Sets vd_manager_pid. Fails when it did not in time.
vd_start_window_manager() {
    local display=$1 log=$2 until_s=$((SECONDS + $3)) window=$4
    DISPLAY="$display" openbox >"$log" 2>&1 &
    vd_manager_pid=$!
    until vd_framed "$display" "$window"; do
        [ "$SECONDS" -lt "$until_s" ] && kill -0 "$vd_manager_pid" 2>/dev/null || return 1
        sleep 0.05
    done
}

# Shared by the whole-program tests: a virtual display with a window manager, a copy of the
# program in a temporary folder (its settings file lives beside it), and bounded waits.
# Source it; it cleans up after itself when the test script exits.

set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/virtual-display.sh"

work="$(mktemp -d)"
xvfb_pid=""
wm_pid=""
app_pid=""
sim_pid=""
holder_pid=""

cleanup() {
    for pid in "$app_pid" "$sim_pid" "$holder_pid" "$wm_pid" "$xvfb_pid"; do
        [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    done
    for pid in "$app_pid" "$sim_pid" "$holder_pid" "$wm_pid" "$xvfb_pid"; do
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

# A virtual display of this test's own. Its window manager starts with the program's first window
# (take_main_window).
start_display() {
    local n
    n="$(vd_free_number 91 189)" || fail "no display number is free"
    vd_start_server ":$n" "$work/xvfb.log" 20 || fail "the virtual display :$n did not start"
    xvfb_pid=$vd_server_pid
    export DISPLAY=":$n"
}

# Waits for the main window of the program started as $app_pid to be on the screen and sets
# $window to it. At the program's first start the window manager comes now, after the window
# (tools/virtual-display.sh says why); either way the window is framed before this returns:
# keys sent before are now and then lost on a loaded machine (an Alt+F4 that never closes it).
take_main_window() {
    vd_wait_for_window 30 "$DISPLAY" "Velmora Thermo" "$app_pid" \
        || fail "the main window did not appear"
    window=$((vd_window))
    if [ -z "$wm_pid" ]; then
        vd_start_window_manager "$DISPLAY" "$work/openbox.log" 20 "$vd_window" \
            || fail "the window manager did not frame the main window"
        wm_pid=$vd_manager_pid
    else
        wait_for 10 "vd_framed '$DISPLAY' $window"
    fi
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

# Chooses item $3 (0 is the first enabled one) of menu $2 (0 is the first) in the menu bar of
# window $1, with the keyboard once the first menu is open: the places of the menus' titles
# depend on the fonts, their order does not.
choose_menu_item() {
    local id=$1 menu=$2 item=$3 keys=()
    xdotool windowactivate --sync "$id"
    local before
    before=$(xdotool search --onlyvisible --class velmora-thermo | wc -l)
    xdotool mousemove --window "$id" 12 10 click 1
    wait_until 10 "[ \$(xdotool search --onlyvisible --class velmora-thermo | wc -l) -gt $before ]"
    # A menu opened with Right has its first item chosen already; the clicked one has none.
    local downs=$((item + 1))
    for ((i = 0; i < menu; ++i)); do keys+=(Right); done
    [ "$menu" -gt 0 ] && downs=$item
    for ((i = 0; i < downs; ++i)); do keys+=(Down); done
    xdotool key --clearmodifiers "${keys[@]}" Return
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
    take_main_window
}

# Closes the main window with Alt+F4, as a user does, and waits for the program to end; returns
# its exit status. On a loaded machine a key is now and then lost on its way (the program never
# hears of it and stays open): while the program still shows nothing but its main window five
# seconds after a press, the key is pressed again, and said so. A box or a dialog stops that,
# since the close has then been heard. Gives up after 30 s, saying what is on the screen.
close_program() {
    local began pressed status=0
    began=$(now_us)
    xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4
    pressed=$(now_us)
    while kill -0 "$app_pid" 2>/dev/null; do
        if [ $(($(now_us) - began)) -ge 30000000 ]; then
            echo "windows on the screen:" >&2
            for id in $(xdotool search --onlyvisible --name . 2>/dev/null); do
                echo "  $id '$(xdotool getwindowname "$id" 2>/dev/null)'" >&2
            done
            fail "the program did not end within 30 s of Alt+F4"
        fi
        if [ $(($(now_us) - pressed)) -ge 5000000 ] && ! others_shown; then
            echo "Alt+F4 was not heard within 5 s; pressing it again"
            timeout 10 xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4 \
                2>/dev/null || true
            pressed=$(now_us)
        fi
        sleep 0.05
    done
    wait "$app_pid" || status=$?
    app_pid=""
    return "$status"
}

# Whether the program shows a window beside its main window (a box or a dialog).
others_shown() {
    xdotool search --onlyvisible --class velmora-thermo 2>/dev/null | grep -qv "^$window\$"
}

# Waits until the process $1, a child of this shell, has ended (the shell collects it).
wait_for_end() {
    wait_until 10 "! kill -0 $1 2>/dev/null"
}

# Stops the simulator as a user would (it removes its link) and waits for it.
stop_simulator() {
    kill "$sim_pid"
    wait_for_end "$sim_pid"
    wait "$sim_pid" || fail "the simulator ended with status $?"
    sim_pid=""
}

# Runs the command given (a shell function may be one) until it succeeds, for at most $1 seconds.
wait_for() {
    local seconds=$1 began
    shift
    began=$(now_us)
    until eval "$*"; do
        [ $(($(now_us) - began)) -lt $((seconds * 1000000)) ] || fail "gave up waiting for: $*"
        sleep 0.05
    done
}

# Whether the program holds its port, a pseudo-terminal of the simulator, open.
port_is_open() {
    ls -l "/proc/$app_pid/fd" 2>/dev/null | grep -q '/dev/pts/'
}

# The CPU time the program has used so far, in clock ticks.
cpu_ticks() {
    local stat
    stat=$(<"/proc/$app_pid/stat")
    # Fields after the command name: user time is the 12th, system time the 13th.
    read -r -a stat <<<"${stat##*) }"
    echo $((stat[11] + stat[12]))
}

# Microseconds since the epoch, without starting a process.
now_us() {
    echo "${EPOCHREALTIME//[!0-9]/}"
}

# Asks the program for the clipboard's formats again and again until the command given holds,
# for at most $1 seconds. The program answers from its event loop, so each answer waits for
# whatever blocks the window: the longest wait is the longest time the window did not answer.
# The program must own the clipboard (copy_chart). Sets longest_wait_ms, answers, and
# cpu_percent: the share of one core the program used meanwhile.
measure_answers() {
    local seconds=$1
    shift
    local began ticks start took
    began=$(now_us)
    ticks=$(cpu_ticks)
    longest_wait_ms=0
    answers=0
    until eval "$*"; do
        start=$(now_us)
        [ $((start - began)) -lt $((seconds * 1000000)) ] || fail "gave up waiting for: $*"
        timeout 20 xclip -selection clipboard -o -t TARGETS >/dev/null 2>&1 \
            || fail "the window did not answer a clipboard request within 20 s"
        took=$((($(now_us) - start) / 1000))
        [ "$took" -le "$longest_wait_ms" ] || longest_wait_ms=$took
        answers=$((answers + 1))
    done
    cpu_percent=$((($(cpu_ticks) - ticks) * 100000000 / $(getconf CLK_TCK) / ($(now_us) - began)))
}

# Waits for the program's window titled $1 (a dialog) and sets $dialog to it.
wait_for_window() {
    local search="xdotool search --onlyvisible --name '^$1\$'"
    wait_until 10 "$search >/dev/null"
    dialog="$(eval "$search" | head -n 1)"
}

# Waits for a message box of the program: a window with the main window's title other than the
# main window. Sets $box to it.
wait_for_message_box() {
    local others="xdotool search --onlyvisible --name '^Velmora Thermo\$' | grep -v '^$window\$'"
    wait_until 10 "$others >/dev/null"
    box="$(eval "$others" | head -n 1)"
}

# Waits for a message box, reads it and closes it with its OK button: sets $message to its text.
# Ctrl+C copies a box to the clipboard: a rule, the title, a rule, the text, a rule, the buttons,
# a rule.
read_message_box() {
    local copied
    wait_for_message_box
    # Something else holds the clipboard first, so an old copy cannot pass for this one.
    printf 'no message' | xclip -selection clipboard -i >/dev/null 2>&1
    xdotool windowactivate --sync "$box" key --clearmodifiers ctrl+c
    wait_until 10 "xclip -selection clipboard -o 2>/dev/null | grep -q '^---'"
    copied="$(xclip -selection clipboard -o)"
    message="$(sed -n 4p <<<"$copied")"
    [ "$(sed -n 2p <<<"$copied")" = "Velmora Thermo" ] || fail "the box's title: $copied"
    xdotool windowactivate --sync "$box" key --clearmodifiers Return
    wait_until 10 "! xdotool search --onlyvisible --name '^Velmora Thermo\$' | grep -qv '^$window\$'"
}

# Expects a message box saying $1 and closes it.
expect_message() {
    read_message_box
    [ "$message" = "$1" ] || fail "expected \"$1\", the box said: $message"
}

# Holds the simulator's port with the helper $1 the way another program would: exclusively.
hold_port() {
    "$1" "$work/instrument" </dev/null >"$work/holder.log" 2>&1 &
    holder_pid=$!
    wait_until 10 "grep -q '^held ' '$work/holder.log'"
}

# Lets the port go again; nobody may have taken it from the holder meanwhile.
release_port() {
    kill "$holder_pid"
    wait_for_end "$holder_pid"
    wait "$holder_pid" || fail "the port holder ended with status $?: $(cat "$work/holder.log")"
    holder_pid=""
    grep -q 'exclusive mark kept' "$work/holder.log" \
        || fail "the holder lost the port: $(cat "$work/holder.log")"
}

# Polls on for four seconds over a line that is dead ($1 says how, for the report) and fails
# when the program ended, stopped answering for 2.5 s or more, or spun on the dead line.
expect_answers_over_dead_line() {
    local what=$1
    local until_us=$(($(now_us) + 4000000))
    measure_answers 30 "[ \$(now_us) -ge $until_us ]"
    echo "$what: longest time the window did not answer $longest_wait_ms ms, CPU $cpu_percent %"
    kill -0 "$app_pid" 2>/dev/null || fail "the program ended"
    [ "$longest_wait_ms" -lt 2500 ] || fail "the window did not answer for $longest_wait_ms ms"
    [ "$cpu_percent" -lt 50 ] || fail "the program used $cpu_percent % of a core: $what"
}

# Prints how many pixels of the portable pixmap $1 have the colour $2 ("rrggbb"), inside the
# rectangle x $3, y $4, width $5, height $6 when given.
ppm_pixels_of_colour() {
    python3 - "$@" <<'COUNT'
import sys
data = open(sys.argv[1], "rb").read()
# A portable pixmap: "P6", the width, the height and the largest value, then the pixels.
fields = data.split(maxsplit=4)
width, height = int(fields[1]), int(fields[2])
pixels = data[len(data) - width * height * 3:]
colour = bytes.fromhex(sys.argv[2])
x, y, w, h = (int(v) for v in sys.argv[3:7]) if len(sys.argv) > 3 else (0, 0, width, height)
print(sum(pixels[(r * width + c) * 3:(r * width + c) * 3 + 3] == colour
          for r in range(max(y, 0), min(y + h, height)) for c in range(max(x, 0), min(x + w, width))))
COUNT
}

# Saves what the screen shows of the window $1 as the portable pixmap $2, with the screenshot
# program $3 (tools/screenshot).
grab_window() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    XDG_RUNTIME_DIR="$work" "$3" "$2" "$X" "$Y" "$WIDTH" "$HEIGHT" || fail "no screenshot of window $1"
}

#!/usr/bin/env bash
# Kills the polling program with SIGKILL at random moments and checks its run files afterwards.
# The real main window polls the instrument simulator at an accelerated pace (the long run's
# harness, soak_poll) with the run log on; after each tick the harness says how large the run
# file is once that tick's row is written. After each kill:
#   - every row written before the kill is still there, whole and in order: nothing is lost;
#   - at most one partial line ends the file, and nothing follows it;
#   - the next Start made a new file and left the earlier ones as they were.
# A last run ends normally and must leave a whole file.
#
#   kill_poll.sh SOAK_POLL [KILLS] [SPEEDUP] [SIMULATOR]
set -euo pipefail
soak=$1
kills=${2:-5}
speedup=${3:-50}
simulator=()
[ -n "${4:-}" ] && simulator=(--simulator "$4")

work="$(mktemp -d)"
pid=""
cleanup() {
    [ -n "$pid" ] && kill -KILL -- "-$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
runtime="$work/runtime"
mkdir -m 700 "$runtime"
mkdir "$work/lab"

fail() {
    echo "FAIL: $*" >&2
    [ -s "$work/out" ] && tail -n 5 "$work/out" >&2
    exit 1
}

# Prints the rows of a run file that are whole lines; fails on any malformed whole line, on
# rows out of order, and on a partial line anywhere but at the very end.
check_run() {
    local file=$1
    local time_form='[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}[+-][0-9]{2}:[0-9]{2}'
    local gap_form='(no-reply|short-reply|write-failed|port-lost)'
    cat "$file" >"$work/checked"
    [ "$(head -n 1 "$work/checked")" = "time,elapsed_s,temperature_C,status" ] || {
        echo "$file: header $(head -n 1 "$work/checked")" >&2
        return 1
    }
    if tail -n +2 "$work/checked" \
        | grep -Ev "^$time_form,[0-9]+\.[0-9]{3},([0-9]+\.[0-9],ok|,$gap_form)\$" >&2; then
        echo "$file: the lines above are not whole rows" >&2
        return 1
    fi
    tail -n +2 "$work/checked" | awk -F, -v file="$file" '
        NR > 1 && $2 + 0 <= elapsed + 0 { print file ": row " NR ": elapsed does not rise"; bad = 1 }
        { elapsed = $2; rows++ }
        END { if (bad) exit 1; print rows + 0 }'
}

# The whole lines of a file, without a partial last line.
whole_part() {
    local file=$1
    if [ -s "$file" ] && [ "$(tail -c 1 "$file" | od -An -tx1 | tr -d ' ')" != "0a" ]; then
        head -n "$(($(wc -l <"$file")))" "$file"
    else
        cat "$file"
    fi
}

start_harness() {
    QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$runtime" LC_ALL=C.UTF-8 \
        setsid "$soak" --folder "$work/lab" --speedup "$speedup" --points 100 --no-rss-check \
        --report-rows --samples 1 "${simulator[@]}" "$@" </dev/null >"$work/out" 2>&1 &
    pid=$!
}

total_rows=0
torn=0
lost=0
declare -A sums
for ((i = 1; i <= kills; i++)); do
    start_harness --ticks 100000000 --timeout 100000
    timeout 60 bash -c "until grep -q '^committed [0-9]' '$work/out'; do sleep 0.02; done" \
        || fail "kill $i: the run did not start"
    # The moment of the kill: anywhere in the next second, mid-tick or between ticks.
    sleep "0.$(printf '%03d' $((RANDOM % 1000)))"
    kill -KILL -- "-$pid"
    wait "$pid" 2>/dev/null || true
    pid=""

    # The last size the harness reported before it died, and its file.
    read -r _ committed file < <(grep -a '^committed [0-9]* /' "$work/out" | tail -n 1)
    [ -f "$file" ] || fail "kill $i: no run file $file"
    size=$(stat -c %s "$file")
    [ "$size" -ge "$committed" ] || fail "kill $i: $file has $size bytes, $committed were written"
    rows_before=$(head -c "$committed" "$file" | tail -n +2 | wc -l)
    rows=$(whole_part "$file" | check_run /dev/stdin) || fail "kill $i: $file is damaged"
    [ "$rows" -ge "$rows_before" ] || lost=$((lost + rows_before - rows))
    if [ "$(tail -c 1 "$file" | od -An -tx1 | tr -d ' ')" != "0a" ]; then
        torn=$((torn + 1))
    fi
    total_rows=$((total_rows + rows))

    # The run made a file of its own and left the one before it alone (all of them are checked
    # once more at the end).
    [ -z "${sums[$file]+x}" ] || fail "kill $i: the run wrote into the earlier file $file"
    if [ -n "${previous:-}" ] && [ "$(sha1sum <"$previous")" != "${sums[$previous]}" ]; then
        fail "kill $i: $previous changed after its run"
    fi
    sums[$file]="$(sha1sum <"$file")"
    previous=$file
done

# The last run ends by itself: its file is whole and has a row for every tick.
start_harness --ticks 40
wait "$pid" || fail "the last run failed"
pid=""
file=$(grep -a '^committed [0-9]* /' "$work/out" | tail -n 1 | cut -d' ' -f3-)
[ -z "${sums[$file]+x}" ] || fail "the last run wrote into the earlier file $file"
[ "$(tail -c 1 "$file" | od -An -tx1 | tr -d ' ')" = "0a" ] || fail "the last run's file ends in a partial line"
rows=$(check_run "$file") || fail "the last run's file is damaged"
[ "$rows" -eq 40 ] || fail "the last run's file has $rows rows for 40 ticks"
for earlier in "${!sums[@]}"; do
    [ "$(sha1sum <"$earlier")" = "${sums[$earlier]}" ] || fail "$earlier changed after its run"
done
files=$(find "$work/lab/runs" -name '*.csv' | wc -l)
[ "$files" -eq $((kills + 1)) ] || fail "$files run files for $((kills + 1)) runs"

[ "$lost" -eq 0 ] || fail "$lost whole rows lost in $kills kills"
echo "PASS: $kills kills, $total_rows rows kept, 0 rows lost, $torn files ending in a partial line"

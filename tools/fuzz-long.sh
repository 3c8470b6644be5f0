#!/usr/bin/env bash
# Long run of one fuzz target: builds it as tools/fuzz.sh does, then runs it for the given number
# of executions (default 10 million) in chunks (default 1 million each) on one corpus that grows
# from chunk to chunk, and prints each chunk's executions, rate and peak memory and the total.
#
#   tools/fuzz-long.sh ini_document [runs] [runs-per-chunk]
#
# Chunks, because AddressSanitizer's memory grows slowly over millions of executions in one
# process; each chunk starts afresh with the corpus the earlier ones found and a seed of its own.
# The corpus lives under $VT_FUZZ_WORK/<target> (default ~/.cache/velmora-fuzz), so a stopped run
# goes on where it was when started again with the same arguments less what it has done; the
# repository is never written. Stops at the first failing chunk and names the input kept.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
name="${1:-}"
total="${2:-10000000}"
chunk="${3:-1000000}"
if [ -z "$name" ] || ! [ -d "$root/tests/fuzz/corpus/$name" ] \
    || ! [[ "$total" =~ ^[1-9][0-9]*$ ]] || ! [[ "$chunk" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 <target> [runs] [runs-per-chunk]; targets:" \
        "$(cd "$root/tests/fuzz/corpus" && echo *)" >&2
    exit 2
fi
build="$root/build-fuzz"
work="${VT_FUZZ_WORK:-$HOME/.cache/velmora-fuzz}/$name"

"$root/tools/setup.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVT_FUZZ=ON -DVT_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target "fuzz_$name" --parallel "$(nproc)"

mkdir -p "$work/corpus" "$work/artifacts"
if [ -z "$(ls -A "$work/corpus")" ]; then
    cp -r "$root/tests/fuzz/corpus/$name/." "$work/corpus/"
fi
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"

done_runs=0
index=0
while [ "$done_runs" -lt "$total" ]; do
    index=$((index + 1))
    runs=$((total - done_runs < chunk ? total - done_runs : chunk))
    log="$work/chunk-$index.log"
    status=0
    # libFuzzer's own limits bound each input; the outer one bounds a chunk that stops advancing.
    timeout --kill-after=30 86400 \
        "$build/tests/fuzz/fuzz_$name" "$work/corpus" -runs="$runs" -seed="$((RANDOM + index))" \
        -timeout=10 -rss_limit_mb=4096 -malloc_limit_mb=1024 -use_value_profile=1 \
        -print_final_stats=1 -artifact_prefix="$work/artifacts/" >"$log" 2>&1 || status=$?
    executed="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
    rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)"
    rss="$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -n 1)"
    done_runs=$((done_runs + ${executed:-0}))
    echo "fuzz_$name chunk $index: ${executed:-?} runs, ${rate:-?} exec/s, peak ${rss:-?} MB;" \
        "total ${done_runs}, corpus of $(find "$work/corpus" -type f | wc -l) inputs"
    if [ "$status" -ne 0 ] || [ -z "$executed" ]; then
        echo "fuzz_$name: FAILED (exit status $status) in chunk $index; log: $log"
        tail -n 60 "$log"
        grep -o 'Test unit written to .*' "$log" | sed 's/^Test unit written to /input kept: /' || true
        exit 1
    fi
done
echo "fuzz_$name: ${done_runs} runs in ${index} chunks: ok"

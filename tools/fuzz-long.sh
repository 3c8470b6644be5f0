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
work="${VT_FUZZ_WORK:-$HOME/.cache/velmora-fuzz}/$name"
# shellcheck source=tools/fuzz-common.sh
source "$root/tools/fuzz-common.sh"

if ! fuzz_have_clang; then
    echo "clang with libFuzzer not found: run tools/setup.sh" >&2
    exit 1
fi
fuzz_build_target "fuzz_$name"

mkdir -p "$work/corpus"
if [ -z "$(ls -A "$work/corpus")" ]; then
    cp -r "$root/tests/fuzz/corpus/$name/." "$work/corpus/"
fi

done_runs=0
index=0
while [ "$done_runs" -lt "$total" ]; do
    index=$((index + 1))
    runs=$((total - done_runs < chunk ? total - done_runs : chunk))
    log="$work/chunk-$index.log"
    status=0
    # A chunk that stops advancing is cut off after a day.
    fuzz_run "$name" "$work/corpus" "$work/artifacts" "$log" 86400 -runs="$runs" \
        -seed="$((RANDOM + index))" || status=$?
    executed="$(fuzz_stat "$log" number_of_executed_units)"
    rate="$(fuzz_stat "$log" average_exec_per_sec)"
    rss="$(fuzz_stat "$log" peak_rss_mb)"
    done_runs=$((done_runs + ${executed:-0}))
    echo "fuzz_$name chunk $index: ${executed:-?} runs, ${rate:-?} exec/s, peak ${rss:-?} MB;" \
        "total ${done_runs}, corpus of $(find "$work/corpus" -type f | wc -l) inputs"
    if [ "$status" -ne 0 ] || [ -z "$executed" ]; then
        echo "fuzz_$name: FAILED (exit status $status) in chunk $index; log: $log"
        fuzz_report_failure "$log"
        exit 1
    fi
done
echo "fuzz_$name: ${done_runs} runs in ${index} chunks: ok"

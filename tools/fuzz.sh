#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz/, then runs each one after the other for the given
# number of seconds (default 30) on a scratch copy of its seed corpus (tests/fuzz/corpus/<name>;
# the repository is never written). Further arguments go to every target as libFuzzer options,
# for instance -runs=10000000.
#
# Prints each target's executions and executions per second. Fails when a target crashes, leaks,
# hits undefined behaviour, breaks one of its checks, runs out of time or memory on one input, or
# does not finish in time. The inputs that failed are kept under $VT_FUZZ_ARTIFACTS (default
# /tmp/velmora-fuzz/<target>) and named in the output; replay one with
# `build/tests/fuzz/fuzz_<target> <input>` (plain build) or the same under build-fuzz/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-30}"
shift || true
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [seconds-per-target] [libFuzzer options...]" >&2
    exit 2
fi
build="$root/build-fuzz"
artifacts="${VT_FUZZ_ARTIFACTS:-${TMPDIR:-/tmp}/velmora-fuzz}"

"$root/tools/setup.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVT_FUZZ=ON -DVT_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_all --parallel "$(nproc)"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"

failed=()
for seeds in "$root"/tests/fuzz/corpus/*/; do
    name="$(basename "$seeds")"
    target="$build/tests/fuzz/fuzz_$name"
    corpus="$scratch/corpus-$name"
    log="$scratch/$name.log"
    mkdir -p "$artifacts/$name"
    cp -r "$seeds" "$corpus"

    status=0
    # The outer bound catches a target that hangs where libFuzzer's own limits cannot. One input
    # may take 10 s and allocate 1 GB at once; the process as a whole may grow to 4 GB, since
    # AddressSanitizer's bookkeeping grows slowly over millions of runs (1.6 GB after 4 million
    # runs of the INI target, whose plain build stays at 12 MB).
    timeout --kill-after=30 $((seconds + 300)) \
        "$target" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
        -malloc_limit_mb=1024 \
        -use_value_profile=1 -print_final_stats=1 -artifact_prefix="$artifacts/$name/" "$@" \
        >"$log" 2>&1 || status=$?

    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
    rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)"
    rss="$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -n 1)"
    inputs="$(find "$corpus" -type f | wc -l)"
    if [ "$status" -eq 0 ] && [ -n "$runs" ]; then
        echo "fuzz_$name: ${runs} runs, ${rate} exec/s, peak ${rss} MB, corpus of ${inputs} inputs: ok"
    else
        echo "fuzz_$name: FAILED (exit status $status) after ${runs:-unknown} runs"
        tail -n 60 "$log"
        grep -o 'Test unit written to .*' "$log" | sed 's/^Test unit written to /input kept: /' || true
        failed+=("fuzz_$name")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing failed: ${failed[*]} (inputs kept under $artifacts)"
    exit 1
fi
echo "fuzzing passed"

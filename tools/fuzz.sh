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
# Without clang and libFuzzer it says so in one line and passes.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-30}"
shift || true
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [seconds-per-target] [libFuzzer options...]" >&2
    exit 2
fi
artifacts="${VT_FUZZ_ARTIFACTS:-${TMPDIR:-/tmp}/velmora-fuzz}"
# shellcheck source=tools/fuzz-common.sh
source "$root/tools/fuzz-common.sh"

# tools/test.sh installs clang first (tools/setup.sh); without it there is nothing to run.
if ! fuzz_have_clang; then
    echo "clang with libFuzzer not found (packages clang, libclang-rt-14-dev): fuzzing skipped"
    exit 0
fi
fuzz_build_target fuzz_all

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

failed=()
for seeds in "$root"/tests/fuzz/corpus/*/; do
    name="$(basename "$seeds")"
    corpus="$scratch/corpus-$name"
    log="$scratch/$name.log"
    cp -r "$seeds" "$corpus"

    status=0
    fuzz_run "$name" "$corpus" "$artifacts/$name" "$log" $((seconds + 300)) \
        -max_total_time="$seconds" "$@" || status=$?
    runs="$(fuzz_stat "$log" number_of_executed_units)"
    rate="$(fuzz_stat "$log" average_exec_per_sec)"
    rss="$(fuzz_stat "$log" peak_rss_mb)"
    inputs="$(find "$corpus" -type f | wc -l)"
    if [ "$status" -eq 0 ] && [ -n "$runs" ]; then
        echo "fuzz_$name: ${runs} runs, ${rate} exec/s, peak ${rss} MB, corpus of ${inputs} inputs: ok"
    else
        echo "fuzz_$name: FAILED (exit status $status) after ${runs:-unknown} runs"
        fuzz_report_failure "$log"
        failed+=("fuzz_$name")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing failed: ${failed[*]} (inputs kept under $artifacts)"
    exit 1
fi
echo "fuzzing passed"

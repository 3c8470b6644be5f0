# Shared by tools/fuzz.sh and tools/fuzz-long.sh (sourced, with $root set): building the fuzz
# targets with clang in build-fuzz/ and running one of them.

fuzz_build="$root/build-fuzz"

# Whether clang and its libFuzzer runtime are there: links an empty fuzz target.
fuzz_have_clang() {
    command -v clang++ >/dev/null 2>&1 || return 1
    local probe status=0
    probe="$(mktemp)"
    echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' \
        | clang++ -x c++ -fsanitize=fuzzer - -o "$probe" >/dev/null 2>&1 || status=$?
    rm -f "$probe"
    return "$status"
}

# Configures build-fuzz/ and builds the given CMake target (fuzz_all or one fuzz_<name>).
fuzz_build_target() {
    CC=clang CXX=clang++ cmake -S "$root" -B "$fuzz_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVT_FUZZ=ON -DVT_BUILD_BENCH=OFF >/dev/null
    cmake --build "$fuzz_build" --target "$1" --parallel "$(nproc)"
}

# fuzz_run NAME CORPUS ARTIFACTS LOG OUTER-SECONDS [libFuzzer options...]: runs fuzz_NAME on the
# corpus folder, its output to LOG, failing inputs kept in ARTIFACTS; returns the target's status.
# One input may take 10 s and allocate 1 GB at once; the process may grow to 4 GB, as
# AddressSanitizer's holdings grow over millions of runs (close to 1 GB per million for the INI
# target). The outer bound catches a target that hangs where libFuzzer's own limits cannot.
fuzz_run() {
    local name="$1" corpus="$2" artifacts="$3" log="$4" outer="$5"
    shift 5
    mkdir -p "$artifacts"
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
        LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0" \
        timeout --kill-after=30 "$outer" \
        "$fuzz_build/tests/fuzz/fuzz_$name" "$corpus" -timeout=10 -rss_limit_mb=4096 \
        -malloc_limit_mb=1024 -use_value_profile=1 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$@" >"$log" 2>&1
}

# fuzz_stat LOG NAME: one of libFuzzer's final figures (number_of_executed_units,
# average_exec_per_sec, peak_rss_mb), empty when the run ended before printing them.
fuzz_stat() {
    sed -n "s/^stat::$2: *//p" "$1" | tail -n 1
}

# fuzz_report_failure LOG: the end of the run's output and the inputs it kept.
fuzz_report_failure() {
    tail -n 60 "$1"
    grep -o 'Test unit written to .*' "$1" | sed 's/^Test unit written to /input kept: /' || true
}

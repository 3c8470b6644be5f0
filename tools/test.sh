#!/usr/bin/env bash
# Builds the project and runs every test: the unit and widget tests, the whole-program test on a
# virtual display, the format check, the same tests again built with AddressSanitizer and
# UndefinedBehaviorSanitizer, and the fuzz targets for a short while. Installs what is missing
# first.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"

"$root/tools/build.sh" "$root/build"
cmake --build "$root/build" --target format-check
# clang-tidy, on the plain build's compile commands, at the lowest priority beside the tests:
# these mostly wait on the instrument simulator and the virtual display, one at a time.
nice -n 19 "$root/tools/tidy.sh" "$root/build" >"$root/build/tidy.log" 2>&1 &
tidy_pid=$!
tests=0
(cd "$root/build" && ctest --output-on-failure --parallel "$jobs") || tests=$?
tidy=0
wait "$tidy_pid" || tidy=$?
cat "$root/build/tidy.log"
[ "$tests" -eq 0 ] && [ "$tidy" -eq 0 ] || exit 1

"$root/tools/build.sh" "$root/build-sanitize" -DVT_SANITIZE=ON -DVT_BUILD_BENCH=OFF
(cd "$root/build-sanitize" && ctest --output-on-failure --parallel "$jobs")

# The fuzz targets, 30 seconds each, built with clang in build-fuzz/.
"$root/tools/fuzz.sh" 30

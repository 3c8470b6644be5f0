#!/usr/bin/env bash
# Long run of the kill test: builds the project, then kills the polling program a thousand times
# (or as often as given) at random moments and checks that no written row of its run files is
# lost or damaged. About a second a kill.
#   tools/kill-test.sh [BUILD] [KILLS] [SPEEDUP]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
"$root/tools/build.sh" "$build" >/dev/null
"$root/tests/soak/kill_poll.sh" "$build/tests/soak/soak_poll" "${2:-1000}" "${3:-50}"

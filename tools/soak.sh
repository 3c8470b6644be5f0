#!/usr/bin/env bash
# Long run of the poll cycle: builds the project, then lets the real main window poll the
# instrument simulator for 20,000 ticks at a hundred times the ordinary pace (about three
# minutes), sampling the resident size and the open file descriptors. Prints the samples and the
# figures; fails when descriptors leak, memory grows after the warm-up or readings stop.
# Options after the build folder go to the harness (see: build/tests/soak/soak_poll --help),
# for instance: tools/soak.sh build --ticks 50000
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
shift || true

"$root/tools/build.sh" "$build" >/dev/null

runtime="$(mktemp -d)"
trap 'rm -rf "$runtime"' EXIT
chmod 700 "$runtime"
QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" XDG_RUNTIME_DIR="$runtime" LC_ALL=C.UTF-8 \
    "$build/tests/soak/soak_poll" "$@"

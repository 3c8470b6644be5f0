#!/usr/bin/env bash
# Each program's --version names it, the version and the licence, without a display.
#
# Usage: check_version.sh VERSION PROGRAM...
set -euo pipefail
version=$1
shift
for program in "$@"; do
    name="$(basename "$program")"
    output="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --version 2>&1)" \
        || { echo "FAIL: $name --version failed: $output" >&2; exit 1; }
    first="$(printf '%s\n' "$output" | head -n 1)"
    [ "$first" = "$name (Velmora Thermo) $version" ] \
        || { echo "FAIL: $name --version begins: $first" >&2; exit 1; }
    for line in '^Copyright \(C\) 2026 Velmora Thermo developers$' '^License GPL-3\.0-or-later: '; do
        printf '%s\n' "$output" | grep -qE -- "$line" \
            || { echo "FAIL: $name --version lacks $line" >&2; exit 1; }
    done
done
echo "PASS: every --version names the licence"

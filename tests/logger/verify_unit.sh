#!/usr/bin/env bash
# Checks the example systemd unit of velmora-log with systemd-analyze verify: its keys, its
# sections and its command. The program path it names is that of an installed folder (or of the
# package), so the check runs on a copy that names the built program instead. Any warning fails
# the check; without systemd-analyze it is skipped (status 77).
#
# Usage: verify_unit.sh UNIT-FILE VELMORA-LOG
set -euo pipefail
unit=$1
program=$2
analyze="$(command -v systemd-analyze || true)"
if [ -z "$analyze" ]; then
    echo "SKIP: systemd-analyze is not installed"
    exit 77
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

name="$(basename "$unit")"
sed -E "s|^ExecStart=[^ ]*/velmora-log |ExecStart=$program |" "$unit" >"$work/$name"
grep -q "^ExecStart=$program " "$work/$name" || { echo "FAIL: no ExecStart to replace"; exit 1; }
# An instance of the template, as systemctl starts it.
ln -s "$name" "$work/${name/@/@ttyUSB0}"
set +e
output="$("$analyze" verify "$work/${name/@/@ttyUSB0}" 2>&1)"
status=$?
set -e
if [ "$status" -ne 0 ] || [ -n "$output" ]; then
    echo "FAIL: systemd-analyze verify (status $status):"
    echo "$output"
    exit 1
fi
echo "PASS: $name verifies"

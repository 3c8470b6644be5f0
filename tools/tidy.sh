#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy over the project's own sources, two at a time,
# on the compile commands of a build folder (build/ or the folder given as $1; build it first).
# Generated files (moc, resources) are not checked, nor Qt's headers. Fails on any finding.
# Without clang-tidy it says so and passes; tools/test.sh installs it first (tools/setup.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
tidy="$(command -v clang-tidy || command -v clang-tidy-14 || true)"
if [ -z "$tidy" ]; then
    echo "clang-tidy not found: static checks skipped (tools/setup.sh installs it)"
    exit 0
fi
if [ ! -f "$build/compile_commands.json" ]; then
    echo "$build/compile_commands.json is missing: build first (tools/build.sh)" >&2
    exit 1
fi

# The project's sources as the build compiles them; what lies in the build folder is generated.
mapfile -t sources < <(grep -o '"file": *"[^"]*"' "$build/compile_commands.json" \
    | sed -E 's/^"file": *"(.*)"$/\1/' | grep "^$root/" | grep -v "^$build/" | grep '\.cpp$' \
    | sort -u)
echo "clang-tidy: ${#sources[@]} files"
start=$SECONDS
set +e
printf '%s\0' "${sources[@]}" \
    | xargs -0 -n 1 -P 2 "$tidy" -p "$build" --quiet 2>&1 \
    | { grep -v -E '^[0-9]+ warnings? generated\.$' || true; }
status=${PIPESTATUS[1]}
set -e
echo "clang-tidy: $((SECONDS - start)) s"
if [ "$status" -ne 0 ]; then
    echo "clang-tidy found problems (see above)" >&2
    exit 1
fi

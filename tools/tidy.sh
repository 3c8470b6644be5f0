#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy over the project's own sources, two at a time,
# on the compile commands of a build folder (build/ or the folder given as $1; build it first).
# Generated files (moc, resources) are not checked, nor Qt's headers. Fails on any finding.
# Without clang-tidy it says so and passes; tools/test.sh installs it first (tools/setup.sh).
#
# A file that passed is remembered under $VT_TIDY_CACHE (default ~/.cache/velmora-tidy) by a
# digest of all its verdict depends on (tools/tidy-keys.py: clang-tidy's version, .clang-tidy,
# the compile command and the file as the preprocessor expands it, headers and all), and is not
# checked again until one of them changes. VT_TIDY_CACHE=off checks every file.
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
start=$SECONDS
cache="${VT_TIDY_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/velmora-tidy}"
# Each file to check, and where its pass is remembered ("-": nowhere).
jobs=()
declare -A keyOf=()
if [ "$cache" != off ] && command -v clang++ >/dev/null && mkdir -p "$cache" 2>/dev/null; then
    while IFS=$'\t' read -r key file; do
        keyOf["$file"]="$key"
    done < <(printf '%s\n' "${sources[@]}" | python3 "$root/tools/tidy-keys.py" "$root" "$build" "$tidy")
fi
for file in "${sources[@]}"; do
    key="${keyOf[$file]:-}"
    if [ -z "$key" ]; then
        jobs+=("$file" -)
    elif [ ! -e "$cache/$key" ]; then
        jobs+=("$file" "$cache/$key")
    fi
done
echo "clang-tidy: ${#sources[@]} files, $(( ${#jobs[@]} / 2 )) changed since they last passed"
if [ "${#jobs[@]}" -eq 0 ]; then
    # printf would still hand xargs one empty name, which clang-tidy takes for the folder.
    echo "clang-tidy: $((SECONDS - start)) s"
    exit 0
fi
set +e
# shellcheck disable=SC2016 # expanded by the inner shell
printf '%s\0' "${jobs[@]}" \
    | xargs -0 -r -n 2 -P 2 bash -c '"$0" -p "$1" --quiet "$2" && { [ "$3" = - ] || touch "$3"; }' "$tidy" "$build" 2>&1 \
    | { grep -v -E '^[0-9]+ warnings? generated\.$' || true; }
status=${PIPESTATUS[1]}
set -e
echo "clang-tidy: $((SECONDS - start)) s"
if [ "$status" -ne 0 ]; then
    echo "clang-tidy found problems (see above)" >&2
    exit 1
fi

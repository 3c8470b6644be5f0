#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing the program need, when any of
# them is missing. Safe to run again: it installs nothing when everything is there.
set -euo pipefail

packages=(
    g++ make cmake                       # compiler and build
    qt6-base-dev                         # Qt 6 Core, Gui, Widgets, Test and their tools
    libbenchmark-dev                     # the benchmarks under bench/
    clang-format                         # the format check
    clang libclang-rt-14-dev             # the fuzz targets (libFuzzer and the sanitizers)
    clang-tidy                           # the static checks (tools/tidy.sh)
    fonts-dejavu-core fonts-dejavu-extra # the faces that stand in for the program's fonts
    xvfb xauth openbox xdotool xclip x11-utils  # the whole-program tests on a virtual display
    desktop-file-utils                   # the install test checks the menu entry
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y --no-install-recommends "${missing[@]}"

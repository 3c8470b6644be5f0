#!/usr/bin/env bash
# Installs the Debian packages the project needs, when any of them is missing. Safe to run again:
# it installs nothing when everything is there.
#
#   tools/setup.sh       everything: building, running and all the tests (tools/test.sh)
#   tools/setup.sh run   only what building and running the program need (tools/run.sh)
set -euo pipefail

run_packages=(
    g++ make cmake                       # compiler and build
    qt6-base-dev                         # Qt 6 Core, Gui, Widgets, Test and their tools
    qt6-svg-dev                          # the run history's vector pictures
    fonts-dejavu-core fonts-dejavu-extra # the faces that stand in for the program's fonts
    xvfb xauth openbox x11-utils         # a virtual display with a window manager, where there is no desktop
    libmosquitto-dev pkg-config          # the MQTT client library the publisher is built on
)
test_packages=(
    libbenchmark-dev                     # the benchmarks under bench/
    clang-format                         # the format check
    clang libclang-rt-14-dev             # the fuzz targets (libFuzzer and the sanitizers)
    clang-tidy                           # the static checks (tools/tidy.sh)
    xdotool xclip                        # the whole-program tests drive the windows and the clipboard
    desktop-file-utils                   # the install and package tests check the menu entry
    dpkg-dev lintian                     # the Debian package: its dependencies, its check
    python3-pandas                       # the guide's recipe for reading run files
    python3-matplotlib                   # the run history's benchmark plots the same run with it
    groff-base man-db                    # the manual pages' check
    fuse3 libfuse3-dev pkg-config        # a file system that stalls on demand, under the run log
    dbus-daemon dbus-bin dunst           # the alarms' test: a private session bus with a real notification server
    mosquitto mosquitto-clients          # a real MQTT broker, started by the publisher's tests
    openssl                              # the certificates of the publisher's TLS tests
)

case "${1:-all}" in
run) packages=("${run_packages[@]}") ;;
all) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
*)
    echo "usage: $0 [run|all]" >&2
    exit 2
    ;;
esac

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

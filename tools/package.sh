#!/usr/bin/env bash
# Builds the Debian package of Velmora Thermo: configures and builds build/ (or the folder given
# as $1) as tools/build.sh does, optimised and so with Debian's hardening flags
# (packaging/Hardening.cmake), then lets CPack lay the programs out in /usr and write
# velmora-thermo_<version>_amd64.deb into that folder. Install it with
#   sudo apt install ./build/velmora-thermo_<version>_amd64.deb
# The build folder keeps working as before: "cmake --install" still makes the program folder.
#
# Usage: tools/package.sh [BUILD-FOLDER]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"

"$root/tools/build.sh" "$build"
cmake --build "$build" --target package
ls "$build"/velmora-thermo_*.deb

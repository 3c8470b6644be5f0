#!/usr/bin/env bash
# Installs Velmora Thermo for the current user: builds it (installing the Debian packages it
# needs first), lays out the program folder (default ~/velmora-thermo) and puts the program into
# the desktop's menu. The folder is the user's own: the settings file is written there, beside
# the program. Uninstall with <folder>/uninstall.sh.
#
# Usage: tools/install.sh [FOLDER]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
folder="${1:-$HOME/velmora-thermo}"
case "$folder" in
/*) ;;
*) folder="$PWD/$folder" ;;
esac

"$root/tools/build.sh" "$root/build"
cmake --install "$root/build" --prefix "$folder" --strip >/dev/null
"$folder/add-to-menu.sh"
echo "Installed in $folder; start it from the menu or with $folder/velmora-thermo"
echo "Uninstall with: $folder/uninstall.sh"

#!/usr/bin/env bash
# Removes Velmora Thermo for the current user: the menu entry, the icons and the program's files
# in this folder. The settings file VelmoraThermo.ini and the run files in runs/ are the user's:
# they stay, and so does the folder while it holds them.
set -euo pipefail
folder="$(cd "$(dirname "$0")" && pwd)"
data="${XDG_DATA_HOME:-$HOME/.local/share}"

rm -f "$data/applications/velmora-thermo.desktop" "$data/applications/velmora-lab.desktop"
rm -f "$data"/icons/hicolor/*/apps/velmora-thermo.png
if command -v update-desktop-database >/dev/null && [ -d "$data/applications" ]; then
    update-desktop-database -q "$data/applications" 2>/dev/null || true
fi

[ -x "$folder/velmora-thermo" ] || { echo "No program in $folder" >&2; exit 1; }
rm -f "$folder/velmora-thermo" "$folder/velmora-log" "$folder/velmora-lab" "$folder/instrument-sim" \
    "$folder/velmora-log@.service" "$folder/velmora-thermo.desktop" "$folder/velmora-lab.desktop" \
    "$folder/README.md" "$folder/add-to-menu.sh" \
    "$folder"/.velmora-thermo.desktop.* "$folder"/.velmora-lab.desktop.*
rm -rf "$folder/icons" "$folder/screenshots"
rm -f "$folder/uninstall.sh"
if [ -e "$folder/VelmoraThermo.ini" ]; then
    echo "Velmora Thermo is removed; its settings stay in $folder/VelmoraThermo.ini"
    [ -e "$folder/runs" ] && echo "and its run files in $folder/runs"
elif [ -e "$folder/runs" ]; then
    echo "Velmora Thermo is removed; its run files stay in $folder/runs"
else
    rmdir "$folder" 2>/dev/null || true
    echo "Velmora Thermo is removed."
fi

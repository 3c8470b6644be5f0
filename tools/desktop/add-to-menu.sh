#!/usr/bin/env bash
# Puts Velmora Thermo into the desktop's menu for the current user: its desktop entry, which
# starts the program in this folder, and its icon in the icon theme. Run it again after moving
# the folder. Nothing outside the user's own data folder is touched.
#
# add-to-menu.sh --entry-only   only points the folder's own velmora-thermo.desktop at the folder
set -euo pipefail
folder="$(cd "$(dirname "$0")" && pwd)"
data="${XDG_DATA_HOME:-$HOME/.local/share}"
entry="$folder/velmora-thermo.desktop"

[ -x "$folder/velmora-thermo" ] || { echo "No program in $folder" >&2; exit 1; }
case "$folder" in
*$'\n'* | *$'\r'*) echo "A folder name with a line break cannot go into a desktop entry" >&2; exit 1 ;;
esac

# A string value of a desktop entry writes a backslash as two.
string_value() {
    local s=$1
    printf '%s' "${s//\\/\\\\}"
}
# Exec quotes the path and escapes the characters the quoting rules name, then the result is
# written as a string value.
exec_value() {
    local s=$1
    s=${s//\\/\\\\}
    s=${s//\"/\\\"}
    s=${s//\`/\\\`}
    s=${s//\$/\\\$}
    printf '"%s"' "$(string_value "$s")"
}

# Points Exec, TryExec and Path of the folder's entry at the folder.
program="$folder/velmora-thermo"
filled="$(mktemp "$folder/.velmora-thermo.desktop.XXXXXX")"
while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in
    Exec=*) printf 'Exec=%s\n' "$(exec_value "$program")" ;;
    TryExec=*) printf 'TryExec=%s\n' "$(string_value "$program")" ;;
    Path=*) printf 'Path=%s\n' "$(string_value "$folder")" ;;
    *) printf '%s\n' "$line" ;;
    esac
done <"$entry" >"$filled"
chmod 644 "$filled"
mv "$filled" "$entry"
[ "${1:-}" = "--entry-only" ] && exit 0

mkdir -p "$data/applications"
cp "$entry" "$data/applications/velmora-thermo.desktop"
for icon in "$folder"/icons/hicolor/*/apps/velmora-thermo.png; do
    size="$(basename "$(dirname "$(dirname "$icon")")")"
    mkdir -p "$data/icons/hicolor/$size/apps"
    cp "$icon" "$data/icons/hicolor/$size/apps/velmora-thermo.png"
done

# Desktops that keep caches pick the new entry and icon up at once; the others at next login.
if command -v update-desktop-database >/dev/null; then
    update-desktop-database -q "$data/applications" 2>/dev/null || true
fi
if command -v gtk-update-icon-cache >/dev/null && [ -f "$data/icons/hicolor/index.theme" ]; then
    gtk-update-icon-cache -q -t "$data/icons/hicolor" 2>/dev/null || true
fi
echo "Velmora Thermo is in the desktop's menu (Science, Education): $data/applications/velmora-thermo.desktop"

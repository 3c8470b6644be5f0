#!/usr/bin/env bash
# Puts Velmora Thermo into the desktop's menu for the current user: the desktop entries of the
# window and of the lab overview, which start the programs in this folder, and the icon in the
# icon theme. Run it again after moving the folder. Nothing outside the user's own data folder
# is touched.
#
# add-to-menu.sh --entry-only   only points the folder's own entries at the folder
set -euo pipefail
folder="$(cd "$(dirname "$0")" && pwd)"
data="${XDG_DATA_HOME:-$HOME/.local/share}"

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

# Points Exec, TryExec and Path of the folder's entry for program $1 at the folder.
fill_entry() {
    local program="$folder/$1" entry="$folder/$1.desktop" filled line
    filled="$(mktemp "$folder/.$1.desktop.XXXXXX")"
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
}

# The lab overview's entry is there when the overview is.
programs=(velmora-thermo)
[ -x "$folder/velmora-lab" ] && [ -f "$folder/velmora-lab.desktop" ] && programs+=(velmora-lab)
for program in "${programs[@]}"; do
    fill_entry "$program"
done
[ "${1:-}" = "--entry-only" ] && exit 0

mkdir -p "$data/applications"
for program in "${programs[@]}"; do
    cp "$folder/$program.desktop" "$data/applications/$program.desktop"
done
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
for program in "${programs[@]}"; do
    echo "In the desktop's menu (Science, Education): $data/applications/$program.desktop"
done

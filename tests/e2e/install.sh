#!/usr/bin/env bash
# Installs the program into a temporary folder as its user would, checks the folder and the menu
# entry, starts the installed program against the installed simulator and closes it (the
# settings are written beside it), then uninstalls: the menu entry and icons go, the settings
# file stays.
#
# Usage: install.sh BUILD-FOLDER
source "$(dirname "$0")/session.sh"
build=$1
# A folder name with a blank, as a user's may have.
prefix="$work/my programs/velmora-thermo"
export HOME="$work/home"
unset XDG_DATA_HOME
menu="$HOME/.local/share"

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "cmake --install failed"

for file in velmora-thermo velmora-log velmora-lab instrument-sim add-to-menu.sh uninstall.sh; do
    [ -x "$prefix/$file" ] || fail "$file is not an executable in the program folder"
done
for file in velmora-thermo.desktop velmora-lab.desktop velmora-log@.service README.md icons/hicolor/32x32/apps/velmora-thermo.png \
    icons/hicolor/128x128/apps/velmora-thermo.png; do
    [ -s "$prefix/$file" ] || fail "$file is missing from the program folder"
done
# Every picture the guide shows is there.
pictures=$(grep -o '](screenshots/[^)]*)' "$prefix/README.md" | sed 's/^](//; s/)$//' || true)
[ -n "$pictures" ] || fail "the installed guide shows no pictures"
for picture in $pictures; do
    [ -s "$prefix/$picture" ] || fail "the guide shows $picture, which is not installed"
done
# A PNG's width and height are the two big-endian words at byte 16.
[ "$(od -An -tx1 -j16 -N8 "$prefix/icons/hicolor/128x128/apps/velmora-thermo.png" | tr -d ' \n')" \
    = 0000008000000080 ] || fail "the large icon is not 128 x 128"

# The command-line logger starts from the folder without a display.
version="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/velmora-log" --version)" \
    || fail "the installed velmora-log did not start without a display"
[[ "$version" == "velmora-log (Velmora Thermo) "* ]] || fail "velmora-log --version said: $version"

"$prefix/add-to-menu.sh" >/dev/null || fail "add-to-menu.sh failed"
entry="$menu/applications/velmora-thermo.desktop"
desktop-file-validate "$prefix/velmora-thermo.desktop" || fail "the folder's menu entry is not valid"
desktop-file-validate "$entry" || fail "the menu entry is not valid"
grep -qx "Exec=\"$prefix/velmora-thermo\"" "$entry" || fail "Exec does not name the program: $(grep ^Exec "$entry")"
for key in 'Name=Velmora Thermo' 'Name\[ru\]=.+' 'Comment=.+' 'Categories=Science;Physics;Education;' \
    'Terminal=false' 'Icon=velmora-thermo'; do
    grep -qxE "$key" "$entry" || fail "the menu entry lacks $key"
done
lab_entry="$menu/applications/velmora-lab.desktop"
desktop-file-validate "$lab_entry" || fail "the lab overview's menu entry is not valid"
grep -qx "Exec=\"$prefix/velmora-lab\"" "$lab_entry" || fail "Exec does not name the overview"
for size in 32x32 128x128; do
    [ -s "$menu/icons/hicolor/$size/apps/velmora-thermo.png" ] || fail "no $size icon in the theme"
done

# The installed program polls the installed simulator and writes its settings beside itself.
start_display
start_simulator "$prefix/instrument-sim" --seed 5
printf '[Options]\r\nPort=%s\r\n' "$work/instrument" >"$prefix/VelmoraThermo.ini"
# Started as the menu starts it: the entry's command line, from another working folder.
command_line="$(sed -n 's/^Exec=//p' "$entry")"
(cd "$work" && XDG_RUNTIME_DIR="$work" eval "exec $command_line" </dev/null >"$work/program.log" 2>&1) &
app_pid=$!
take_main_window
click_tool_button 1
wait_until 30 "[ \$(grep -c '^poll' '$work/instrument.log') -ge 2 ]"
click_tool_button 2
close_program || fail "the program ended with status $?"
grep -q $'^ShowSignalFlag=1\r$' "$prefix/VelmoraThermo.ini" || fail "the settings were not written beside the program"
grep -q "^Port=$work/instrument"$'\r$' "$prefix/VelmoraThermo.ini" || fail "the port was lost"
[ ! -e "$work/VelmoraThermo.ini" ] || fail "the settings went to the working folder"

"$prefix/uninstall.sh" >/dev/null || fail "uninstall.sh failed"
[ ! -e "$entry" ] && [ ! -e "$lab_entry" ] || fail "a menu entry is still there"
[ -z "$(find "$menu/icons" -name velmora-thermo.png)" ] || fail "an icon is still there"
# The settings and the run the program just logged are the user's: they stay, and only they.
[ "$(ls -A "$prefix" | tr '\n' ' ')" = "VelmoraThermo.ini runs " ] \
    || fail "uninstalling left: $(ls -A "$prefix" | tr '\n' ' ')"
[ -n "$(find "$prefix/runs" -name '*.csv')" ] || fail "the run file is gone"
echo "PASS: installed, in the menu, ran from the folder, uninstalled keeping the settings and the runs"

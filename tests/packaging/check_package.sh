#!/usr/bin/env bash
# Builds the Debian package from the build folder with CPack (nothing is compiled: the build's
# programs are installed, stripped, into a staging folder) and checks it: every file it must
# hold, owned by root with sane modes; the links in /usr/bin and the settings link; the menu
# entry; the dependencies found from the linked libraries; the description's dialout note;
# manual pages and changelog compressed as Debian wants; and lintian finds no error and no sign
# of a program built without Debian's hardening flags. Without dpkg-deb or lintian, or when the
# build did not take the hardening flags (HARDENED is not ON), it is skipped (status 77).
#
# Usage: check_package.sh BUILD-FOLDER HARDENED
set -euo pipefail
build=$1
[ "${2:-OFF}" = ON ] || { echo "SKIP: the build has no hardening flags (see packaging/Hardening.cmake)"; exit 77; }
for tool in cpack dpkg-deb dpkg-shlibdeps lintian desktop-file-validate; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

(cd "$build" && cpack --config CPackConfig.cmake -B "$work") >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
debs=("$work"/velmora-thermo_*_amd64.deb)
[ ${#debs[@]} -eq 1 ] && [ -s "${debs[0]}" ] || fail "no single package: ${debs[*]}"
deb=${debs[0]}

# Every file and link of the package: the path, then the link's target for a link.
dpkg-deb --contents "$deb" >"$work/contents"
listing="$(awk '{ path = $6; sub(/^\./, "", path); if ($1 ~ /^l/) path = path " -> " $8; print path }' \
    "$work/contents" | grep -v '/$' | sort)"
expected="$(sort <<'LIST'
/usr/bin/velmora-lab -> ../lib/velmora-thermo/velmora-lab
/usr/bin/velmora-log -> ../lib/velmora-thermo/velmora-log
/usr/bin/velmora-thermo -> ../lib/velmora-thermo/velmora-thermo
/usr/bin/velmora-thermo-sim -> ../lib/velmora-thermo/instrument-sim
/usr/lib/velmora-thermo/VelmoraThermo.ini -> /etc/velmora-thermo/VelmoraThermo.ini
/usr/lib/velmora-thermo/instrument-sim
/usr/lib/velmora-thermo/velmora-lab
/usr/lib/velmora-thermo/velmora-log
/usr/lib/velmora-thermo/velmora-thermo
/usr/share/applications/velmora-lab.desktop
/usr/share/applications/velmora-thermo.desktop
/usr/share/doc/velmora-thermo/README.md
/usr/share/doc/velmora-thermo/changelog.Debian.gz
/usr/share/doc/velmora-thermo/copyright
/usr/share/doc/velmora-thermo/examples/velmora-log@.service
/usr/share/doc/velmora-thermo/screenshots/about.png
/usr/share/doc/velmora-thermo/screenshots/history-window.png
/usr/share/doc/velmora-thermo/screenshots/keypad.png
/usr/share/doc/velmora-thermo/screenshots/limits-dialog.png
/usr/share/doc/velmora-thermo/screenshots/main-window.png
/usr/share/doc/velmora-thermo/screenshots/parameters-control.png
/usr/share/doc/velmora-thermo/screenshots/parameters-display.png
/usr/share/doc/velmora-thermo/screenshots/parameters-look.png
/usr/share/icons/hicolor/128x128/apps/velmora-thermo.png
/usr/share/icons/hicolor/32x32/apps/velmora-thermo.png
/usr/share/icons/hicolor/64x64/apps/velmora-thermo.png
/usr/share/man/man1/velmora-lab.1.gz
/usr/share/man/man1/velmora-log.1.gz
/usr/share/man/man1/velmora-thermo-sim.1.gz
/usr/share/man/man1/velmora-thermo.1.gz
LIST
)"
[ "$listing" = "$expected" ] || fail "the package's files differ from the list:
$(diff <(echo "$expected") <(echo "$listing") || true)"

# Owned by root; programs and folders 0755, other files 0644; nothing but links else.
bad_modes="$(awk '$2 != "root/root" ||
    ($1 ~ /^d/ && $1 != "drwxr-xr-x") ||
    ($1 ~ /^-/ && $1 != "-rw-r--r--" && $1 != "-rwxr-xr-x") { print }' "$work/contents")"
[ -z "$bad_modes" ] || fail "owner or mode is off: $bad_modes"
programs="$(awk '$1 == "-rwxr-xr-x" { print $6 }' "$work/contents" | sort | tr '\n' ' ')"
[ "$programs" = "./usr/lib/velmora-thermo/instrument-sim ./usr/lib/velmora-thermo/velmora-lab ./usr/lib/velmora-thermo/velmora-log ./usr/lib/velmora-thermo/velmora-thermo " ] \
    || fail "executable files: $programs"

# The fields: the libraries dpkg-shlibdeps found, and the platform plugins and fonts the window
# needs besides.
depends="$(dpkg-deb --field "$deb" Depends)"
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libqt6dbus6 \
    qt6-qpa-plugins fonts-dejavu-core; do
    tr ',' '\n' <<<"$depends" | sed -E 's/^ +//; s/[ (].*//' | grep -qx -- "$library" \
        || fail "Depends lacks $library: $depends"
done
[ "$(dpkg-deb --field "$deb" Section)" = science ] || fail "the section is not science"
[ "$(dpkg-deb --field "$deb" Priority)" = optional ] || fail "the priority is not optional"
[ -n "$(dpkg-deb --field "$deb" Maintainer)" ] || fail "no maintainer"
description="$(dpkg-deb --field "$deb" Description | tr -s ' \n' '  ')"
[[ "$description" == *"group dialout"* && "$description" == *"sudo adduser USER dialout"* ]] \
    || fail "the description does not tell about the dialout group: $description"
[ -z "$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -E 'preinst|postinst|prerm|postrm')" ] \
    || fail "the package has maintainer scripts"

mkdir "$work/root"
dpkg-deb --extract "$deb" "$work/root"
root="$work/root"
for program in velmora-thermo velmora-lab; do
    entry="$root/usr/share/applications/$program.desktop"
    desktop-file-validate --no-hints "$entry" || fail "the menu entry of $program is not valid"
    grep -qx "Exec=$program" "$entry" || fail "the menu entry does not start $program from the PATH"
    ! grep -q '^Path=' "$entry" || fail "the menu entry of $program names a working folder"
done
# gzip -9n: no file name and no time in the header (bytes 4 to 8: flags and time are zero).
for file in usr/share/man/man1/velmora-thermo.1.gz usr/share/man/man1/velmora-log.1.gz \
    usr/share/man/man1/velmora-lab.1.gz \
    usr/share/man/man1/velmora-thermo-sim.1.gz usr/share/doc/velmora-thermo/changelog.Debian.gz; do
    gzip -t "$root/$file" || fail "$file is no gzip file"
    [ "$(od -An -tx1 -j3 -N5 "$root/$file" | tr -d ' \n')" = 0000000000 ] \
        || fail "$file carries a name or a time"
done
for program in velmora-thermo velmora-log velmora-lab instrument-sim; do
    readelf -S "$root/usr/lib/velmora-thermo/$program" | grep -q '\.debug_info' \
        && fail "$program is not stripped"
done
grep -qx 'License: GPL-3+' "$root/usr/share/doc/velmora-thermo/copyright" \
    || fail "the copyright file names no GPL-3+"
grep -q '^ExecStart=/usr/bin/velmora-log ' \
    "$root/usr/share/doc/velmora-thermo/examples/velmora-log@.service" \
    || fail "the example unit does not start /usr/bin/velmora-log"
# The installed guide shows its pictures from beside it.
pictures="$(grep -o '](screenshots/[^)]*)' "$root/usr/share/doc/velmora-thermo/README.md" \
    | sed 's/^](//; s/)$//' || true)"
[ -n "$pictures" ] || fail "the packaged guide shows no pictures"
for picture in $pictures; do
    [ -s "$root/usr/share/doc/velmora-thermo/$picture" ] || fail "the guide's $picture is missing"
done

# lintian: no error, and no hardening-* tag (those are information, shown with -I, each of them
# on every program). Its other findings are printed for the log.
lintian --fail-on error --pedantic --display-info --tag-display-limit 0 "$deb" 2>&1 \
    | tee "$work/lintian.log" || fail "lintian found errors"
! grep -E '^[A-Z]: [^ ]+: hardening-' "$work/lintian.log" \
    || fail "lintian finds programs built without the hardening flags"
echo "PASS: $(basename "$deb"), $(stat -c %s "$deb") bytes, $(wc -l <<<"$listing") files and links"

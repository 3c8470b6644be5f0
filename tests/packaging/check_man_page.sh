#!/usr/bin/env bash
# Checks one manual page against its program: groff and man find nothing to warn about, the
# options of OPTIONS are exactly those the program's --help lists (each as a tag of its own),
# and the exit codes of EXIT STATUS are those --help gives, where it gives any. Without groff
# and man it is skipped (status 77).
#
# Usage: check_man_page.sh PAGE PROGRAM
set -euo pipefail
page=$1
program=$2
fail() {
    echo "FAIL: $(basename "$page"): $*" >&2
    exit 1
}
if ! command -v groff >/dev/null || ! command -v man >/dev/null; then
    echo "SKIP: groff or man is not installed"
    exit 77
fi

warnings="$(groff -man -ww -z "$page" 2>&1)"
[ -z "$warnings" ] || fail "groff warns: $warnings"
warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)"
[ -z "$warnings" ] || fail "man warns: $warnings"

help="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --help)" \
    || fail "$program --help failed"
# An option line of --help starts with two blanks and a dash; the option names come before the
# blanks that start their description ("  -q, --quiet        print ...").
help_options="$(printf '%s\n' "$help" | grep -E '^  -' | sed -E 's/^  //; s/  .*//' \
    | grep -oE -- '--?[a-z][a-z-]*' | sort -u)"
[ -n "$help_options" ] || fail "$program --help lists no option"

# The tags of a section: the line after each .TP up to the next section, in the page's source,
# its escaped dashes made plain.
tags() {
    awk -v section="$1" '
        /^\.SH / { inside = ($0 == ".SH " section) ; next }
        inside && tagged { print; tagged = 0; next }
        inside && /^\.TP/ { tagged = 1 }' "$page" | sed 's/\\-/-/g'
}
page_options="$(tags OPTIONS | grep -oE -- '(^|[ "])--?[a-z][a-z-]*' | sed 's/^[ "]//' | sort -u)"
if [ "$help_options" != "$page_options" ]; then
    echo "--help lists:"; printf '%s\n' "$help_options"
    echo "the page's OPTIONS:"; printf '%s\n' "$page_options"
    fail "the options of the page and of --help differ"
fi

# "Exit status:" of --help, one "  N  meaning" line a code.
help_codes="$(printf '%s\n' "$help" | sed -n '/^Exit status:/,/^$/p' \
    | grep -oE '^  [0-9]+ ' | tr -d ' ' | sort -u || true)"
if [ -n "$help_codes" ]; then
    page_codes="$(tags 'EXIT STATUS' | sed -nE 's/^\.B ([0-9]+)$/\1/p' | sort -u)"
    [ "$help_codes" = "$page_codes" ] \
        || fail "exit codes differ: --help gives $(echo $help_codes), the page $(echo $page_codes)"
fi
echo "PASS: $(basename "$page") has every option of --help and no warning"

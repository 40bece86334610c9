#!/bin/sh
# Runs Tarnwick's programs under 64-bit Wine on a virtual display and checks
# what a user would see: the main window, its data folder line, -icon, and
# the uninstaller's No and Yes answers: what Yes removes (every payload file
# of product.json, the links, the uninstall key, the settings entry, the
# folder when it is empty), what it keeps (the user's files, a group that
# holds one of the user's), the copies it closes and what it says last.
#
#   wine_smoke.sh <folder holding x86_64 tarnwick.exe> <the engine's x86_64 kluninst.exe>
#
# Needs wine64, xvfb-run and x86_64-w64-mingw32-g++-posix (all brought by
# scripts/install-deps, which checks these very paths). The shipped programs
# are 32-bit; the x86_64 builds of the same sources stand in for them here
# because only 64-bit Wine runs on the build machines.
set -eu

if [ $# -ne 2 ] || [ ! -f "$1/tarnwick.exe" ] || [ ! -f "$2" ]; then
    echo "usage: $0 <folder with tarnwick.exe> <kluninst.exe>" >&2
    exit 2
fi
built=$(cd "$1" && pwd)
uninstaller_built=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s '-screen 0 1024x768x24' "$0" "$@"
fi

WINE=${WINE64:-/usr/lib/wine/wine64}
WINESERVER=/usr/lib/wine/wineserver
work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    "$WINESERVER" -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

x86_64-w64-mingw32-g++-posix -std=c++17 -Os -Wall -Wextra -Werror -static \
    -static-libgcc -static-libstdc++ -s "$here/probe.cpp" -o "$work/probe.exe" \
    -lshell32 -ladvapi32
"$WINE" wineboot -i >/dev/null 2>&1
"$WINESERVER" -w

app="$WINEPREFIX/drive_c/Tarnwick Test"
uninstaller='C:\Tarnwick Test\kluninst.exe'
ini="$WINEPREFIX/drive_c/windows/tarnwick.ini"
# Every file the installer writes, as the product description lists them,
# and the engine's uninstaller that the build adds last.
files="$(python3 -c 'import json, sys
print("\n".join(e["name"] for e in json.load(open(sys.argv[1]))["payload"]))' "$here/../product.json")
kluninst.exe"
removed='Tarnwick has been removed from your computer.'
kept='\n\nYour own files in C:\Tarnwick Test were kept.'
in_use='\n\nSome of its files are in use. Windows will remove them when it restarts.'
failures=0

check() {
    name=$1
    shift
    if "$@"; then
        echo "ok   $name"
    else
        echo "FAIL $name"
        failures=$((failures + 1))
    fi
}

probe() {
    "$WINE" "$work/probe.exe" "$@"
}

install_copy() {
    rm -rf "$app"
    mkdir -p "$app"
    for f in $files; do
        if [ "$f" = kluninst.exe ]; then cp "$uninstaller_built" "$app/"
        elif [ -f "$built/$f" ]; then cp "$built/$f" "$app/"; else echo "stand-in for $f" > "$app/$f"; fi
    done
    [ "${1:-}" = bare ] || echo "the user's own page" > "$app/my-page.txt"
}

all_present() {
    for f in $files my-page.txt; do
        [ -f "$app/$f" ] || { echo "missing $f"; return 1; }
    done
}

only_users_files_left() {
    left=$(ls -A "$app")
    [ "$left" = my-page.txt ] || { echo "left in the folder: $left"; return 1; }
}

only_held_and_users_left() {
    left=$(ls -A "$app" | tr '\n' ' ')
    [ "$left" = "help.htm my-page.txt " ] || { echo "left in the folder: $left"; return 1; }
}

folder_gone() {
    [ ! -e "$app" ] || { echo "left: $(ls -A "$app")"; return 1; }
}

install_copy
exe="$app/tarnwick.exe"
rm -f "$ini"
check "no settings file: folder not recorded" \
    probe window "$exe" "Data folder: (not recorded)" normal

printf '[Options]\r\ndataDir=C:\\Program Files\\Tarnwick\r\n' > "$ini"
check "settings file: folder shown" \
    probe window "$exe" 'Data folder: C:\Program Files\Tarnwick' normal
check "-icon starts minimised" \
    probe window "$exe" 'Data folder: C:\Program Files\Tarnwick' minimised -icon
check "-icon among other arguments" \
    probe window "$exe" 'Data folder: C:\Program Files\Tarnwick' minimised one -ICON two
check "-icon in quotes" \
    probe window "$exe" 'Data folder: C:\Program Files\Tarnwick' minimised '"-icon"'
lf='
'
check "-icon ended by a line feed, as setup's startup start passes it" \
    probe window "$exe" 'Data folder: C:\Program Files\Tarnwick' minimised "-icon$lf"
check "-iconic is not -icon" \
    probe window "$exe" 'Data folder: C:\Program Files\Tarnwick' normal -iconic

check "plant links, key and settings" probe registration plant
check "uninstall, answer No" probe uninstall "$uninstaller" no
check "No leaves every file" all_present

check "uninstall, answer Yes, Tarnwick running" \
    probe uninstall "$uninstaller" yes "$removed$kept" 'C:\Tarnwick Test\tarnwick.exe'
check "Yes leaves only the user's file" only_users_files_left
check "Yes removes links, key and settings entry" probe registration gone

install_copy bare
check "plant links beside a file of the user's" probe registration plant "notes.txt"
check "uninstall, answer Yes, nothing of the user's" probe uninstall "$uninstaller" yes "$removed"
check "the emptied folder is gone" folder_gone
check "the group with the user's file stays" probe registration gone "notes.txt"

install_copy
check "uninstall, answer Yes, a file held open" \
    probe uninstall "$uninstaller" yes "$removed$in_use" '' 'C:\Tarnwick Test\help.htm'
check "the held file and the user's stay" only_held_and_users_left

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"

#!/bin/sh
# Runs Tarnwick's programs under 64-bit Wine on a virtual display and checks
# what a user would see: the main window, its data folder line, -icon, and
# the uninstaller's Yes and No answers.
#
#   wine_smoke.sh <folder holding x86_64 tarnwick.exe and kluninst.exe>
#
# Needs wine64, xvfb-run and x86_64-w64-mingw32-g++-posix (all brought by
# scripts/install-deps, which checks these very paths). The shipped programs
# are 32-bit; the x86_64 builds of the same sources stand in for them here
# because only 64-bit Wine runs on the build machines.
set -eu

if [ $# -ne 1 ] || [ ! -f "$1/tarnwick.exe" ] || [ ! -f "$1/kluninst.exe" ]; then
    echo "usage: $0 <folder with tarnwick.exe and kluninst.exe>" >&2
    exit 2
fi
built=$(cd "$1" && pwd)
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
    -static-libgcc -static-libstdc++ -s "$here/probe.cpp" -o "$work/probe.exe"
"$WINE" wineboot -i >/dev/null 2>&1
"$WINESERVER" -w

app="$WINEPREFIX/drive_c/Tarnwick Test"
ini="$WINEPREFIX/drive_c/windows/tarnwick.ini"
files="tarnwick.exe help.htm tw.gif tw-target.gif tw-head-prologue.twr
tw-body-prologue.twr tw-body-epilogue.twr tw-menu-insert.twr"
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
    cp "$built/tarnwick.exe" "$built/kluninst.exe" "$app/"
    for f in $files; do
        [ -f "$app/$f" ] || echo "stand-in for $f" > "$app/$f"
    done
    echo "the user's own page" > "$app/my-page.txt"
}

all_present() {
    for f in $files kluninst.exe my-page.txt; do
        [ -f "$app/$f" ] || { echo "missing $f"; return 1; }
    done
}

only_product_files_gone() {
    for f in $files; do
        [ ! -e "$app/$f" ] || { echo "left behind: $f"; return 1; }
    done
    # kluninst.exe is only scheduled for removal at restart; the user's own
    # files are not the uninstaller's to delete.
    [ -f "$app/kluninst.exe" ] && [ -f "$app/my-page.txt" ]
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
check "-iconic is not -icon" \
    probe window "$exe" 'Data folder: C:\Program Files\Tarnwick' normal -iconic

check "uninstall, answer No" probe uninstall "$app/kluninst.exe" no
check "No leaves every file" all_present
check "uninstall, answer Yes" probe uninstall "$app/kluninst.exe" yes
check "Yes removes the product's files only" only_product_files_gone

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"

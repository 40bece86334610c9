#!/bin/sh
# The maker's path, end to end: tests/products/minimal (the example of
# docs/product-folder.md), its program compiled as the page says, through
# scripts/make-setup to a setup program, its files at SOURCE_DATE_EPOCH's
# time; then the same folder broken twice over, which is refused with both
# problems named and nothing made.
#
#   make_setup_test.sh PROJECT_ROOT WORK_DIR
#
# WORK_DIR/build is kept between runs, as a maker's build folder is.
# Exits 77 (skipped) without the cross compiler.
set -eu
root=$1 work=$2

command -v i686-w64-mingw32-gcc >/dev/null 2>&1 || { echo "no i686-w64-mingw32-gcc"; exit 77; }

product="$work/minimal" out="$work/out"
rm -rf "$product" "$out"
mkdir -p "$work"
cp -R "$root/tests/products/minimal" "$product"
rm -f "$product/minimal.exe"
(cd "$product" && i686-w64-mingw32-gcc -Os -s -mwindows minimal.c -o minimal.exe)

fail() { echo "make_setup_test: $*"; exit 1; }

# With SOURCE_DATE_EPOCH, as a release is made: both files, made just now,
# and the engine's uninstaller after them are stored at that time.
status=0
SOURCE_DATE_EPOCH=1000000000 \
    "$root/scripts/make-setup" --build-dir "$work/build" --jobs 2 "$product" "$out/MinimalSetup.exe" \
    >"$work/made.txt" 2>&1 || status=$?
cat "$work/made.txt"
[ "$status" -eq 0 ] || fail "make-setup ended with $status"
grep -q "^make-setup: $out/MinimalSetup.exe, [0-9]* bytes\$" "$work/made.txt" ||
    fail "make-setup did not name the setup program and its size"
times=$(sed -n '/fileTimes\[\] = {/,/};/{/fileTimes/d;p;}' "$work/build/products/product/generated/payload_table.cpp" |
    tr -cd '0-9,')
[ "$times" = "1000000000,1000000000,1000000000" ] || fail "stored times $times, not SOURCE_DATE_EPOCH's"
names=$(sed -n '/fileNames\[\] = {/,/};/{/fileNames/d;p;}' "$work/build/products/product/generated/payload_table.cpp" |
    tr -d ' \n')
[ "$names" = '"minimal.exe","readme.txt","kluninst.exe",};' ] || fail "payload names $names: no uninstaller last"

# A 32-bit Windows GUI program: "MZ", and at the PE header's offset the
# machine i386 (0x14c) and, in its optional header, the GUI subsystem (2).
exe="$out/MinimalSetup.exe"
[ "$(od -An -c -N 2 "$exe" | tr -d ' ')" = MZ ] || fail "$exe is no Windows program"
pe=$(od -An -t u4 -j 60 -N 4 "$exe" | tr -d ' ')
[ "$(od -An -t x2 -j $((pe + 4)) -N 2 "$exe" | tr -d ' ')" = 014c ] || fail "$exe is not for i386"
[ "$(od -An -t u2 -j $((pe + 92)) -N 2 "$exe" | tr -d ' ')" = 2 ] || fail "$exe is not a GUI program"
# The product's program travels inside it, compressed: its name is there.
grep -q "minimal.exe" "$exe" || fail "$exe does not hold the payload's names"

# Broken: a group name with a separator, and a file that is not there.
sed 's/"groupName": "Minimal"/"groupName": "Mini\/mal"/' "$root/tests/products/minimal/product.json" \
    >"$product/product.json"
rm "$product/readme.txt"
status=0
"$root/scripts/make-setup" --build-dir "$work/build" --jobs 2 "$product" "$out/Refused.exe" \
    >"$work/refused.txt" 2>&1 || status=$?
cat "$work/refused.txt"
[ "$status" -eq 1 ] || fail "a refused folder ended make-setup with $status, not 1"
for expected in \
    "payloadgen: $product/product.json: config.groupName: contains the separator /" \
    "payloadgen: $product/product.json: payload\\[1\\] \"readme.txt\": cannot read $product/readme.txt: no such file" \
    "make-setup: $product is refused; nothing was built"; do
    grep -q "^$expected" "$work/refused.txt" || fail "no line: $expected"
done
[ ! -e "$out/Refused.exe" ] || fail "a refused folder still gave a setup program"
echo "make_setup_test: passed"

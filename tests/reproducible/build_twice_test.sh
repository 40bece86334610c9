#!/bin/sh
# The same sources make the same setup.exe and product programs, byte for
# byte, wherever they lie and whenever they are built. The tree as it stands
# is copied twice, into folders of other names, a second apart: the first
# copy becomes a git checkout committed at a fixed time, the second is built
# with SOURCE_DATE_EPOCH at that time. Each builds what ships (the setup
# target) with the win32 preset; every file of the copies is newer than the
# fixed time, so every stored time must be it. Then a new commit and a new
# SOURCE_DATE_EPOCH must make both payloads again, still the same.
#
#   build_twice_test.sh PROJECT_ROOT WORK_DIR
#
# Exits 77 (skipped) without the cross compiler, git, or a checkout to copy.
set -eu
root=$1 work=$2
for tool in i686-w64-mingw32-g++-posix git; do
    command -v "$tool" >/dev/null 2>&1 || { echo "no $tool"; exit 77; }
done
git -C "$root" rev-parse --git-dir >/dev/null 2>&1 || { echo "$root is no git checkout"; exit 77; }
fail() { echo "build_twice_test: $*"; exit 1; }

one="$work/one/src" two="$work/second-copy/sources"
builds="$work/one/build $work/second-copy/build-of-two"
rm -rf "$work"
mkdir -p "$one" "$two"
log="$work/build.log"

# Tracked and new files, not the build folders; each copy's files take the
# moment they are copied (tar -m).
copy_sources() {
    git -C "$root" ls-files -z --cached --others --exclude-standard |
        tar -C "$root" --null --ignore-failed-read -T - -cf - | tar -C "$1" -xmf -
}
commit() {
    GIT_COMMITTER_DATE="@$1 +0000" git -C "$one" -c user.name=test -c user.email=test@localhost \
        commit -q --no-verify --allow-empty --date="@$1 +0000" -m "at $1"
}
quietly() {
    "$@" >>"$log" 2>&1 || { tail -n 40 "$log"; fail "failed: $*"; }
}
# Builds the first copy (its commit's time) and the second (at time $1);
# cmake configures the first again by itself when its commit moves.
build_both() {
    (unset SOURCE_DATE_EPOCH; [ -f "$work/one/build/build.ninja" ] ||
        quietly cmake --preset win32 -S "$one" -B "$work/one/build"
     quietly cmake --build "$work/one/build" --target setup -j 2)
    sleep 1
    (export SOURCE_DATE_EPOCH=$1
     quietly cmake --preset win32 -S "$two" -B "$work/second-copy/build-of-two"
     quietly cmake --build "$work/second-copy/build-of-two" --target setup -j 2)
}
# The same bytes in both builds, each stored time $1; else the first
# differing offsets (from 0).
expect_same_at() {
    set -- "$1" $builds
    built=products/tarnwick/built
    [ "$(ls "$2/$built")" = "$(ls "$3/$built")" ] || fail "the built folders hold other files"
    for file in setup.exe $(cd "$2" && ls $built/*); do
        cmp -s "$2/$file" "$3/$file" || fail "$file differs ($(wc -c <"$2/$file") and" \
            "$(wc -c <"$3/$file") bytes) at" $(cmp -l "$2/$file" "$3/$file" 2>/dev/null |
            awk '{ n++ } n <= 8 { printf "0x%x ", $1 - 1 } END { print "(" n " in all)" }')
    done
    for tree in "$2" "$3"; do
        times=$(sed -n '/fileTimes\[\] = {/,/};/{/fileTimes/d;p;}' \
            "$tree/products/tarnwick/generated/payload_table.cpp" | tr -cs '0-9' ' ')
        [ "$(echo $times)" = "$(echo $1 $1 $1 $1 $1 $1 $1 $1 $1)" ] ||
            fail "$tree: stored times $(echo $times), not nine times $1"
    done
    echo "build_twice_test: the same at $1: setup.exe $(cd "$2" && echo $built/*)"
}

copy_sources "$one"
git -C "$one" init -q && git -C "$one" add -A && commit 1700000000
sleep 1
copy_sources "$two"
build_both 1700000000
expect_same_at 1700000000
cp "$work/one/build/setup.exe" "$work/first-setup.exe"

commit 1700086400
build_both 1700086400
expect_same_at 1700086400
! cmp -s "$work/first-setup.exe" "$work/one/build/setup.exe" || fail "a new time left setup.exe as it was"
echo "build_twice_test: passed"

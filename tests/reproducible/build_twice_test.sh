#!/bin/sh
# The same sources make the same setup.exe and the same product programs,
# byte for byte, wherever they lie and whenever they are built.
#
#   build_twice_test.sh PROJECT_ROOT WORK_DIR
#
# The sources as they stand (committed or not) are copied twice, into
# folders of different names whose files get different times. The first
# copy becomes a git checkout of its own, committed at a fixed time; the
# second has no git and is built with SOURCE_DATE_EPOCH at that time. Each
# is built with the win32 preset's settings, only what ships (the setup
# target, which builds the product's programs). Then: the programs are the
# same, and every time in the payload is the fixed time (each file of the
# copies is newer, and the built programs take it). A new commit in the
# first copy and a new SOURCE_DATE_EPOCH for the second make both payloads
# again, at the new time, still the same.
#
# Exits 77 (skipped) without the cross compiler or git.
set -eu
root=$1 work=$2

for tool in i686-w64-mingw32-g++-posix git; do
    command -v "$tool" >/dev/null 2>&1 || { echo "no $tool"; exit 77; }
done

fail() { echo "build_twice_test: $*"; exit 1; }

# Every file in the copies is newer than both times.
time1=1700000000 time2=1700086400
one="$work/one/src" two="$work/second-copy/sources"
rm -rf "$work"
mkdir -p "$one" "$two"

# Without the mtimes of the original (tar -m): each copy's files take the
# moment they are copied.
copy_sources() {
    if git -C "$root" rev-parse --git-dir >/dev/null 2>&1; then
        git -C "$root" ls-files -z --cached --others --exclude-standard |
            tar -C "$root" --null --ignore-failed-read -T - -cf -
    else
        tar -C "$root" --exclude=./build -cf - .
    fi | tar -C "$1" -xmf -
}

commit() {
    GIT_COMMITTER_DATE="@$2 +0000" git -C "$one" -c user.name=build-twice \
        -c user.email=build-twice@localhost commit -q --no-verify --allow-empty \
        --date="@$2 +0000" -m "$1"
}

copy_sources "$one"
git -C "$one" init -q
git -C "$one" add -A
commit "The sources under test" "$time1"
sleep 1
copy_sources "$two"

log="$work/build.log"
: >"$log"
# cmake and its build; the whole output goes to the log, its end shows on failure.
quietly() {
    if ! "$@" >>"$log" 2>&1; then
        tail -n 40 "$log"
        fail "failed: $*"
    fi
}
configure() {  # source build
    quietly cmake --preset win32 -S "$1" -B "$2"
}
build() {
    quietly cmake --build "$1" --target setup -j 2
}

# One lives in a git checkout of its own, two in no checkout at all (the
# project's build folder is ignored by the project's git).
(
    unset SOURCE_DATE_EPOCH
    configure "$one" "$work/one/build"
    build "$work/one/build"
)
sleep 1
(
    export SOURCE_DATE_EPOCH=$time1
    configure "$two" "$work/second-copy/build-of-two"
    build "$work/second-copy/build-of-two"
)

# The first offsets (from 0, in hex) where two files differ.
differences() {
    cmp -l "$1" "$2" 2>/dev/null | awk '
        { count++; if (count <= 8) offsets = offsets sprintf(" 0x%x", $1 - 1) }
        END { printf "%d bytes differ, first at%s", count, offsets }'
}

same_programs() {
    a="$work/one/build" b="$work/second-copy/build-of-two"
    built=products/tarnwick/built
    [ "$(ls "$a/$built")" = "$(ls "$b/$built")" ] ||
        fail "the built folders hold different files: $(ls "$a/$built") / $(ls "$b/$built")"
    found=0
    for file in setup.exe $(cd "$a" && ls $built/*); do
        [ -f "$a/$file" ] && [ -f "$b/$file" ] || fail "$file is missing from a build"
        if ! cmp -s "$a/$file" "$b/$file"; then
            echo "build_twice_test: $file: $(wc -c <"$a/$file") and $(wc -c <"$b/$file") bytes, $(differences "$a/$file" "$b/$file")"
            found=1
        fi
    done
    [ "$found" -eq 0 ] || fail "the two builds differ"
}

# The times of the payload table, one a line.
stored_times() {
    sed -n '/fileTimes\[\] = {/,/};/{/fileTimes/d;p;}' "$1/products/tarnwick/generated/payload_table.cpp" |
        tr -c '0-9\n-' '\n' | grep -E '^-?[0-9]+$'
}

payload_at() {
    for tree in "$work/one/build" "$work/second-copy/build-of-two"; do
        times=$(stored_times "$tree")
        [ "$(printf '%s\n' "$times" | wc -l)" -eq 9 ] || fail "$tree: not nine stored times: $times"
        others=$(printf '%s\n' "$times" | grep -vx "$1" || true)
        [ -z "$others" ] || fail "$tree: stored times other than $1:" $others
    done
}

same_programs
payload_at "$time1"
cp "$work/one/build/setup.exe" "$work/first-setup.exe"
echo "build_twice_test: the same at $time1: setup.exe and $(ls "$work/one/build/products/tarnwick/built" | tr '\n' ' ')"

# A new commit configures the first build again by itself; the second is
# configured again with a new SOURCE_DATE_EPOCH, as make-setup does on each run.
commit "A later commit" "$time2"
(
    unset SOURCE_DATE_EPOCH
    build "$work/one/build"
)
(
    export SOURCE_DATE_EPOCH=$time2
    configure "$two" "$work/second-copy/build-of-two"
    build "$work/second-copy/build-of-two"
)
same_programs
payload_at "$time2"
! cmp -s "$work/first-setup.exe" "$work/one/build/setup.exe" || fail "the later time left setup.exe as it was"
echo "build_twice_test: the same again at $time2"
echo "build_twice_test: passed"

#!/usr/bin/env bash
# The driver as a real process, natively and under Wine (code page 936), in
# the situations that only a real process meets: a kill in the middle of a
# click, a full disk, a folder whose listing fails, too little memory and
# few descriptors, and names and files Windows alone can get wrong. (A
# second program and a refused write are run_cli.sh's, and the unit tests',
# under Wine too.) Every list and backup is checked byte for byte.
#   run_drive.sh [linux] [windows]   (both by default: the builds whose programs it tries)
set -euo pipefail
builds=" ${*:-linux windows} "
root="$(cd "$(dirname "$0")/../.." && pwd)"
drive="${OBEY_DRIVE:-$root/build/linux/obey_drive}"
drive_exe="${OBEY_DRIVE_EXE:-$root/build/win64/obey_drive.exe}"
make_trees="${OBEY_MAKE_TREES:-$root/build/linux/bench/make_trees}"
work="$(mktemp -d /tmp/obey-drive.XXXXXX)"
cleanup() {
    umount "$work/full" 2>/dev/null || true
    [ -n "${WINEPREFIX:-}" ] && { wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"; }
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
same() { cmp -s "$1" "$2" || { diff <(cat -A "$1") <(cat -A "$2") | head >&2; fail "$3"; }; }
# The lines expected, from the tree model; files are relative to ROFS.
header() { "$make_trees" header; }
lines() { "$make_trees" lines "$@"; }
# A tree where files come before folders, and the folder a is walked after
# the list's temporary file exists, whichever thread reads it.
tree() {
    mkdir -p "$1/ROFS/a/b" "$1/ROFS/c"
    echo x >"$1/ROFS/top.txt"
    echo x >"$1/ROFS/a/one.txt"
    echo x >"$1/ROFS/a/b/two.txt"
    echo x >"$1/ROFS/c/three.txt"
}
files=(top.txt a/one.txt a/b/two.txt c/three.txt)
# Holds the driver in its click, at the first listing of a subfolder.
paused() { strace -f -o /dev/null -P "$2/ROFS/a" -e trace=getdents64 -e inject=getdents64:delay_enter=3000000 "$@"; }

if [[ $builds == *" linux "* ]]; then
# The full disk is a tmpfs of its own, mounted by root.
[ "$(id -u)" = 0 ] || { echo "SKIPPED: mounting a small file system needs root"; exit 77; }
# Arguments: no list is ever written for a mistyped command.
for args in "" "$work 12abc" "$work 99999999999" "$work -1"; do
    set +e; "$drive" ${args:-""} >/dev/null 2>&1; status=$?; set -e
    [ "$status" = 2 ] || fail "obey_drive ${args:-''} gave status $status, not 2"
done
[ ! -e /ROFS.obey ] && [ ! -e "$work/ROFS.obey" ] || fail "a mistyped command wrote a list"

# A relative program directory names the files by their full paths all the
# same. (A second program on the directory is run_cli.sh's to refuse.)
tree "$work/two"
(cd "$work" && "$drive" ./two//. >/dev/null)
cp "$work/two/ROFS.obey" "$work/complete"

# Killed in its click: the list stands as before the click, and the next
# start removes what the killed program left.
header >"$work/header"
paused "$drive" "$work/two" >/dev/null &
sleep 1
pkill -9 -f "^$drive $work/two"
while pgrep -f "^$drive $work/two" >/dev/null; do sleep 0.1; done
wait || true
same "$work/two/ROFS.obey" "$work/header" "the list after a kill"
[ -e "$work/two/ROFS.obey.tmp" ] && [ -e "$work/two/.obeygen.lock" ] || fail "the kill came too late to test anything"
"$drive" "$work/two" >/dev/null
[ ! -e "$work/two/ROFS.obey.tmp" ] && [ ! -e "$work/two/.obeygen.lock" ] ||
    fail "the killed program's temporary file or lock is left"
same "$work/two/ROFS.obey" "$work/complete" "the list after the kill's cause is gone"
same "$work/two/ROFS_bak.obey" "$work/complete" "the backup of a header-only list"
echo "killed in a click: list kept whole, leftover removed"

# A folder whose listing fails midway is reported; the rest is listed.
strace -f -o /dev/null -P "$work/two/ROFS/a" -e trace=getdents64 -e inject=getdents64:error=EIO \
    "$drive" "$work/two" >"$work/out"
grep -q "folder not fully listed: $work/two/ROFS/a: Input/output error" "$work/out" ||
    fail "a failed listing was not reported"
{ header; lines "$work/two/ROFS" / top.txt c/three.txt; } >"$work/expected"
same "$work/two/ROFS.obey" "$work/expected" "the list around a failed listing"
echo "failed listing: reported, the rest listed"

# A full disk: a real 64 KiB file system. The click fails, the list keeps
# what it held, and once there is room one press gives one listing.
mkdir "$work/full"
mount -t tmpfs -o size=64k tmpfs "$work/full"
mkdir "$work/full/ROFS"
for i in $(seq 1 1500); do : >"$work/full/ROFS/a-long-name-to-fill-the-list-quickly-$i.bin"; done
set +e; "$drive" "$work/full" >/dev/null 2>"$work/err"; status=$?; set -e
[ "$status" = 1 ] && grep -q "click failed: error 28: No space left on device" "$work/err" ||
    fail "a full disk was not an error of the click"
same "$work/full/ROFS.obey" "$work/header" "the list on a full disk"
[ "$(ls -A "$work/full")" = "$(printf 'ROFS\nROFS.obey')" ] || fail "a temporary file is left"
rm "$work/full/ROFS/"*-[0-9][0-9][0-9]*.bin
"$drive" "$work/full" >/dev/null
[ "$(grep -c '^file=' "$work/full/ROFS.obey")" = 99 ] || fail "not one listing after the mend"
echo "full disk: click failed, list kept, one listing after the mend"

# Too little memory for a wide folder's names (8 MB; a small tree needs
# less than 12 MB of address space in all) is an error of the click.
mkdir -p "$work/wide/ROFS"
(cd "$work/wide/ROFS" && seq -f "%0200g" 1 40000 | xargs touch)
set +e; (ulimit -v 20000 && "$drive" "$work/wide" >/dev/null 2>"$work/err"); status=$?; set -e
[ "$status" = 1 ] && grep -q "click failed: error 12: Cannot allocate memory" "$work/err" ||
    fail "running out of memory was not an error of the click (status $status)"
same "$work/wide/ROFS.obey" "$work/header" "the list after running out of memory"
echo "out of memory: an error of the click, list kept"

# A tree of 259 folders, read ahead by threads, under real limits. Too little
# address space, wherever it runs out (a thread's stack or room, a listing,
# the walk, the start): exit 1 with the out-of-memory error, never an abort,
# the earlier list kept as the backup, no temporary file left. Few
# descriptors: the same list at any limit from 16.
mkdir -p "$work/many/ROFS"
(cd "$work/many/ROFS" && for a in 0 1 2 3 4 5; do for b in "" 0 1 2 3 4 5; do for c in "" 0 1 2 3 4 5; do
    [ -z "$b" ] && [ -n "$c" ] && continue
    mkdir -p "$a/$b/$c" && echo x >"$a/$b/$c/f.txt"
done; done; done)
"$drive" "$work/many" >/dev/null
cp "$work/many/ROFS.obey" "$work/many-list"
for megabytes in $(seq 6 24) 48 96 160; do
    set +e; prlimit --as=$((megabytes << 20)) "$drive" "$work/many" >/dev/null 2>"$work/err"; status=$?; set -e
    case "$status" in
        0) same "$work/many/ROFS.obey" "$work/many-list" "the list with $megabytes MB" ;;
        1) grep -q "error 12: Cannot allocate memory" "$work/err" || fail "$megabytes MB: $(cat "$work/err")"
           same "$work/many/ROFS_bak.obey" "$work/many-list" "the backup after $megabytes MB" ;;
        *) fail "$megabytes MB of address space: status $status: $(cat "$work/err")" ;;
    esac
    [ -z "$(ls "$work/many" | grep -v '^ROFS\(\.obey\|_bak\.obey\)\?$')" ] || fail "$megabytes MB: $(ls "$work/many")"
done
for descriptors in 16 17 18 19 20 21 24 32; do
    prlimit --nofile=$descriptors "$drive" "$work/many" >"$work/out" || fail "$descriptors descriptors"
    grep -q "0 problems" "$work/out" || fail "$descriptors descriptors: $(cat "$work/out")"
    same "$work/many/ROFS.obey" "$work/many-list" "the list with $descriptors descriptors"
done
echo "read ahead under little memory and few descriptors: the error or the same list"

fi
[[ $builds == *" windows "* ]] || exit 0

# Under Wine, code page 936.
export WINEPREFIX="$(mktemp -d /tmp/obey-wine.XXXXXX)" WINEDEBUG=-all LANG=zh_CN.UTF-8
wine wineboot -i >/dev/null 2>&1
win() { echo "Z:${1//\//\\}"; }
tree "$work/win"
mkdir -p "$work/win/ROFS/x" "$work/win/ROFS/x." "$work/win/ROFS/y "
echo x >"$work/win/ROFS/x/in-x.txt"
echo x >"$work/win/ROFS/x./in-x-dot.txt"
echo x >"$work/win/ROFS/y /in-y-space.txt"
echo x >"$work/win/ROFS/中文.txt"
echo x >"$work/win/ROFS/x²¥.txt"
: >"$work/win/ROFS/empty.txt"
mkfifo "$work/win/ROFS/fifo"
ln -s /dev/zero "$work/win/ROFS/zero"
wine "$drive_exe" "$(win "$work/win")" >"$work/out"
base="$(win "$work/win/ROFS")"
{ header; lines "$base" '\' empty.txt top.txt 'x??.txt' $'\xd6\xd0\xce\xc4.txt' a/one.txt a/b/two.txt \
    c/three.txt x/in-x.txt; } >"$work/expected"
same "$work/win/ROFS.obey" "$work/expected" "the Windows list of names Windows can get wrong"
grep -q "name not in the code page: .*x²¥.txt" "$work/out" || fail "best fit not reported"
# The image builder would open x\in-x.txt for x.\in-x-dot.txt's line.
[ "$(tr -d '\r' <"$work/out" | grep -cE "reads as another, skipped: .*ROFS.(x\.|y )$")" = 2 ] ||
    fail "folders ending in a dot or a space not left out"
[ "$(grep -cE "not a regular file, skipped: .*ROFS.(fifo|zero)\b" "$work/out")" = 2 ] ||
    fail "a FIFO or a device link under Wine was not reported"
echo "Windows: no best fit, folders ending in a dot or a space left out, regular files only"

# What is not a regular file in the list's place fails the start at once,
# and nothing is written where a link leads.
for place in ROFS.obey ROFS_bak.obey; do
    for make in "mkfifo" "ln -s $work/outside" "mkdir"; do
        rm -rf "$work/win/$place"
        $make "$work/win/$place"
        set +e; timeout 20 wine "$drive_exe" "$(win "$work/win")" >/dev/null 2>&1; status=$?; set -e
        [ "$status" = 1 ] && [ ! -e "$work/outside" ] || fail "$make as $place under Wine: $status"
        rm -r "$work/win/$place"
    done
done
echo "Windows: a FIFO, a dangling link or a folder in the list's place fails the start"

#!/usr/bin/env bash
# obeygen-cli as scripts use it, natively and under Wine (code page 936): the
# window's lines byte for byte, each option, each exit status, each problem
# kind on standard error, each usage error, and lists read back by --check.
#   run_cli.sh [linux] [windows]   (both by default: the builds whose programs it tries)
set -euo pipefail
builds=" ${*:-linux windows} "
root="$(cd "$(dirname "$0")/../.." && pwd)"
cli="${OBEY_CLI:-$root/build/linux/cli/obeygen-cli}"
cli_exe="${OBEY_CLI_EXE:-$root/build/win64/cli/obeygen-cli.exe}"
drive="${OBEY_DRIVE:-$root/build/linux/obey_drive}"
drive_exe="${OBEY_DRIVE_EXE:-$root/build/win64/obey_drive.exe}"
open_listed_exe="${OBEY_OPEN_LISTED_EXE:-$root/build/win64/tests/open_listed.exe}"
work="$(mktemp -d /tmp/obey-cli.XXXXXX)"
trap '[ -n "${WINEPREFIX:-}" ] && { wineserver -k 2>/dev/null; rm -rf "$WINEPREFIX"; }; rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
# expect STATUS COMMAND...: runs it with its output in $work/out and $work/err.
expect() {
    local want="$1" status=0
    shift
    "$@" >"$work/out" 2>"$work/err" || status=$?
    [ "$status" = "$want" ] || { cat "$work/err" >&2; fail "$* gave $status, not $want"; }
}
has() { grep -qF -- "$1" "$work/err" || { cat "$work/err" >&2; fail "no '$1' on standard error"; }; }

mkdir -p "$work/t/ROFS/a/b" "$work/t/ROFS/c"
echo x >"$work/t/ROFS/top.txt"
echo x >"$work/t/ROFS/a/one.txt"
echo x >"$work/t/ROFS/a/b/two.txt"
echo x >"$work/t/ROFS/c/three.txt"
cd "$work/t"

if [[ $builds == *" linux "* ]]; then
# Without options: what the window writes in its folder, exit 0, one line.
"$drive" . >/dev/null
mv ROFS.obey window.obey
expect 0 "$cli"
cmp ROFS.obey window.obey || fail "the list differs from the window's"
[ "$(cat "$work/err")" = "obeygen-cli: listed 4 files into $work/t/ROFS.obey; 0 names left out; the image builder will take this list" ] ||
    fail "summary line"
[ ! -s "$work/out" ] || fail "output on success"

# Each problem kind (a link to a device too), exit 3; the listing of a fails.
mkfifo ROFS/fifo
ln -s .. ROFS/c/up && ln -s /dev/zero ROFS/zero
touch "ROFS/line
break"
expect 3 strace -f -o /dev/null -P "$work/t/ROFS/a" -e trace=getdents64 -e inject=getdents64:error=EIO "$cli"
has "obeygen-cli: skipped-folder: $work/t/ROFS/a: Input/output error"
has "obeygen-cli: not-regular-file: $work/t/ROFS/fifo"
has "obeygen-cli: folder-loop: $work/t/ROFS/c/up"
has "obeygen-cli: not-regular-file: $work/t/ROFS/zero"
has "obeygen-cli: line-break: $work/t/ROFS/line\\nbreak"
rm ROFS/c/up ROFS/zero ROFS/line*

# Streams closed at the start, then a reader gone: no message reaches the
# list, though a flat source leaves the list the first free descriptor and
# its name would forge lines, and no run is cut short.
touch "ROFS/a/b/$(printf 'x\r\nrofsname=EVIL.smg')"
expect 3 "$cli" -s ROFS/a/b -o flat.obey
cp flat.obey flat.want
status=0 && "$cli" -s ROFS/a/b -o flat.obey >&- 2>&- || status=$?
[ $status = 3 ] && cmp flat.obey flat.want || fail "a run with its streams closed"
exec 3> >(:) && wait $!
status=0 && "$cli" -s ROFS/a/b -o flat.obey 2>&3 >/dev/null || status=$?
exec 3>&-
[ $status = 3 ] && cmp flat.obey flat.want && [ -z "$(ls | grep tmp)" ] || fail "a run whose reader left"
rm ROFS/a/b/x* flat*

# -o - and --exclude: the list on standard output and nothing beside it;
# a name, a wildcard (case twins left out are no clash), a folder not entered
# (its FIFO unreported), an image path.
mkdir -p ROFS/.svn ROFS/c/tmp ROFS/w/d{1..40}/.svn/x
mv ROFS/fifo ROFS/.svn/
touch ROFS/c/tmp/t.txt ROFS/a/{x,X}.tmp "ROFS/$(printf 'x\r\nrofsname=EVIL.smg')"
before="$(ls)"
# Names alone leave the read-ahead on; an image path makes the walk read alone.
for path in --exclude=tmp --exclude=/c/tmp; do
    expect 0 strace -f -o "$work/trace" -e trace=openat "$cli" -o - --exclude '*.tmp' --exclude .svn \
        $path --exclude 'x??rofsname=*'
    cmp "$work/out" window.obey && [ "$(ls)" = "$before" ] && ! grep -q svn "$work/trace" ||
        fail "-o - with --exclude $path"
done
has "obeygen-cli: listed 4 files into standard output"
rm -r ROFS/.svn ROFS/c/tmp ROFS/w ROFS/a/{x,X}.tmp ROFS/x*

# Patterns from files, --exclude-from and ROFS.exclude beside the list (CR
# LF, a comment): the summary says how many entries they left out (a folder
# once) and what changed against the list replaced; a note names each that
# left out nothing, where it was given (on Linux 'sys\bin' is a name).
expect 0 "$cli"
printf '# comments\r\n*.tmp\r\nsys\\bin\r\n' >"$work/patterns" && printf 'top.txt\n' >ROFS.exclude
expect 0 "$cli" --exclude-from "$work/patterns" --exclude c
has "obeygen-cli: listed 2 files into $work/t/ROFS.obey (+0 -2); patterns left out 2 entries"
has "obeygen-cli: note: $work/patterns:2: pattern '*.tmp' left out nothing"
has "obeygen-cli: note: $work/patterns:3: pattern 'sys\\bin' left out nothing"
[ "$(grep -c note: "$work/err")" = 2 ] || fail "notes of patterns that left out something"
expect 1 "$cli" --exclude-from "$work/none"
mkdir ROFS.exclude.d && rm ROFS.exclude && ln -s ROFS.exclude.d ROFS.exclude
expect 1 "$cli"
has "obeygen-cli: error: $work/t/ROFS.exclude: Is a directory"
rm ROFS.exclude && rmdir ROFS.exclude.d

# The list inside the source, also reached by a link: none of the program's
# own files listed or reported, a user's file of the same name listed.
mkdir -p own/sub && touch own/sub/out.obey && ln -s own ownlink
expect 0 "$cli" -s own -o own/out.obey
expect 0 "$cli" -s ownlink -o own/out.obey
[ "$(grep -c ^file= own/out.obey)" = 1 ] && grep -q "ownlink/sub/out.obey " own/out.obey || fail "own files"
rm -r own ownlink

# The options, in both forms; the backup of a named list; the header as given.
mkdir out
expect 0 "$cli" -s ROFS/a --output=out/my.list.obey --rofsname X.smg --rofssize=18446744073709551615 .
expect 0 "$cli" --source "$work/t/ROFS/a" -o out/my.list.obey --rofsname=X.smg --rofssize 0X1f
printf 'rofsname=X.smg\r\nrofssize=0X1f\r\nfile=%s/ROFS/a/one.txt    /one.txt\r\nfile=%s/ROFS/a/b/two.txt    /b/two.txt\r\n' \
    "$work/t" "$work/t" >expected
cmp out/my.list.obey expected || fail "the options' list"
head -n 2 out/my.list_bak.obey | grep -q "rofssize=18446744073709551615" || fail "the options' backup"

# Errors: exit 1, the path and the system's words, the list and the backup
# (one older than the list) as they were, also when the list's flush fails.
cp ROFS.obey before
echo older >>ROFS_bak.obey && cp ROFS_bak.obey before_bak
for call in write fsync; do
    expect 1 strace -f -o /dev/null -P "$work/t/ROFS.obey.tmp" -e trace=$call -e inject=$call:error=EIO "$cli"
    has "obeygen-cli: error: $work/t/ROFS.obey: Input/output error (error 5)"
    cmp ROFS.obey before && cmp ROFS_bak.obey before_bak || fail "a failed $call changed the list or backup"
    [ "$(ls -A)" = "$(printf 'ROFS\nROFS.obey\nROFS_bak.obey\nbefore\nbefore_bak\nexpected\nout\nwindow.obey')" ] ||
        fail "a failed $call left a file behind"
done
umask 022
strace -f -o /dev/null -e trace=getdents64 -e inject=getdents64:delay_enter=2000000:when=1 "$cli" >/dev/null 2>&1 &
sleep 1
expect 1 "$cli"
has "busy: another ObeyGen program is writing a list there (error 16)"
# Whoever of the folder's group comes next takes over a lock left behind.
[ "$(stat -c %a .obeygen.lock)" = 664 ] || fail "the lock is not the group's to take over"
wait $! || fail "the first run failed"
cp ROFS.obey before

# Each file on the disk before its new name, each name before the next, a
# power cut after any step leaving a whole list and backup; a lock that holds
# where flock fails, as on NFS, and goes with the run.
expect 0 strace -f -o "$work/trace" -y -e trace=fsync,rename -e inject=flock:error=EBADF "$cli"
sed -E '/^[0-9]+ +(fsync|rename)/!d; s/^[0-9]+ +//; s/\([0-9]+<(.*)>\)/(\1)/; s/ += 0$//' "$work/trace" >"$work/flushes"
printf '%s\n' "fsync($work/t/ROFS_bak.obey.tmp)" "fsync($work/t/ROFS.obey.tmp)" \
    "rename(\"$work/t/ROFS_bak.obey.tmp\", \"$work/t/ROFS_bak.obey\")" "fsync($work/t)" \
    "rename(\"$work/t/ROFS.obey.tmp\", \"$work/t/ROFS.obey\")" "fsync($work/t)" | diff - "$work/flushes" ||
    fail "the flushes"
[ ! -e .obeygen.lock ] || fail "the lock stayed"
expect 1 strace -f -o /dev/null -P "$work/t/.obeygen.lock" -e trace=fcntl -e inject=fcntl:error=ENOLCK "$cli"
has "No locks available (error 37)"
[ ! -e .obeygen.lock ] || fail "a lock the file system refused stayed"

# What stands in the lock's place is never followed, written or deleted; a
# lock a killed program left is taken over, also one left empty by a kill
# or a power cut before its content reached the disk, the state a second
# start finds it in before its maker locks it.
echo thesis >thesis.doc
for make in "ln -s thesis.doc" "cp thesis.doc" "mkdir" "mkfifo" "ln -s none"; do
    $make .obeygen.lock
    expect 1 timeout 10 "$cli"
    has "obeygen-cli: error: $work/t/.obeygen.lock: File exists"
    [ "$(cat thesis.doc)" = thesis ] && cmp ROFS.obey before || fail "$make in the lock's place"
    rm -r .obeygen.lock
done
for left in 'ObeyGen lock\n' ''; do
    printf "$left" >.obeygen.lock
    expect 0 "$cli"
    [ ! -e .obeygen.lock ] || fail "a left lock '$left' stayed"
done
expect 1 "$cli" -o .obeygen.lock
has "obeygen-cli: error: $work/t/.obeygen.lock: Invalid argument (error 22)"
[ ! -e .obeygen.lock ] && [ ! -e .obeygen_bak.lock ] || fail "a list of the lock's name"
rm thesis.doc

# Help, version, and a usage error for each bad argument.
expect 0 "$cli" --help
grep -q "^usage: obeygen-cli \[OPTIONS\] \[DIR\]" "$work/out" || fail "--help"
expect 0 "$cli" --version
[ "$(cat "$work/out")" = "obeygen-cli $(sed -n 's/^project(ObeyGen VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")" ] || fail "--version"
usage() { expect 2 "$cli" "$@" && has "Try 'obeygen-cli --help'"; }
usage --bogus
usage -o
usage a b
usage -s=
usage --help=foo
usage -o -- x
status=0 && "$cli" --help >&- 2>/dev/null || status=$?
[ $status = 2 ] || fail "--help with standard output closed gave $status"
expect 1 "$cli" none
has "obeygen-cli: error: $work/t/none: No such file or directory (error 2)"
has "name an existing folder as DIR"
expect 1 "$cli" -s none
has "no folder to list at $work/t/none: name the folder to list with -s FOLDER"
usage --check a -o b
for name in "" "a b" "$(printf 'a\tb')" a=b 'a"b'; do usage --rofsname "$name"; done
for size in 0 -1 12k 0x 18446744073709551616 0x10000000000000000; do usage --rofssize "$size"; done
cmp ROFS.obey before || fail "a usage error changed the list"
echo "obeygen-cli: window's lines, options, problems, errors, usage"

# A program folder with a space read back as the builder reads it; names it
# cannot take, reads as another or takes for one, said in the summary;
# --check on lists by hand, a FIFO, a 2 GiB line.
mkdir -p "$work/rom tools/ROFS/a=b" "$work/rom tools/ROFS/v{1}.d"
cd "$work/rom tools"
touch "ROFS/a=b/c d.txt" ROFS/Read.me ROFS/read.ME 'ROFS/q"q' 'ROFS/x\y' "ROFS/v{1}.d/z"
expect 3 "$cli"
has "obeygen-cli: name-clash: $work/rom tools/ROFS/read.ME: same name in the image as $work/rom tools/ROFS/Read.me"
has "obeygen-cli: quote: $work/rom tools/ROFS/q\"q"
has "obeygen-cli: builder-name: $work/rom tools/ROFS/x\y: read as $work/rom tools/ROFS/x/y"
has "obeygen-cli: builder-name: $work/rom tools/ROFS/v{1}.d/z: read as $work/rom tools/ROFS/v{00000001}.d/z"
has "; 3 names left out; the image builder will refuse this list: 1 name clash"
grep -qF "file=\"$work/rom tools/ROFS/a=b/c d.txt\"    \"/a=b/c d.txt\"" ROFS.obey || fail "quoting"
expect 3 "$cli" --check
has "obeygen-cli: duplicate: ./ROFS.obey:4: /read.ME: same name in the image as line 3"
rm -r ROFS/read.ME 'ROFS/q"q' 'ROFS/x\y' "ROFS/v{1}.d"
expect 0 "$cli"
expect 0 "$cli" --check="$work/rom tools"
has "obeygen-cli: $work/rom tools/ROFS.obey: 2 file lines, 0 problems"
top="$work/t/ROFS/top.txt"
printf 'rofsname=a\nrofssize=1\n' >no-file.obey
# What the builder warns of or stops on, line by line; a CR alone ends one; none after "stop".
printf '%s\r\n' 'rofssize=12k' "fiel=$top /f" "data=$top /d" "file=$top /a attrib=r" "file=$top" \
    "file=$work/rom tools/ROFS/Read.me /c" "file=$top /v{1}.d/x" "file=$top /D" "file=$top /e{1}.t" \
    "file=$top /e{00000001}.t" "file=${top%/*}\\top.txt /h" "file=$top /i heapmin" "file=$top /x y" \
    $'file=/none /n\rREM x' "file=$top    /X" stop "fiel=after" >rules.obey
expect 3 "$cli" --check rules.obey
for line in "no-header: rules.obey:1: no rofsname line" "bad-size: rules.obey:1: 12k" \
    "unknown-keyword: rules.obey:2: fiel:" "too-few-words: rules.obey:5:" \
    "miscut: rules.obey:6: $work/rom tools/ROFS/Read.me: cut into 2 words" \
    "builder-name: rules.obey:7: /v{1}.d/x: read as /v{00000001}.d/x" \
    "duplicate: rules.obey:8: /D: same name in the image as line 3" \
    "builder-name: rules.obey:9: /e{1}.t: read as /e{00000001}.t" \
    "duplicate: rules.obey:10: /e{00000001}.t: same name in the image as line 9" \
    "builder-name: rules.obey:11: ${top%/*}\\top.txt: read as $top" "attribute: rules.obey:12: heapmin takes a value" \
    "miscut: rules.obey:13: /x y: cut into 2 words at its spaces, tabs or '=': write it between double quotes" \
    "missing: rules.obey:14: /none: No such file or directory" "duplicate: rules.obey:16: /X: same name in the image as line 13" \
    "rules.obey: 13 file lines, 14 problems"; do
    has "obeygen-cli: $line"
done
[ "$(grep -c "rules.obey:13:" "$work/err")" = 1 ] || fail "a miscut line reported twice"
# Image paths compared whole, past any length a word is kept to.
long="$(head -c 70000 /dev/zero | tr '\0' l)"
printf 'rofsname=a\nrofssize=1\nfile=%s /%s1\nfile=%s /%s2\n' "$top" "$long" "$top" "$long" >long.obey
expect 0 "$cli" --check long.obey
printf 'file=%s /%s1\n' "$top" "$long" >>long.obey
expect 3 "$cli" --check long.obey
has "duplicate: long.obey:5:"
rm rules.obey long.obey
expect 3 "$cli" -o no-file.obey --check
has "obeygen-cli: no-file: no-file.obey:2: no file line"
mkfifo fifo
expect 1 timeout 10 "$cli" --check fifo
has "obeygen-cli: error: fifo: Not a regular file"
expect 1 "$cli" --check none.obey
truncate -s 2G big.obey
expect 3 timeout 60 prlimit --as=$((256 << 20)) "$cli" --check big.obey
rm big.obey
[ "$(ls)" = "$(printf 'ROFS\nROFS.obey\nROFS_bak.obey\nfifo\nno-file.obey')" ] || fail "--check wrote a file"
cd "$work/t"
echo "obeygen-cli: quoted paths, names it cannot take or takes for one, --check"
fi
[[ $builds == *" windows "* ]] || exit 0

# Under Wine, code page 936: the same lines as the window's driver, a name the
# code page lacks reported, an image name it lacks refused.
export WINEPREFIX="$(mktemp -d /tmp/obey-wine.XXXXXX)" WINEDEBUG=-all LANG=zh_CN.UTF-8
wine wineboot -i >/dev/null 2>&1
echo x >"ROFS/中文 x².txt"
here='Z:'"${work//\//\\}"'\t'  # this folder, as Wine names it
wine "$drive_exe" "$here" >/dev/null
mv ROFS.obey window.obey
expect 3 wine "$cli_exe" "$here"
cmp ROFS.obey window.obey || fail "the Windows list differs from the window's"
iconv -f gbk -t utf-8 "$work/err" | grep -qF "obeygen-cli: not-in-code-page: $here\\ROFS\\中文 x?.txt" ||
    fail "a name the code page lacks, under Wine"
expect 2 wine "$cli_exe" --rofsname 'x²'

# Names Windows opens as other files or devices are left out, with a folder's
# content: every line left, opened as the builder opens it, gives the bytes
# of the very file it names.
mkdir -p "$work/w/ROFS"
cd "$work/w/ROFS"
mkdir x x. con && touch con/g
for name in a a. b 'b ' 'x\f' 'x.\f' aux.c NUL.txt 'C{000A0000}.DLL'; do
    printf '%s' "\\$name" >"${name//\\//}"
done
cd "$work/t"
w='Z:'"${work//\//\\}"'\w'
expect 3 wine "$cli_exe" "$w"
wine "$open_listed_exe" "$w\ROFS.obey" >"$work/opened"
[ "$(tr -d '\r' <"$work/opened" | LC_ALL=C sort)" = "$(printf '%s\n' '\C{000A0000}.DLL \C{000A0000}.DLL' '\a \a' '\b \b' '\x\f \x\f')" ] ||
    { cat "$work/opened" "$work/err" >&2; fail "lines that open other files, under Wine"; }
for name in 'a.: read as' 'b : read as' 'x.: read as' 'aux.c: read as \\.\aux' 'NUL.txt: read as \\.\nul' 'con: read as \\.\con'; do
    has "obeygen-cli: builder-name: $w\ROFS\\$name"
done

# What stands in the lock's or the list's place is never followed, written or
# deleted; the source is the folder named, its lines in the ordinary form;
# patterns and the program's own names ignore case; a missing DIR is named
# as itself.
[ -e ROFS_bak.obey ] || cp window.obey ROFS_bak.obey  # a backup to keep, made natively otherwise
echo thesis >thesis.doc && mv ROFS.obey keep.obey && cp ROFS_bak.obey bak.want
for make in "ln -s thesis.doc ROFS.obey.lock" "cp thesis.doc ROFS.obey.lock" "ln -s thesis.doc ROFS.obey"; do
    $make
    expect 1 wine "$cli_exe" "$here"
    [ "$(cat thesis.doc "${make##* }")" = "$(printf 'thesis\nthesis')" ] && cmp ROFS_bak.obey bak.want ||
        fail "$make, under Wine"
    rm "${make##* }"
done
mv keep.obey ROFS.obey
mkdir "ROFS " && touch "ROFS /sp.txt"
# A source folder the builder reads as another ("ROFS " opens "ROFS")
# fails the click, named: no line of it would name its file.
for source in "ROFS " "\\\\?\\$here\\ROFS "; do
    expect 1 wine "$cli_exe" -s "$source" -o -
    has "obeygen-cli: error: $here\\ROFS : "
done
expect 1 wine "$cli_exe" -s "ROFS." -o -
expect 0 wine "$cli_exe" -o - --exclude '*.TXT'
[ -z "$(grep ^file= "$work/out")" ] || fail "--exclude ignoring case, under Wine"
mkdir -p own/sub && touch own/sub/out.obey
expect 0 wine "$cli_exe" -s own -o 'own\out.obey' && expect 0 wine "$cli_exe" -s own -o 'own\OUT.OBEY'
[ "$(grep -c ^file= own/out.obey)" = 1 ] || fail "the program's own files of another case, under Wine"
expect 1 wine "$cli_exe" "$here\\none"
has "obeygen-cli: error: $here\\none: "

# A program folder with a space, read back; two names one to the builder.
mkdir -p "$work/新建 文件夹/ROFS"
touch "$work/新建 文件夹/ROFS/a b.txt" "$work/新建 文件夹/ROFS/癆.txt"
new_folder='Z:'"${work//\//\\}"'\新建 文件夹'
expect 0 wine "$cli_exe" "$new_folder"
expect 0 wine "$cli_exe" --check "$new_folder"
touch "$work/新建 文件夹/ROFS/癮.txt"
expect 3 wine "$cli_exe" "$new_folder"
iconv -f gbk -t utf-8 "$work/err" | grep -qF "name-clash: $new_folder\ROFS\癮.txt: same name in the image as $new_folder\ROFS\癆.txt" ||
    fail "a clash in the code page's bytes, under Wine"
expect 3 wine "$cli_exe" --check "$new_folder\ROFS.obey"
iconv -f gbk -t utf-8 "$work/err" | grep -qF "duplicate: $new_folder\\ROFS.obey:5: \\癮.txt: same name in the image as line 4" ||
    fail "--check under Wine"
x86_64-w64-mingw32-objdump -p "$cli_exe" >"$work/headers"
grep -q "Subsystem.*(Windows CUI)" "$work/headers" || fail "not a console program"
for type in 14 16; do [ -n "$(wrestool -l --type=$type "$cli_exe")" ] || fail "no icon or version block"; done
echo "obeygen-cli.exe: the window's lines, code page problems, quoting and --check, a console program with its resources"

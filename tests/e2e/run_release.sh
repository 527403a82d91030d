#!/usr/bin/env bash
# The release: the same bytes from two copies of the sources built apart;
# stripped programs, the Windows ones of system DLLs alone; each archive,
# unpacked beside a ROFS folder, lists it byte for byte (the zip's under Wine,
# code page 936); the Debian package installed for real, both programs run
# from /usr/bin (the window on a virtual display), and removed.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d /tmp/obey-release.XXXXXX)"
installed=""
cleanup() {
    set +e  # whatever is left to stop, the suite's status stands
    [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
    [ -n "$installed" ] && dpkg -r obeygen >/dev/null 2>&1
    [ -n "${xvfb_pid:-}" ] && stop_desktop
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
# The archives' files are owned by whoever packs them, and a release is root's.
[ "$(id -u)" = 0 ] || { echo "SKIPPED: packing a release needs root"; exit 77; }
cd "$work"

for copy in a b; do
    mkdir $copy && tar -C "$root" --exclude=./{build,dist,bench/trees,.git} -cf - . | tar -C $copy -xf -
    $copy/scripts/release.sh --no-setup >/dev/null
done
cmp a/dist/release/SHA256SUMS b/dist/release/SHA256SUMS || fail "two builds of the same sources differ"
version="$(sed -n 's/^project(ObeyGen VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
zip="a/dist/release/ObeyGen-$version-win64.zip" tgz="a/dist/release/obeygen-$version-linux-x86_64.tar.gz"
deb="a/dist/release/obeygen_${version}_amd64.deb"
[ "$(cd a/dist/release && ls | tr '\n' ' ')" = \
    "ObeyGen-$version-win64.zip SHA256SUMS obeygen-$version-linux-x86_64.tar.gz obeygen_${version}_amd64.deb " ] ||
    fail "the release's files: $(ls a/dist/release)"
[ "$(unzip -Z1 "$zip" | tr '\n' ' ')" = "ObeyGen.exe README.txt obeygen-cli.exe " ] || fail "the zip's files"
# The tarball unpacks into one folder of its own.
top="obeygen-$version-linux-x86_64"
[ "$(tar -tvzf "$tgz" --numeric-owner | awk '{print $1, $2, $6}' | tr '\n' ' ')" = \
    "-rw-r--r-- 0/0 $top/README.txt -rwxr-xr-x 0/0 $top/obeygen -rwxr-xr-x 0/0 $top/obeygen-cli " ] ||
    fail "the tarball's files"
mkdir win unpacked && unzip -q "$zip" -d win && tar -C unpacked -xzf "$tgz" && mv "unpacked/$top" linux
# Each archive's text is its platform's own.
grep -q 'obeygen-cli.exe' linux/README.txt && fail "the Linux README.txt speaks of .exe files"
grep -q 'GTK 3' win/README.txt && fail "the Windows README.txt speaks of GTK"
for exe in linux/obeygen linux/obeygen-cli; do nm "$exe" 2>&1 | grep -q "no symbols" || fail "$exe not stripped"; done
# The oldest system README.txt names is the one the programs' symbol
# versions call for.
glibc="$(objdump -T linux/obeygen linux/obeygen-cli | grep -o 'GLIBC_2\.[0-9]*' | sort -uV | tail -n 1)"
grep -q "glibc ${glibc#GLIBC_} " linux/README.txt || fail "README.txt does not name $glibc as the oldest glibc"
for exe in win/ObeyGen.exe win/obeygen-cli.exe; do
    x86_64-w64-mingw32-nm "$exe" 2>&1 | grep -q "no symbols" || fail "$exe not stripped"
    x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' >dlls
    grep -q KERNEL32 dlls && ! grep -viE '^(kernel32|msvcrt|user32|gdi32|comctl32|shcore)\.dll$' dlls ||
        fail "$exe imports DLLs beyond the system's: $(cat dlls)"
done

# Unpacked beside a ROFS folder, the command-line programs list it.
for dir in win linux; do mkdir -p $dir/ROFS/sys/bin && echo x >$dir/ROFS/说明.txt && echo x >$dir/ROFS/sys/bin/a.dll; done
(cd linux && ./obeygen-cli 2>/dev/null)
printf 'rofsname=CG33.smg\r\nrofssize=0x40000000\r\nfile=%s/ROFS/说明.txt    /说明.txt\r\nfile=%s/ROFS/sys/bin/a.dll    /sys/bin/a.dll\r\n' \
    "$work/linux" "$work/linux" >expected
cmp linux/ROFS.obey expected || fail "the Linux list"
export WINEPREFIX="$work/wine" WINEDEBUG=-all LANG=zh_CN.UTF-8
wine wineboot -i >/dev/null 2>&1
(cd win && wine obeygen-cli.exe 2>/dev/null)
win="Z:${work//\//\\}\\win"
printf 'rofsname=CG33.smg\r\nrofssize=0x40000000\r\nfile=%s\\ROFS\\说明.txt    \\说明.txt\r\nfile=%s\\ROFS\\sys\\bin\\a.dll    \\sys\\bin\\a.dll\r\n' \
    "$win" "$win" | iconv -f utf-8 -t gbk >expected
cmp win/ROFS.obey expected || fail "the Windows list"

# The Debian package: the programs in /usr/bin, the desktop entry and the
# icon, its dependencies found in the programs; installed for real.
[ "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $1, $2, $6}' | tr '\n' ' ')" = \
    "-rwxr-xr-x root/root ./usr/bin/obeygen -rwxr-xr-x root/root ./usr/bin/obeygen-cli \
-rw-r--r-- root/root ./usr/share/applications/obeygen.desktop \
-rw-r--r-- root/root ./usr/share/doc/obeygen/README.txt \
-rw-r--r-- root/root ./usr/share/icons/hicolor/48x48/apps/obeygen.png " ] || fail "the package's files"
dpkg-deb -f "$deb" Depends | grep -q 'libc6 (>= .*libgtk-3-0' || fail "the package's dependencies"
! dpkg -s obeygen >/dev/null 2>&1 || fail "obeygen is installed here already: the suite installs its own"
installed=1 && dpkg -i "$deb" >/dev/null || fail "dpkg -i $deb"
mkdir -p installed/ROFS/sys/bin && echo x >installed/ROFS/说明.txt && echo x >installed/ROFS/sys/bin/a.dll
printf 'rofsname=CG33.smg\r\nrofssize=0x40000000\r\nfile=%s/ROFS/说明.txt    /说明.txt\r\nfile=%s/ROFS/sys/bin/a.dll    /sys/bin/a.dll\r\n' \
    "$work/installed" "$work/installed" >expected
(cd installed && obeygen-cli 2>/dev/null) && cmp installed/ROFS.obey expected || fail "/usr/bin/obeygen-cli"
[ "$(command -v obeygen-cli)" = /usr/bin/obeygen-cli ] || fail "obeygen-cli is not the one in /usr/bin"
# The window, started from the folder that holds ROFS, lists it there.
rm installed/ROFS.obey
if command -v Xvfb >/dev/null; then
    source "$root/tests/e2e/desktop.sh"
    start_desktop || fail "no virtual display"
    (cd installed && exec env LANG=zh_CN.UTF-8 NO_AT_BRIDGE=1 GDK_BACKEND=x11 /usr/bin/obeygen \
        >"$work/window.log" 2>&1) &
    program_pid=$!
    form="" && wait_for_windows 1 && form="$box" && press_key "$form" Return &&
        wait_until "no list" cmp -s installed/ROFS.obey expected && wmctrl -i -c "$form" && wait_for_exit ||
        fail "/usr/bin/obeygen: $(cat "$work/window.log")"
    [ "$exit_status" = 0 ] || fail "/usr/bin/obeygen ended with status $exit_status"
fi
dpkg -r obeygen >/dev/null && installed="" || fail "dpkg -r obeygen"
[ ! -e /usr/bin/obeygen ] && [ ! -e /usr/share/applications/obeygen.desktop ] || fail "dpkg -r left files"
echo "release: the same archives twice, stripped, system DLLs only; their lists byte for byte;" \
    "the Debian package installed, run from /usr/bin and removed"

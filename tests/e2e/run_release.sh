#!/usr/bin/env bash
# The release archives: the same bytes from two copies of the sources built
# apart; stripped programs, the Windows ones of system DLLs alone; each
# archive, unpacked beside a ROFS folder, lists it byte for byte (the zip's
# under Wine, code page 936).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d /tmp/obey-release.XXXXXX)"
trap '[ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
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
[ "$(unzip -Z1 "$zip" | tr '\n' ' ')" = "ObeyGen.exe README.txt obeygen-cli.exe " ] || fail "the zip's files"
[ "$(tar -tvzf "$tgz" --numeric-owner | awk '{print $1, $2, $6}' | tr '\n' ' ')" = \
    "-rw-r--r-- 0/0 README.txt -rwxr-xr-x 0/0 obeygen -rwxr-xr-x 0/0 obeygen-cli " ] || fail "the tarball's files"
mkdir win linux && unzip -q "$zip" -d win && tar -C linux -xzf "$tgz"
# Each archive's text is its platform's own.
grep -q 'obeygen-cli.exe' linux/README.txt && fail "the Linux README.txt speaks of .exe files"
grep -q 'GTK 3' win/README.txt && fail "the Windows README.txt speaks of GTK"
for exe in linux/obeygen linux/obeygen-cli; do nm "$exe" 2>&1 | grep -q "no symbols" || fail "$exe not stripped"; done
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
echo "release: the same archives twice, stripped, system DLLs only; their lists byte for byte"

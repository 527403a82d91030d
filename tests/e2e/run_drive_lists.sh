#!/usr/bin/env bash
# The driver on the sample tree natively and under Wine, and on folder links
# under Wine. Whole benchmark trees against the model's lists: run_bench_quick.sh.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d /tmp/obey-drive.XXXXXX)"
trap 'rm -rf "$work"; [ -n "${WINEPREFIX:-}" ] && { wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"; }' EXIT

# The sample tree, natively and under Wine: a.txt in ROFS, b.dll in sys/bin.
mkdir -p "$work/tool/ROFS/sys/bin"
echo a > "$work/tool/ROFS/a.txt"
echo b > "$work/tool/ROFS/sys/bin/b.dll"
"$root/build/linux/obey_drive" "$work/tool" 2 > /dev/null
printf 'rofsname=CG33.smg\r\nrofssize=0x40000000\r\nfile=%s/ROFS/a.txt    /a.txt\r\nfile=%s/ROFS/sys/bin/b.dll    /sys/bin/b.dll\r\n' \
    "$work/tool" "$work/tool" > "$work/one"
cat "$work/one" > "$work/two"
tail -n 2 "$work/one" >> "$work/two"
cmp "$work/tool/ROFS.obey" "$work/two"
# A relative program directory gives the same full paths.
(cd "$work" && "$root/build/linux/obey_drive" ./tool//. > /dev/null)
cmp "$work/tool/ROFS.obey" "$work/one"
rm "$work/tool/ROFS.obey"

export WINEPREFIX="$(mktemp -d /tmp/obey-wine.XXXXXX)" WINEDEBUG=-all LANG=C.UTF-8
wine wineboot -i >/dev/null 2>&1
winroot="Z:$(echo "$work/tool" | tr / '\\')"
wine "$root/build/win64/obey_drive.exe" "$winroot" > /dev/null
printf 'rofsname=CG33.smg\r\nrofssize=0x40000000\r\nfile=%s\\ROFS\\a.txt    \\a.txt\r\nfile=%s\\ROFS\\sys\\bin\\b.dll    \\sys\\bin\\b.dll\r\n' \
    "$winroot" "$winroot" > "$work/win"
cmp "$work/tool/ROFS.obey" "$work/win"
echo "sample tree: lists identical natively and under Wine"

# Folder links under Wine: a link back to an ancestor is skipped and
# reported, a link to a folder outside the tree is walked under its own path.
mkdir -p "$work/links/ROFS/a" "$work/outside"
echo x > "$work/links/ROFS/a/f.txt"
echo o > "$work/outside/o.txt"
ln -s .. "$work/links/ROFS/a/up"
ln -s "$work/outside" "$work/links/ROFS/ext"
winlinks="Z:$(echo "$work/links" | tr / '\\')"
wine "$root/build/win64/obey_drive.exe" "$winlinks" > "$work/links.out"
printf 'rofsname=CG33.smg\r\nrofssize=0x40000000\r\nfile=%s\\ROFS\\a\\f.txt    \\a\\f.txt\r\nfile=%s\\ROFS\\ext\\o.txt    \\ext\\o.txt\r\n' \
    "$winlinks" "$winlinks" > "$work/links.expected"
cmp "$work/links/ROFS.obey" "$work/links.expected"
grep -qF "folder loop, skipped: $winlinks\\ROFS\\a\\up" "$work/links.out"
echo "folder links under Wine: loop skipped and reported, outside folder walked"

# A failing operation exits non-zero with the error's number and description.
rm -rf "$work/tool/ROFS"
if "$root/build/linux/obey_drive" "$work/tool" > /dev/null 2> "$work/err"; then
    echo "a click without ROFS succeeded" >&2
    exit 1
fi
grep -q "click failed: error 2: " "$work/err"

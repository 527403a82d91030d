#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds the programs and installs them into
# dist/ (the windows dist/obeygen and dist/windows/ObeyGen.exe, the
# command-line programs dist/obeygen-cli and dist/windows/obeygen-cli.exe,
# each folder with its README.txt) and starts the Linux window. The first
# time, it puts a small example ROFS folder beside each window, dist/ROFS and
# dist/windows/ROFS, so that the first press makes a real list beside it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

if [ "$(id -u)" = 0 ]; then
    scripts/setup.sh
elif command -v sudo >/dev/null; then
    sudo scripts/setup.sh
else
    scripts/setup.sh || {
        echo "run: the set-up needs root to install packages: run scripts/setup.sh as root" >&2
        exit 1
    }
fi
# The programs alone: no tests, no GoogleTest.
scripts/build.sh linux-program windows-program

# A release's layout (cmake/packaging.cmake): the programs, stripped, and
# README.txt.
cmake --install build/linux-program --prefix dist --strip >/dev/null
cmake --install build/win64-program --prefix dist/windows --strip >/dev/null

# Each window lists the ROFS folder beside itself.
for rofs in dist/ROFS dist/windows/ROFS; do
    if [ ! -e "$rofs" ]; then
        mkdir -p "$rofs/sys/bin" "$rofs/resource/apps" "$rofs/文档"
        printf 'example\n' >"$rofs/readme.txt"
        printf 'example\n' >"$rofs/sys/bin/hello.exe"
        printf 'example\n' >"$rofs/resource/apps/hello.rsc"
        printf '示例\n' >"$rofs/文档/说明.txt"
        echo "run: made an example source folder, $rofs"
    fi
done

echo "run: built dist/obeygen, dist/obeygen-cli and dist/windows/ (ObeyGen.exe, obeygen-cli.exe)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat >&2 <<'TEXT'
run: there is no display to open the window on ($DISPLAY is not set).
  - On a desktop, run scripts/run.sh from a terminal inside the desktop session.
  - Over ssh, connect with "ssh -X" (or -Y) so that the window opens on your screen.
  - On a machine without any screen, "xvfb-run -a scripts/run.sh" runs it on a
    virtual display; it is then invisible, so this is only good for a check.
The programs are built: dist/obeygen and dist/obeygen-cli (Linux), dist/windows/ObeyGen.exe
and dist/windows/obeygen-cli.exe (Windows). Without a display, try the command line:
  cd dist && ./obeygen-cli
TEXT
    exit 2
fi
echo "run: starting dist/obeygen; press 点击生成文件, then close the window and read dist/ROFS.obey"
exec dist/obeygen

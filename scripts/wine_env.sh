#!/usr/bin/env bash
# Runs a Windows program under Wine the way the unit tests expect; the Windows
# build's CROSSCOMPILING_EMULATOR (cmake/mingw-w64-x86_64.cmake), so CTest
# lists and runs the Windows tests through it.
#   wine_env.sh PROGRAM.exe [ARGUMENT...]
# The prefix is $WINEPREFIX (scripts/test.sh makes a fresh one for each run),
# else build/wine-prefix, made on first use.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$root/build/wine-prefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A fixed locale gives a known ANSI code page (1252) for the encoding cases,
# with UTF-8 file names on the host.
export LANG=C.UTF-8 LC_ALL=
# The program writes CR LF; CTest reads its list of tests by LF lines.
wine "$@" | tr -d '\r'

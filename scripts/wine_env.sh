#!/usr/bin/env bash
# Runs the Windows unit tests under Wine in a temporary prefix.
# Usage: wine_env.sh run NAME
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
name="${2:-unit tests (Windows, under Wine)}"
prefix="$(mktemp -d /tmp/obey-wine.XXXXXX)"
trap 'wineserver -k >/dev/null 2>&1; rm -rf "$prefix"' EXIT
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A fixed locale gives a known ANSI code page (1252) for the encoding cases, with UTF-8 file names on the host.
export LANG=C.UTF-8 LC_ALL=
echo "=== $name"
wine wineboot -i >/dev/null 2>&1
if wine "$root/build/win64/tests/obey_tests.exe"; then
    echo "=== $name: passed"
    exit 0
fi
echo "=== $name: FAILED"
exit 1

#!/usr/bin/env bash
# Builds the Linux programs into build/linux and the Windows ones into
# build/win64.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"

cmake -S "$root" -B "$root/build/linux" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build/linux" -j "$jobs"

cmake -S "$root" -B "$root/build/win64" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$root/build/win64" -j "$jobs"

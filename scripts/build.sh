#!/usr/bin/env bash
# Builds the Linux programs into build/linux and the Windows ones into
# build/win64.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"

# Everything on, whatever an earlier configuration of these folders left.
options=(-DCMAKE_BUILD_TYPE=Release -DOBEY_BUILD_WINDOW=ON -DOBEY_BUILD_TESTS=ON)

cmake -S "$root" -B "$root/build/linux" -G "Unix Makefiles" "${options[@]}" >/dev/null
cmake --build "$root/build/linux" -j "$jobs"

cmake -S "$root" -B "$root/build/win64" -G "Unix Makefiles" "${options[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$root/build/win64" -j "$jobs"

#!/usr/bin/env bash
# Configures and builds CMake presets (CMakePresets.json), by default the two
# programs alone: build/linux-program/window/obeygen and
# build/win64-program/window/ObeyGen.exe.
#   scripts/build.sh [PRESET...]
# OBEY_JOBS sets how many compilers run at once (default: one per core).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
jobs="${OBEY_JOBS:-$(nproc)}"

(($#)) || set -- linux-program windows-program
for preset in "$@"; do
    echo "build: $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --parallel "$jobs"
done

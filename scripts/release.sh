#!/usr/bin/env bash
# Makes the release from these sources: sets up a fresh Debian machine, builds
# the programs alone (presets linux-program and windows-program, no tests)
# and packs them with CPack into a folder of their own, apart from what
# scripts/run.sh leaves in dist/:
#   dist/release/ObeyGen-VERSION-win64.zip             ObeyGen.exe, obeygen-cli.exe, README.txt
#   dist/release/obeygen-VERSION-linux-x86_64.tar.gz   obeygen-VERSION-linux-x86_64/: obeygen,
#                                                      obeygen-cli, README.txt
#   dist/release/obeygen_VERSION_amd64.deb             the same for Debian: /usr/bin, a
#                                                      desktop entry and the icon
# and dist/release/SHA256SUMS. The same sources give the same bytes, wherever
# and whenever they are built (cmake/packaging.cmake), so anyone can check them.
# Run as root: the archives' entries are owned by whoever packs them.
#   scripts/release.sh [--no-setup]   (--no-setup: the packages are there already)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

if [ "$(id -u)" != 0 ]; then
    echo "release: run as root (the set-up installs packages; the archives' files are root's)" >&2
    exit 1
fi
[ "${1:-}" = --no-setup ] || scripts/setup.sh
scripts/build.sh linux-program windows-program

rm -rf build/release
for build in build/linux-program build/win64-program; do
    cpack --config "$build/CPackConfig.cmake" -B build/release >/dev/null
done
rm -rf dist/release
mkdir -p dist/release
archives=()
for archive in build/release/*.zip build/release/*.tar.gz build/release/*.deb; do
    cp "$archive" dist/release/
    archives+=("${archive##*/}")
done
(cd dist/release && sha256sum "${archives[@]}" >SHA256SUMS && cat SHA256SUMS)
echo "release: made these files:"
printf '  dist/release/%s\n' "${archives[@]}" SHA256SUMS

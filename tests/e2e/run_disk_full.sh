#!/usr/bin/env bash
# The disk fills while the list is written: a real filesystem of 64 KiB holds
# the program directory and a tree whose list needs far more. The click must
# fail with the system's own description, and every line that reached the
# disk must be a line of the full list, in order.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d /tmp/obey-full.XXXXXX)"
cleanup() {
    umount "$work/small" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/small" "$work/roomy/ROFS"
mount -t tmpfs -o size=64k tmpfs "$work/small"
mkdir "$work/small/ROFS"
# Empty files take no blocks: the list alone fills the disk.
for i in $(seq 1 1500); do
    : > "$work/small/ROFS/file-with-a-long-name-to-fill-the-list-quickly-$i.bin"
done

if "$root/build/linux/obey_drive" "$work/small" > "$work/out" 2> "$work/err"; then
    echo "the click succeeded on a full disk" >&2
    exit 1
fi
grep -q "click failed: error 28: No space left on device" "$work/err"

# The same tree on a disk with room gives the full list to compare with.
cp -r "$work/small/ROFS" "$work/roomy/"
"$root/build/linux/obey_drive" "$work/roomy" > /dev/null
python3 - "$work/small/ROFS.obey" "$work/roomy/ROFS.obey" "$work/small" "$work/roomy" <<'PY'
import sys
got = open(sys.argv[1], "rb").read()
full = open(sys.argv[2], "rb").read().replace(sys.argv[4].encode(), sys.argv[3].encode())
assert len(got) > 60000, "the disk was not filled: %d bytes" % len(got)
assert full.startswith(got), "the list on the full disk is not a prefix of the full list"
print("disk full: %d bytes kept, all of them the list's own" % len(got))
PY

#!/usr/bin/env bash
# The benchmark on seconds-long trees: proves that it still builds its trees,
# runs the program and both peers, and that every list the program writes
# there is the one expected, with no allocation per file. Its timings are not
# judged here.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
exec "$root/bench/run.sh" --quick --build "$root/build/linux"

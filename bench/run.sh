#!/usr/bin/env bash
# Times the program's list generation (obey_drive) against GNU find and bfs
# writing the same lines for the same trees, warm cache, taking turns run by
# run, and prints one table of medians; the full run saves it with the
# machine's description under bench/results/.
#
#   bench/run.sh [--quick] [--runs N] [--trees "small large wide deep"]
#                [--build DIR] [--work DIR]
#
# --quick uses seconds-long trees in a temporary folder, checks every output
# and the allocation bound, and saves nothing: it proves the benchmark works.
# Every run of every tool is checked; any wrong list or failing tool ends the
# script with status 1.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

quick=0
runs=""
trees=""
build="$root/build/bench"
work=""
while (($#)); do
    case "$1" in
        --quick) quick=1 ;;
        --runs) runs="$2"; shift ;;
        --trees) trees="$2"; shift ;;
        --build) build="$2"; shift ;;
        --work) work="$2"; shift ;;
        *) echo "usage: bench/run.sh [--quick] [--runs N] [--trees LIST] [--build DIR] [--work DIR]" >&2
           exit 2 ;;
    esac
    shift
done
if ((quick)); then
    runs="${runs:-3}"
    trees="${trees:-tiny tiny-wide tiny-deep}"
else
    runs="${runs:-15}"
    trees="${trees:-small large wide deep}"
fi

fail() {
    echo "bench: $*" >&2
    exit 1
}

for tool in find bfs /usr/bin/time; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup.sh installs it)"
done

# A build of its own, without the tests, unless one is named.
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DOBEY_BUILD_TESTS=OFF \
        -DOBEY_BUILD_WINDOW=OFF >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target obey_drive make_trees alloc_probe >/dev/null
drive="$build/obey_drive"
make_trees="$build/bench/make_trees"
alloc_probe="$build/bench/alloc_probe"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
if [ -z "$work" ]; then
    if ((quick)); then
        work="$scratch/trees"
    else
        work="$root/bench/trees"
    fi
fi
mkdir -p "$work"
work="$(cd "$work" && pwd -P)"

# A tree is built once and kept while its marker says it is whole.
tree_dir() {
    local kind="$1" dir="$work/$1"
    if [ ! -f "$dir/tree.done" ] || [ "$(cut -d' ' -f1 "$dir/tree.done")" != "$kind" ]; then
        rm -rf "$dir"
        echo "bench: building the $kind tree" >&2
        "$make_trees" "$kind" "$dir" >&2 || fail "building the $kind tree failed"
    fi
    echo "$dir"
}

# The peers cannot give the program's order, so their lines are checked as a
# set against the expected list.
check_peer() {
    local name="$1" out="$2" dir="$3"
    if ! cmp -s <(LC_ALL=C sort "$out") <(tail -n +3 "$dir/expected.obey" | LC_ALL=C sort); then
        fail "$name wrote other lines than the expected list for $(basename "$dir")"
    fi
}

# One timed run: wall clock around /usr/bin/time, user, sys and peak RSS from
# it. Prints "wall_ms user_ms sys_ms rss_kib".
timed() {
    local stats="$scratch/stats" start end
    start=$EPOCHREALTIME
    if ! /usr/bin/time -v -o "$stats" "$@"; then
        return 1
    fi
    end=$EPOCHREALTIME
    awk -v start="$start" -v end="$end" '
        /User time \(seconds\)/ { user = $NF }
        /System time \(seconds\)/ { sys = $NF }
        /Maximum resident set size/ { rss = $NF }
        END { printf "%.3f %.0f %.0f %d\n", (end - start) * 1000, user * 1000, sys * 1000, rss }
    ' "$stats"
}

run_program() {
    local dir="$1" files="$2"
    rm -f "$dir/ROFS.obey" "$dir/ROFS_bak.obey"
    timed "$drive" "$dir" >"$scratch/program.log" <"$scratch/program.report" || fail "obey_drive failed on $dir"
}

run_tool() {
    local tool="$1" dir="$2" files="$3" result
    case "$tool" in
        program)
            rm -f "$dir/ROFS.obey" "$dir/ROFS_bak.obey"
            result="$(timed "$drive" "$dir" 1 3>&1 >"$scratch/report")" ||
                fail "obey_drive failed on $dir: $(cat "$scratch/report")"
            cmp -s "$dir/ROFS.obey" "$dir/expected.obey" ||
                fail "the program's list of $(basename "$dir") differs from the expected list"
            grep -qx "click 1: $files file lines, 0 problems" "$scratch/report" ||
                fail "obey_drive reported: $(head -3 "$scratch/report")"
            ;;
        find | bfs)
            rm -f "$dir/$tool.out"
            result="$(timed "$tool" "$dir/ROFS" -type f -printf 'file=%p    /%P\r\n' \
                3>&1 >"$dir/$tool.out")" || fail "$tool failed on $dir"
            ;;
    esac
    echo "$result"
}

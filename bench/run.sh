#!/usr/bin/env bash
# Times the program's list generation (obey_drive, with its read-ahead and
# as the one-thread walk) against GNU find and bfs writing the same lines for
# the same trees, warm cache, taking turns run by run, and prints one table of
# medians; the full run saves it with the machine's description under
# bench/results/. The tree "share" is the small tree seen through slowfs, which
# holds back every folder opening and listing by 1 ms, as a network share does.
#
#   bench/run.sh [--quick] [--runs N] [--trees "small large wide deep share"]
#                [--build DIR] [--work DIR] [--baseline DIR]
#
# --baseline DIR times the obey_drive of another build (another branch's,
# built alone) as one more tool, "baseline", in the same turns.
#
# --quick uses seconds-long trees in a temporary folder (the share over the
# tiny tree), checks every output and the allocation bound, and saves nothing:
# it proves the benchmark works. Every run of every tool is checked; any wrong
# list or failing tool ends the script with status 1.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

quick=0
runs=""
trees=""
build="$root/build/bench"
work=""
baseline=""
while (($#)); do
    case "$1" in
        --quick) quick=1 ;;
        --runs) runs="$2"; shift ;;
        --trees) trees="$2"; shift ;;
        --build) build="$2"; shift ;;
        --work) work="$2"; shift ;;
        --baseline) baseline="$2"; shift ;;
        *) echo "usage: bench/run.sh [--quick] [--runs N] [--trees LIST] [--build DIR] [--work DIR] [--baseline DIR]" >&2
           exit 2 ;;
    esac
    shift
done
if ((quick)); then
    runs="${runs:-3}"
    trees="${trees:-tiny tiny-wide tiny-deep share}"
    share_base=tiny
    share_runs=1
else
    runs="${runs:-21}"
    trees="${trees:-small large wide deep share}"
    share_base=small
    # A run on the share takes seconds.
    share_runs=$((runs < 5 ? runs : 5))
fi

fail() {
    echo "bench: $*" >&2
    exit 1
}

share=0
[[ " $trees " == *" share "* ]] && share=1
# Without FUSE (a container without /dev/fuse) the share cannot be mounted:
# the quick run times the rest and then says it skipped the share (status 77).
share_skipped=""
if ((share && quick)) && [ ! -c /dev/fuse ]; then
    share=0
    trees="$(sed 's/\bshare\b//' <<<"$trees")"
    share_skipped="no /dev/fuse to mount the share tree on"
fi
for tool in find bfs /usr/bin/time; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup.sh installs it)"
done
((share)) && { command -v fusermount3 >/dev/null || fail "fusermount3 is missing (scripts/setup.sh installs fuse3)"; }

# A build of its own, without the tests, unless one is named.
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DOBEY_BUILD_TESTS=OFF \
        -DOBEY_BUILD_WINDOW=OFF >/dev/null
fi
targets=(obey_drive obeygen-cli make_trees alloc_probe)
if ((share)); then
    # The build makes slowfs only where it found libfuse3.
    grep -q '^FUSE3_FOUND:INTERNAL=1$' "$build/CMakeCache.txt" ||
        fail "$build has no slowfs for the share: libfuse3 is missing (scripts/setup.sh installs libfuse3-dev)"
    targets+=(slowfs)
fi
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}" >/dev/null
drive="$build/obey_drive"
cli="$build/cli/obeygen-cli"
make_trees="$build/bench/make_trees"
alloc_probe="$build/bench/alloc_probe"
slowfs="$build/slowfs"

scratch="$(mktemp -d)"
scratch="$(cd "$scratch" && pwd -P)"
share_mount=""
share_pid=""
# No mount is left behind, however the script ends.
cleanup() {
    if [ -n "$share_mount" ]; then
        fusermount3 -u "$share_mount" 2>/dev/null ||
            { fusermount3 -uz "$share_mount" 2>/dev/null; kill "$share_pid" 2>/dev/null; }
        wait "$share_pid" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
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

# Mounts TREE/ROFS through slowfs at DIR/ROFS, 1 ms per folder opening and
# per listing, and writes DIR/expected.obey: TREE's expected list with DIR in
# its host paths.
mount_share() {
    local tree="$1" dir="$2" attempt
    mkdir -p "$dir/ROFS"
    share_mount="$dir/ROFS"
    "$slowfs" "$tree/ROFS" "$share_mount" 1 1 >/dev/null 2>"$scratch/slowfs.err" &
    share_pid=$!
    for ((attempt = 0; attempt < 100; ++attempt)); do
        mountpoint -q "$share_mount" && break
        kill -0 "$share_pid" 2>/dev/null || fail "slowfs failed: $(cat "$scratch/slowfs.err")"
        sleep 0.05
    done
    mountpoint -q "$share_mount" || fail "slowfs did not mount $share_mount in 5 s"
    # A host path with a space is quoted: its line opens with file=".
    old="$tree/ROFS/" new="$dir/ROFS/" LC_ALL=C awk '
        BEGIN { old = ENVIRON["old"]; new = ENVIRON["new"] }
        {
            for (start = 6; start <= 7; ++start) {
                if (index(substr($0, start), old) == 1) {
                    $0 = substr($0, 1, start - 1) new substr($0, start + length(old))
                    break
                }
            }
            print
        }' "$tree/expected.obey" >"$dir/expected.obey"
}

# The peers cannot give the program's order, so their lines are checked as a
# set against the expected list; nor can they quote a path with a space only
# where it has one, so the list's quotes are left out (no tree name holds one).
check_peer() {
    local name="$1" out="$2" dir="$3"
    if ! cmp -s <(LC_ALL=C sort "$out") <(tail -n +3 "$dir/expected.obey" | tr -d '"' | LC_ALL=C sort); then
        fail "$name wrote other lines than the expected list for $(basename "$dir")"
    fi
}

# One timed run of a command whose standard output goes to the file out:
# wall from the shell's microsecond clock, user and sys from its own timer
# (millisecond grain, where /usr/bin/time gives ten), peak RSS from
# /usr/bin/time -v. Prints "wall_ms user_ms sys_ms rss_kib".
timed() {
    local out="$1" stats="$scratch/stats" times="$scratch/times" TIMEFORMAT='%3U %3S' start end
    shift
    start=$EPOCHREALTIME
    { time /usr/bin/time -v -o "$stats" "$@" >"$out"; } 2>"$times" || {
        cat "$times" >&2
        return 1
    }
    end=$EPOCHREALTIME
    tail -1 "$times" | awk -v rss="$(awk '/Maximum resident set size/ { print $NF }' "$stats")" \
        -v start="$start" -v end="$end" \
        '{ printf "%.3f %.0f %.0f %d\n", (end - start) * 1000, $1 * 1000, $2 * 1000, rss }'
}

# Runs one tool on a tree and checks what it wrote; prints timed's line.
run_tool() {
    local tool="$1" dir="$2" files="$3" result
    case "$tool" in
        program | one-thread | cli | baseline)
            local command=("$drive")
            [ "$tool" = one-thread ] && command+=(--read-threads 0)
            [ "$tool" = cli ] && command=("$cli")
            [ "$tool" = baseline ] && command=("$baseline/obey_drive")
            # A list left by the run before would be copied to the backup.
            rm -f "$dir/ROFS.obey" "$dir/ROFS_bak.obey"
            result="$(timed "$scratch/report" "${command[@]}" "$dir")" ||
                fail "${command[*]##*/} failed on $dir: $(head -3 "$scratch/report")"
            cmp -s "$dir/ROFS.obey" "$dir/expected.obey" ||
                fail "the $tool list of $(basename "$dir") differs from the expected list"
            # obeygen-cli prints nothing on its standard output.
            [ "$tool" = cli ] || grep -qx "click 1: $files file lines, 0 problems" "$scratch/report" ||
                fail "${command[*]##*/} reported: $(head -3 "$scratch/report")"
            ;;
        find | bfs)
            rm -f "$dir/$tool.out"
            result="$(timed "$dir/$tool.out" "$tool" "$dir/ROFS" -type f \
                -printf 'file=%p    /%P\r\n')" || fail "$tool failed on $dir"
            ;;
    esac
    echo "$result"
}

# Median of the numbers given.
median() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
        print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# KiB as MiB.
mib() { awk -v k="$1" 'BEGIN { printf "%.2f", k / 1024 }'; }

declare -A wall user sys rss spread ratio allocations files folders kind_tools
load_before="$(cut -d' ' -f1-3 /proc/loadavg)"

for kind in $trees; do
    if [ "$kind" = share ]; then
        tree="$(tree_dir "$share_base")"
        dir="$scratch/share"
        mount_share "$tree" "$dir"
        tools=(program one-thread find bfs ${baseline:+baseline})
        turns=$share_runs
    else
        tree="$(tree_dir "$kind")"
        dir="$tree"
        tools=(program one-thread cli find bfs ${baseline:+baseline})
        turns=$runs
    fi
    kind_tools[$kind]="${tools[*]}"
    read -r _ _ files[$kind] folders[$kind] <"$tree/tree.done"
    # Warm the cache and check the peers' lines once; the program is checked
    # at every run.
    for tool in "${tools[@]}"; do
        run_tool "$tool" "$dir" "${files[$kind]}" >/dev/null
    done
    check_peer find "$dir/find.out" "$dir"
    check_peer bfs "$dir/bfs.out" "$dir"

    declare -A w=() u=() s=() m=()
    for ((run = 0; run < turns; ++run)); do
        for tool in "${tools[@]}"; do
            # A failed check exits only the command substitution: pass it on.
            line="$(run_tool "$tool" "$dir" "${files[$kind]}")" || exit 1
            read -r a b c d <<<"$line"
            w[$tool]+=" $a"; u[$tool]+=" $b"; s[$tool]+=" $c"; m[$tool]+=" $d"
        done
    done
    for tool in "${tools[@]}"; do
        key="$kind $tool"
        wall[$key]="$(median ${w[$tool]})"
        user[$key]="$(median ${u[$tool]})"
        sys[$key]="$(median ${s[$tool]})"
        rss[$key]="$(median ${m[$tool]})"
        spread[$key]="$(printf '%s\n' ${w[$tool]} | sort -g | sed -n '1p;$p' | paste -sd' ')"
        if [ "$tool" != program ]; then
            # Per round, program over peer, so that a slow spell of the
            # machine weighs on both sides of a ratio alike.
            ratio[$key]="$(median $(paste <(printf '%s\n' ${w[program]}) <(printf '%s\n' ${w[$tool]}) |
                awk '{ print $1 / $2 }'))"
        fi
    done
    # The share's allocations are its tree's, probed where it is listed itself.
    [ "$kind" = share ] && continue
    probe="$("$alloc_probe" "$dir")" || fail "alloc_probe failed on $dir"
    [ "$(cut -d' ' -f3-7 <<<"$probe")" = "${files[$kind]} file lines, 0 problems" ] ||
        fail "alloc_probe reported: $probe"
    allocations[$kind]="${probe%% *}"
done
load_after="$(cut -d' ' -f1-3 /proc/loadavg)"

table="$scratch/table"
{
    printf '%-10s %-10s %10s %11s %8s %8s %9s %7s\n' \
        tree tool "wall ms" "min-max" "user ms" "sys ms" "RSS MiB" ratio
    for kind in $trees; do
        for tool in ${kind_tools[$kind]}; do
            key="$kind $tool"
            read -r low high <<<"${spread[$key]}"
            printf '%-10s %-10s %10.1f %11s %8.0f %8.0f %9.2f %7s\n' "$kind" "$tool" \
                "${wall[$key]}" "$(printf '%.0f-%.0f' "$low" "$high")" "${user[$key]}" \
                "${sys[$key]}" "$(mib "${rss[$key]}")" \
                "$(printf "%s" "${ratio[$key]:-}" | awk "NF { printf \"%.2f\", \$1 }")"
        done
    done
    echo
    echo "wall: median of $runs runs per tool, taking turns (program, one-thread, cli, find, bfs)"
    echo "run by run, warm cache; ratio: median over the runs of program wall / peer wall in the"
    echo "same turn. one-thread: obey_drive --read-threads 0, the walk reading every folder itself."
    echo "Peers write the same lines in their own order; the program also sorts each folder."
    if [ -n "$baseline" ]; then
        echo "baseline: $baseline/obey_drive, as the program, taking its turn after bfs."
    fi
    if ((share)); then
        echo "share: the $share_base tree through slowfs (FUSE, requests served in parallel), 1 ms"
        echo "per folder opening and per listing; timed runs per tool: $share_runs."
    fi
    echo
    echo "heap allocations during one click (counting operator new):"
    for kind in $trees; do
        [ -n "${allocations[$kind]:-}" ] || continue
        awk -v k="$kind" -v a="${allocations[$kind]}" -v f="${files[$kind]}" -v d="${folders[$kind]}" \
            'BEGIN { printf "  %-10s %8d allocations  %7d files  %6d folders  %.3f per file  %.2f per folder\n",
                     k, a, f, d, a / f, a / d }'
    done
    echo "load average: $load_before before, $load_after after"
} >"$table"

# The targets; in quick mode only the allocation bound, as tiny trees time noise.
verdicts="$scratch/verdicts"
: >"$verdicts"
verdict() {
    local text="$1" ok="$2"
    if [ "$ok" = 1 ]; then
        echo "  met      $text" >>"$verdicts"
    else
        echo "  NOT MET  $text" >>"$verdicts"
    fi
}
le() { awk -v a="$1" -v b="$2" 'BEGIN { print (a <= b) ? 1 : 0 }'; }
for kind in $trees; do
    # A walk that allocates per file shows it most in one wide folder.
    if [ "${folders[$kind]}" = 1 ]; then
        verdict "$kind: ${allocations[$kind]} allocations for ${files[$kind]} files (at most 1 per 20)" \
            "$(le "${allocations[$kind]}" "$((files[$kind] / 20))")"
    fi
done
if ((!quick)); then
    for kind in $trees; do
        # The read-ahead pays where folders are slow to open and list, and
        # costs nothing where they are not.
        case "$kind" in
            large) limits="one-thread 1/1.3 find 0.6 bfs 0.65" ;;
            wide) limits="one-thread 1.05 find 0.5 bfs 1.1" ;;
            deep) limits="one-thread 1.05 find 1.0" ;;
            share) limits="one-thread 1/3 bfs 1/3" ;;
            *) limits="" ;;
        esac
        set -- $limits
        if [ -n "${ratio[$kind cli]:-}" ]; then
            # The command-line program does what the driver does.
            verdict "$kind: obeygen-cli wall $(awk -v r="${ratio[$kind cli]}" 'BEGIN { printf "%.3f", 1 / r }') of obey_drive's (at most 1.1)" \
                "$(awk -v r="${ratio[$kind cli]}" 'BEGIN { print (1 / r <= 1.1) ? 1 : 0 }')"
        fi
        while (($#)); do
            verdict "$kind: wall $(printf '%.3f' "${ratio[$kind $1]}") of $1's (at most $2)" \
                "$(le "${ratio[$kind $1]}" "$(awk "BEGIN { print $2 }")")"
            shift 2
        done
        case "$kind" in
            wide | share) limit=16 ;;
            *) limit=8 ;;
        esac
        verdict "$kind: peak RSS $(mib "${rss[$kind program]}") MiB (at most $limit)" \
            "$(le "${rss[$kind program]}" "$((limit * 1024))")"
    done
    if [ -n "${wall[small program]:-}" ] && [ -n "${wall[large program]:-}" ]; then
        per_file="$(awk -v a="${wall[large program]}" -v b="${wall[small program]}" \
            -v n="$((files[large] - files[small]))" 'BEGIN { printf "%.2f", (a - b) * 1000 / n }')"
        # A busy spell during the small tree's turns flatters the medians'
        # difference; the fastest runs show what the machine gives when quiet.
        read -r small_low _ <<<"${spread[small program]}"
        read -r large_low _ <<<"${spread[large program]}"
        per_file_low="$(awk -v a="$large_low" -v b="$small_low" \
            -v n="$((files[large] - files[small]))" 'BEGIN { printf "%.2f", (a - b) * 1000 / n }')"
        verdict "(large - small) / $((files[large] - files[small])) files: $per_file us per file (at most 1.6; fastest runs: $per_file_low)" \
            "$(le "$per_file" 1.6)"
        growth="$((rss[large program] - rss[small program]))"
        verdict "peak RSS large - small: $growth KiB (at most 1024)" "$(le "${growth#-}" 1024)"
    fi
fi
{
    echo
    echo "targets:"
    cat "$verdicts"
} >>"$table"

cat "$table"

if ((!quick)); then
    mkdir -p "$root/bench/results"
    result="$root/bench/results/$(date +%Y-%m-%d-%H%M).txt"
    {
        echo "ObeyGen list generation against GNU find and bfs"
        echo "date:     $(date -Iseconds)"
        echo "commit:   $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)"
        echo "cpu:      $(lscpu | sed -n 's/^Model name: *//p') ($(nproc) CPUs)"
        echo "memory:   $(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)"
        echo "kernel:   $(uname -srmv)"
        echo "fs:       $(findmnt -no SOURCE,FSTYPE,OPTIONS -T "$work")"
        echo "tools:    $(find --version | head -1); $(bfs --version | head -1); $(c++ --version | head -1)"
        echo
        cat "$table"
    } >"$result"
    echo "saved $result"
fi

# Any target not met fails the run, so that a script or CI can tell.
! grep -q "NOT MET" "$verdicts" || exit 1
if [ -n "$share_skipped" ]; then
    echo "SKIPPED: the share tree: $share_skipped"
    exit 77
fi

#!/usr/bin/env bash
# The README's commands, run as written on a fresh clone of the last commit,
# as a newcomer would: scripts/run.sh without a display and then on one (a
# press in the window lists the example tree), the Wine steps (a press in the
# Windows window lists dist/windows/ROFS), and the command line's examples.
# Each command run here must stand in the README word for word, so that the
# two cannot drift apart. Not run here, as other suites or CI run them:
# scripts/test.sh (CI itself), scripts/release.sh (the release suite),
# bench/run.sh --quick (the bench label); the Windows build's commands need
# Windows. Usage: run_readme.sh [linux]
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
command -v Xvfb >/dev/null || { echo "SKIPPED: no Xvfb to give the windows a display"; exit 77; }
git -C "$root" rev-parse --verify -q HEAD >/dev/null || { echo "SKIPPED: $root is no git clone"; exit 77; }
[ "$(id -u)" = 0 ] || sudo -n true 2>/dev/null ||
    { echo "SKIPPED: scripts/run.sh runs the set-up, which needs root or sudo"; exit 77; }
work="$(mktemp -d /tmp/obey-e2e-readme.XXXXXX)"
source "$root/tests/e2e/desktop.sh"
trap 'WINEPREFIX="$HOME/.wine-obeygen" wineserver -k 2>/dev/null; stop_desktop; rm -rf "$work"' EXIT
export HOME="$work/home" && mkdir -p "$HOME"
clone="$work/obeygen"
passed=0
failed=0

# A command of the README, word for word (an indented line of a block).
in_readme() {
    grep -qxF "    $1" "$root/README.md" || fail "the README no longer holds: $1"
}

check() {
    echo "--- $1"
    if "$1"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
}

# The four files of the example tree, as each window lists them.
example_files=4

# Without a display, run.sh builds everything, says so and exits with 2.
readme_run_without_a_display() {
    in_readme "scripts/run.sh" || return 1
    (cd "$clone" && env -u DISPLAY -u WAYLAND_DISPLAY OBEY_JOBS="${OBEY_JOBS:-2}" scripts/run.sh) \
        >"$work/run.log" 2>&1
    local status=$?
    [ "$status" = 2 ] || fail "scripts/run.sh without a display: status $status: $(tail -5 "$work/run.log")" ||
        return 1
    local file
    for file in obeygen obeygen-cli README.txt windows/ObeyGen.exe windows/obeygen-cli.exe \
        windows/README.txt ROFS/readme.txt windows/ROFS/readme.txt; do
        [ -f "$clone/dist/$file" ] || fail "no dist/$file" || return 1
    done
}

# The file lines of a list.
file_lines() { grep -c '^file=' "$1" 2>/dev/null; }
has_file_lines() { [ "$(file_lines "$1")" = "$2" ]; }

# A window started by the README's command lists its ROFS at a press and
# ends at a close.
press_and_close() {  # LIST
    form="" && wait_for_windows 1 && form="$box" || return 1
    press_key "$form" Return
    wait_until "no list of $example_files files in $1" has_file_lines "$1" $example_files || return 1
    wmctrl -i -c "$form" && wait_for_exit || return 1
    [ "$exit_status" = 0 ] || fail "exit status $exit_status after closing"
}

# On a display, run.sh starts the Linux window on the example tree.
readme_run_on_a_display() {
    (cd "$clone" && exec env LANG=zh_CN.UTF-8 NO_AT_BRIDGE=1 scripts/run.sh >"$work/run2.log" 2>&1) &
    program_pid=$!
    press_and_close "$clone/dist/ROFS.obey"
}

# With no screen at all, xvfb-run gives it one: the window comes up there.
readme_xvfb_run() {
    grep -qF '`xvfb-run -a scripts/run.sh`' "$root/README.md" || fail "the README no longer holds xvfb-run" ||
        return 1
    (cd "$clone" && exec env -u DISPLAY xvfb-run -a scripts/run.sh >"$work/xvfb-run.log" 2>&1) &
    local runner=$!
    # run.sh ends in "exec dist/obeygen".
    wait_until "no window under xvfb-run" pgrep -f '^dist/obeygen$' || return 1
    sleep 1
    # The end of the session, as a desktop would send it.
    pkill -TERM -f '^dist/obeygen$'
    wait "$runner"
    local status=$?
    [ "$status" = 0 ] || fail "xvfb-run -a scripts/run.sh ended with status $status: $(tail -3 "$work/xvfb-run.log")"
}

# The Wine steps: a prefix of its own, the window in Chinese, a press.
readme_wine_steps() {
    in_readme 'export WINEPREFIX="$HOME/.wine-obeygen" WINEDEBUG=-all' &&
        in_readme "LANG=zh_CN.UTF-8 wine dist/windows/ObeyGen.exe" || return 1
    (
        cd "$clone" || exit 1
        export WINEPREFIX="$HOME/.wine-obeygen" WINEDEBUG=-all
        LANG=zh_CN.UTF-8 wine dist/windows/ObeyGen.exe
    ) >"$work/wine.log" 2>&1 &
    program_pid=$!
    # The first start fills the prefix, which takes a minute.
    timeout_seconds=180 press_and_close "$clone/dist/windows/ROFS.obey" || return 1
    grep -q "运行时错误" "$work/wine.log" && fail "an error: $(cat "$work/wine.log")"
    iconv -f GBK -t UTF-8 "$clone/dist/windows/ROFS.obey" | grep -qF '\文档\说明.txt' ||
        fail "the Chinese name is not in the Windows list"
}

# The command line's examples, obeygen-cli on the PATH as an installed one.
readme_command_line() {
    in_readme '$ cd dist && ./obeygen-cli' || return 1
    rm -f "$clone/dist/ROFS.obey" "$clone/dist/ROFS_bak.obey"
    local said
    said="$(cd "$clone" && cd dist && ./obeygen-cli 2>&1)" || fail "./obeygen-cli: $said" || return 1
    local verdict="; 0 names left out; the image builder will take this list"
    in_readme "obeygen-cli: listed $example_files files into /home/me/obeygen/dist/ROFS.obey$verdict" &&
        [ "$said" = "obeygen-cli: listed $example_files files into $clone/dist/ROFS.obey$verdict" ] ||
        fail "./obeygen-cli said: $said" || return 1
    local line='$ obeygen-cli -s build/rom -o out/rom.obey --rofsname ROM.smg --rofssize 0x20000000 .'
    in_readme "$line" || return 1
    mkdir -p "$work/project/build/rom/sys" "$work/project/out" && echo x >"$work/project/build/rom/sys/a.dll"
    (cd "$work/project" && PATH="$clone/dist:$PATH" eval "${line#\$ }") 2>/dev/null &&
        head -n 1 "$work/project/out/rom.obey" | grep -q '^rofsname=ROM.smg' || fail "$line" || return 1
    in_readme '$ obeygen-cli -o - --exclude Thumbs.db --exclude desktop.ini --exclude .svn \' &&
        in_readme "      --exclude '*.tmp' --exclude sys/tmp | other-tool" || return 1
    mkdir -p "$work/tree/ROFS/.svn" "$work/tree/ROFS/sys/tmp" || return 1
    for file in a.txt .svn/entries Thumbs.db sys/tmp/x.txt b.tmp; do echo x >"$work/tree/ROFS/$file"; done
    other-tool() { grep -c '^file=' >"$work/other-tool"; }
    (cd "$work/tree" && PATH="$clone/dist:$PATH" &&
        obeygen-cli -o - --exclude Thumbs.db --exclude desktop.ini --exclude .svn \
            --exclude '*.tmp' --exclude sys/tmp | other-tool) 2>/dev/null
    [ "$(cat "$work/other-tool")" = 1 ] || fail "the --exclude example listed $(cat "$work/other-tool") files"
}

echo "--- a fresh clone of $(git -C "$root" log -1 --format=%h)"
git clone -q "$root" "$clone" || exit 1
start_desktop || exit 1
check readme_run_without_a_display
if ((failed == 0)); then
    check readme_run_on_a_display
    check readme_xvfb_run
    check readme_wine_steps
    check readme_command_line
fi
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]

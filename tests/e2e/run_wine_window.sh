#!/usr/bin/env bash
# End-to-end tests of the Windows program: the real ObeyGen.exe under Wine on
# a virtual display, in a Chinese locale so that the ANSI code page is 936,
# driven with the keyboard and the mouse, its lists compared byte for byte
# with lists written out here.
set -uo pipefail
work="$(mktemp -d /tmp/obey-e2e-wine.XXXXXX)"
source "$(dirname "$0")/desktop.sh"
program="${OBEY_WINDOWS_PROGRAM:-$e2e_root/build/win64/window/ObeyGen.exe}"
program_pid=""

export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=zh_CN.UTF-8 LC_ALL=

cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
    wineserver -k >/dev/null 2>&1
    stop_desktop
    rm -rf "$work"
}
trap cleanup EXIT

[ -f "$program" ] || { echo "no program at $program" >&2; exit 1; }

new_app() {
    app="$(realpath -m "$work/$1")"
    mkdir -p "$app"
    cp "$program" "$app/ObeyGen.exe"
    # The program directory as Windows names it, through Wine's Z: drive.
    app_windows="Z:${app//\//\\}"
}

add_file() {
    mkdir -p "$(dirname "$app/ROFS/$1")"
    printf 'x' >"$app/ROFS/$1"
}

# The line of one file, relative to ROFS with "/", in the ANSI code page.
line() {
    local relative="\\${1//\//\\}"
    printf 'file=%s\\ROFS%s    %s\r\n' "$app_windows" "$relative" "$relative" | iconv -f UTF-8 -t CP936
}

start() {
    (cd "$work" && exec wine "$app/ObeyGen.exe" >>"$work/program.log" 2>&1) &
    program_pid=$!
}

case_close_without_a_press_keeps_the_earlier_list_as_backup() {
    start_over_an_earlier_list 'file=C:\old\ROFS\a    \a' || return 1
    local icons
    icons="$(icon_sizes "$form")"
    [[ " $icons " == *" 16 "* && " $icons " == *" 32 "* ]] || fail "window icons: $icons" || return 1
    screenshot window-windows "$form"
    close_keeps_the_earlier_list_as_backup
}

# One file and at most one subfolder a folder: the order of the walk is then
# fixed whatever order the host's listing gives.
case_two_presses_list_the_tree_twice_in_gbk() {
    new_app twice
    add_file b.txt
    add_file a/c.txt
    add_file a/中文目录/文件.txt
    local listing
    listing="$({ line b.txt; line a/c.txt; line a/中文目录/文件.txt; } | base64 -w0)"
    { header; base64 -d <<<"$listing"; base64 -d <<<"$listing"; } >"$work/expected"
    press_twice_and_compare
}

case_no_source_folder_is_reported_and_a_later_press_works() {
    check_missing_source_then_press window-windows-error
}

case_a_name_outside_the_code_page_is_written_with_a_warning() {
    new_app warning
    # Korean has no form in code page 936: the system's "?" stands in.
    add_file x/한.txt
    { header; printf 'file=%s\\ROFS\\x\\?.txt    \\x\\?.txt\r\n' "$app_windows"; } >"$work/expected"
    start_and_wait || return 1
    press_key "$form" Return
    wait_for_windows 2 || return 1
    local box
    box="$(other_window "$form")"
    screenshot window-windows-warning "$box"
    dismiss_box "$box" || return 1
    close_and_wait || return 1
    same_bytes ROFS.obey "$app/ROFS.obey" "$work/expected"
}

case_a_read_only_list_stops_the_start() {
    new_app locked
    mkdir -p "$app/ROFS"
    printf 'earlier list\r\n' >"$app/ROFS.obey"
    cp "$app/ROFS.obey" "$work/earlier"
    # Without write permission Wine gives the file the read-only attribute.
    chmod a-w "$app/ROFS.obey"
    start
    wait_for_windows 1 || return 1
    local box
    box="$(windows)"
    [ "$(client_size "$box")" != 188x145 ] || fail "the form was shown" || return 1
    press_key "$box" Return
    wait_for_exit "$program_pid" || return 1
    program_pid=""
    [ "$exit_status" != 0 ] || fail "exit status 0 after a failed start" || return 1
    [ ! -e "$app/ROFS_bak.obey" ] || fail "a backup was made" || return 1
    same_bytes ROFS.obey "$app/ROFS.obey" "$work/earlier"
}

start_desktop || exit 1
echo "--- preparing a Wine prefix"
wine wineboot -i >"$work/wineboot.log" 2>&1 || { echo "wineboot failed" >&2; exit 1; }
run_case case_close_without_a_press_keeps_the_earlier_list_as_backup
run_case case_two_presses_list_the_tree_twice_in_gbk
run_case case_no_source_folder_is_reported_and_a_later_press_works
run_case case_a_name_outside_the_code_page_is_written_with_a_warning
run_case case_a_read_only_list_stops_the_start
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]

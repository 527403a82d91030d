#!/usr/bin/env bash
# End-to-end tests of the Linux program: the real obeygen on a virtual
# display, driven with the keyboard and the mouse, its lists compared byte
# for byte with lists written out here.
set -uo pipefail
work="$(mktemp -d /tmp/obey-e2e-linux.XXXXXX)"
chmod 755 "$work"
source "$(dirname "$0")/desktop.sh"
program="${OBEY_LINUX_PROGRAM:-$e2e_root/build/linux/window/obeygen}"
program_pid=""

cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
    stop_desktop
    rm -rf "$work"
}
trap cleanup EXIT

[ -x "$program" ] || { echo "no program at $program" >&2; exit 1; }

# A program directory of its own for a case: the program beside a ROFS folder.
new_app() {
    app="$work/$1"
    mkdir -p "$app"
    cp "$program" "$app/obeygen"
    app="$(realpath "$app")"
}

add_file() {
    mkdir -p "$(dirname "$app/ROFS/$1")"
    printf 'x' >"$app/ROFS/$1"
}

# The line of one file, relative to ROFS.
line() { printf 'file=%s/ROFS/%s    /%s\r\n' "$app" "$1" "$1"; }

# Starts the program as a user would, in Chinese, optionally as another user.
start() {
    (cd / && exec "$@" env LANG=zh_CN.UTF-8 LC_ALL= NO_AT_BRIDGE=1 GDK_BACKEND=x11 \
        "$app/obeygen" >>"$work/program.log" 2>&1) &
    program_pid=$!
}

case_close_without_a_press_keeps_the_earlier_list_as_backup() {
    start_over_an_earlier_list 'file=/old/ROFS/a    /a' || return 1
    [ "$(icon_sizes "$form")" = "16 32 48" ] || fail "window icons: $(icon_sizes "$form")" || return 1
    screenshot window-linux "$form"
    close_keeps_the_earlier_list_as_backup
}

case_two_presses_list_the_tree_twice_in_walk_order() {
    new_app twice
    # Files before subfolders, whatever the names; Chinese names as UTF-8.
    add_file b.txt
    add_file a/c.txt
    add_file a/中文目录/文件.txt
    {
        header
        for press in 1 2; do
            line b.txt
            line a/c.txt
            line a/中文目录/文件.txt
        done
    } >"$work/expected"
    press_twice_and_compare
}

case_no_source_folder_is_reported_and_a_later_press_works() {
    check_missing_source_then_press window-linux-error
}

case_a_name_with_a_line_break_is_skipped_with_a_warning() {
    new_app warning
    add_file ok.txt
    add_file $'bad\nname.txt'
    { header; line ok.txt; } >"$work/expected"
    start_and_wait || return 1
    press_key "$form" Return
    wait_for_windows 2 || return 1
    local box
    box="$(other_window "$form")"
    screenshot window-linux-warning "$box"
    dismiss_box "$box" || return 1
    close_and_wait || return 1
    same_bytes ROFS.obey "$app/ROFS.obey" "$work/expected"
}

case_a_list_that_cannot_be_replaced_stops_the_start() {
    new_app locked
    mkdir -p "$app/ROFS"
    printf 'earlier list\r\n' >"$app/ROFS.obey"
    cp "$app/ROFS.obey" "$work/earlier"
    local as_user=()
    if [ "$(id -u)" = 0 ]; then
        # Root may replace anything: the program runs as nobody, in a folder
        # that nobody may not write.
        local home="$work/nobody-home"
        mkdir -p "$home" && chmod 777 "$home"
        as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$home")
    else
        chmod 555 "$app"
    fi
    start "${as_user[@]}"
    wait_for_windows 1 || return 1
    local box
    box="$(windows)"
    [ "$(client_size "$box")" != 188x145 ] || fail "the form was shown" || return 1
    press_key "$box" Return
    wait_for_exit "$program_pid" || return 1
    program_pid=""
    chmod 755 "$app"
    [ "$exit_status" != 0 ] || fail "exit status 0 after a failed start" || return 1
    [ ! -e "$app/ROFS_bak.obey" ] || fail "a backup was made" || return 1
    same_bytes ROFS.obey "$app/ROFS.obey" "$work/earlier"
}

start_desktop || exit 1
run_case case_close_without_a_press_keeps_the_earlier_list_as_backup
run_case case_two_presses_list_the_tree_twice_in_walk_order
run_case case_no_source_folder_is_reported_and_a_later_press_works
run_case case_a_name_with_a_line_break_is_skipped_with_a_warning
run_case case_a_list_that_cannot_be_replaced_stops_the_start
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]

#!/usr/bin/env bash
# End-to-end tests of the real programs on a virtual display, driven with the
# keyboard and the mouse, their lists compared byte for byte with lists
# written out here. Usage: run_window.sh [linux] [windows] (both by default;
# wine stands for windows).
set -uo pipefail
# A virtual display, and FUSE for the slow trees.
command -v Xvfb >/dev/null || { echo "SKIPPED: no Xvfb to give the windows a display"; exit 77; }
[ -c /dev/fuse ] || { echo "SKIPPED: no /dev/fuse for the slow trees"; exit 77; }
work="$(mktemp -d /tmp/obey-e2e-window.XXXXXX)"
chmod 755 "$work"  # the unprivileged case reaches into it
source "$(dirname "$0")/desktop.sh"
slowfs="${OBEY_SLOWFS:-$e2e_root/build/linux/slowfs}"
trap 'umount -l "$work"/*/ROFS 2>/dev/null; stop_desktop; rm -rf "$work"' EXIT
passed=0
failed=0

make_trees="${OBEY_MAKE_TREES:-$e2e_root/build/linux/bench/make_trees}"
header() { "$make_trees" header; }

# The line of a file under ROFS named with "/": on Windows through Wine's Z:
# drive, with "\", in code page 936.
line() {
    if [ "$platform" = linux ]; then
        "$make_trees" lines "$app/ROFS" / "$1"
    else
        "$make_trees" lines "Z:${app//\//\\}\\ROFS" '\' "$1" | iconv -t CP936 -c
    fi
}

same_bytes() {
    cmp -s "$1" "$2" || { fail "$1 differs:" && diff <(od -c "$2") <(od -c "$1") | head >&2; }
}

size_at_least() { (($(stat -c %s "$1" 2>/dev/null || echo 0) >= $2)); }

# Waits for a box beside COUNT-1 other windows and checks its kind by its
# icon's colour: red for an error, amber for a warning.
box_is() {
    wait_for_windows "${2:-2}" || return 1
    local kind
    kind="$(import -silent -window "$box" -depth 8 txt:- | awk -F'[()]' 'split($2, c, ",") == 3 &&
        c[1] > 180 && c[3] < 90 { if (c[2] < 90) red++; else if (c[2] > 110) amber++ }
        END { print (red > amber ? "error" : amber > red ? "warning" : "none") }')"
    [ "$kind" = "$1" ] || fail "expected a box of kind $1, found $kind"
}

close_form() {
    wmctrl -i -c "$form" && wait_for_exit || return 1
    [ "$exit_status" = 0 ] || fail "exit status $exit_status after closing"
}

case_an_earlier_list_is_kept_and_presses_by_key_and_mouse_list_the_tree() {
    new_app "$work/$platform-twice"
    # One file and one folder a folder: the walk's order is then the same
    # whatever order the host lists names in.
    add_file b.txt && add_file a/中文目录/文件.txt
    { header && printf 'file=earlier\r\n'; } >"$app/ROFS.obey" && cp "$app/ROFS.obey" "$work/earlier"
    { line b.txt && line a/中文目录/文件.txt; } >"$work/once"
    # The second press lists the tree as it is then, and that alone.
    { header && line b.txt && line c.txt && line a/中文目录/文件.txt; } >"$work/expected"
    form="" && start && wait_for_windows 1 && form="$box" || return 1
    # 2820 by 2175 twips at 96 dpi.
    [ "$(client_geometry "$form" | cut -d' ' -f3-)" = "188 145" ] || fail "client area" || return 1
    press_key "$form" Return
    local size=$(($(header | wc -c) + $(stat -c %s "$work/once")))
    wait_until "no list after the first press" size_at_least "$app/ROFS.obey" $size || return 1
    add_file c.txt
    # The middle of Command1, 24,64 129x41 at 96 dpi.
    local left top rest
    read -r left top rest < <(client_geometry "$form")
    xdotool mousemove --sync $((left + 88)) $((top + 84)) click 1
    size="$(stat -c %s "$work/expected")"
    wait_until "no list after the second" size_at_least "$app/ROFS.obey" "$size" && close_form || return 1
    same_bytes "$app/ROFS.obey" "$work/expected" && same_bytes "$app/ROFS_bak.obey" "$work/earlier"
}

# The count in the caption while a walk runs, else nothing.
progress() { xdotool getwindowname "$form" | sed -n "s/^$caption - 已列出 \([0-9]*\) 个文件\$/\1/p"; }
progress_above() { local n && n="$(progress)" && [ -n "$n" ] && ((n > $1)); }
caption_is() { [ "$(xdotool getwindowname "$form")" = "$1" ]; }
caption_begins() { [[ "$(xdotool getwindowname "$form")" == "$1"* ]]; }
labels_as_in() { [ "$(import -window "$form" -crop 188x50+0+0 png:- | compare -metric AE - "$1" null: 2>&1)" = 0 ]; }

# A tree whose every folder listing takes 150 ms, as on a network share: the
# window lives through the walk, and a close request ends it at once.
case_the_window_lives_through_a_slow_walk() {
    new_app "$work/$platform-slow"
    local source="$work/$platform-slow-source" path="" i
    for i in $(seq 20); do
        path+="$i/" && mkdir -p "$source/$path" && printf x >"$source/${path}f.txt"
        line "${path}f.txt" >>"$work/$platform-once"
    done
    { header && cat "$work/$platform-once"; } >"$work/$platform-expected"
    mkdir "$app/ROFS" && { "$slowfs" "$source" "$app/ROFS" 150 & } || return 1
    wait_until "no slow tree" mountpoint -q "$app/ROFS" || return 1
    form="" && start && wait_for_windows 1 && form="$box" || return 1
    import -window "$form" -crop 188x50+0+0 "$work/labels.png"
    press_key "$form" Return && wait_until "no progress shown" progress_above -1 || return 1
    wait_until "the count did not grow" progress_above "$(progress)" || return 1
    # Enter starts nothing while the walk runs. Moved off the screen and back,
    # the window draws its labels anew.
    press_key "$form" Return && xdotool windowmove --sync "$form" -500 100 && sleep 0.3
    xdotool windowmove --sync "$form" 100 100 && sleep 0.3 || return 1
    labels_as_in "$work/labels.png" && button_text_fits 96 || fail "not drawn during the walk" || return 1
    [ -n "$(progress)" ] || fail "the walk ended before it could be checked" || return 1
    wait_until "no count of files made" caption_is "$caption - 已生成 20 个文件" || return 1
    same_bytes "$app/ROFS.obey" "$work/$platform-expected" || return 1
    press_key "$form" Return && wait_until "no second walk" progress_above -1 && close_form || return 1
    same_bytes "$app/ROFS.obey" "$work/$platform-expected" && umount "$app/ROFS"
}

case_a_list_that_cannot_be_replaced_stops_the_start() {
    new_app "$work/$platform-locked"
    printf 'earlier\r\n' >"$app/ROFS.obey" && cp "$app/ROFS.obey" "$work/earlier"
    local as_user=()
    if [ "$platform" = wine ]; then
        chmod a-w "$app/ROFS.obey"  # Wine shows it as a read-only file
    elif [ "$(id -u)" = 0 ]; then
        # Root may replace anything: nobody runs it in a folder of root's.
        mkdir -m 777 "$work/home" 2>/dev/null
        as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$work/home")
    else
        chmod 555 "$app"
    fi
    form="" && start "${as_user[@]}" && box_is error 1 && press_key "$box" Return && wait_for_exit || return 1
    chmod 755 "$app"
    [ "$exit_status" = 1 ] || fail "exit status $exit_status after a failed start" || return 1
    [ ! -e "$app/ROFS_bak.obey" ] || fail "a backup was made" || return 1
    same_bytes "$app/ROFS.obey" "$work/earlier"
}

# No ROFS folder: an error, and the window stays. Once the folder is there, a
# press lists it with a warning about the problem file; a close of the window
# then ends the program, box and all.
case_errors_and_warnings_leave_the_window_and_the_list_usable() {
    new_app "$work/$platform-missing"
    form="" && start && wait_for_windows 1 && form="$box" || return 1
    press_key "$form" Return
    box_is error && press_key "$box" Return && wait_for_windows 1 || return 1
    add_file ok.txt && add_file "$problem_file"
    { header && line ok.txt && [ "$platform" = linux ] || line x/?.txt; } >"$work/expected"
    press_key "$form" space
    box_is warning && close_form && same_bytes "$app/ROFS.obey" "$work/expected"
}

# Closes during a walk over a slow tree, early, midway and late, and on
# Linux as the end of the session and on a drive that does not answer (the
# FUSE server stopped, so that no request is read, as a share that went
# away): each ends the program within half a second with status 0, the list
# as before the press. (A request a FUSE server has read holds its reader
# until answered, even against SIGKILL; under Wine the server process opens
# files for its programs, so that a stopped drive may hold all of them.)
case_a_close_never_waits_for_the_walk() {
    new_app "$work/$platform-close"
    local source="$work/$platform-close-source" path="" i
    for i in $(seq 15); do path+="$i/" && mkdir -p "$source/$path" && printf x >"$source/${path}f.txt"; done
    mkdir "$app/ROFS" && { "$slowfs" "$source" "$app/ROFS" 100 & } && drive_pid=$! || return 1
    wait_until "no slow tree" mountpoint -q "$app/ROFS" || return 1
    close_during_walk 0 wmctrl && close_during_walk 0.5 wmctrl && close_during_walk 1 wmctrl || return 1
    if [ "$platform" = linux ]; then
        close_during_walk 0.5 term && close_during_walk 0.5 hang || return 1
    fi
    umount "$app/ROFS"
}

close_during_walk() {  # SECONDS wmctrl|term|hang
    local after="$1" how="$2" asked took
    form="" && start && wait_for_windows 1 && form="$box" || return 1
    [ "$how" = hang ] && kill -STOP "$drive_pid"
    press_key "$form" Return && sleep "$after" && progress_above -1 || fail "no walk at $after s" || return 1
    asked=$EPOCHREALTIME
    if [ "$how" = term ]; then kill -TERM "$program_pid"; else wmctrl -i -c "$form"; fi
    wait_for_exit
    local ended=$?
    kill -CONT "$drive_pid" && ((ended == 0)) || return 1
    took=$(((${EPOCHREALTIME/./} - ${asked/./}) / 1000))
    ((took <= 500)) || fail "closing at $after s took $took ms" || return 1
    [ "$exit_status" = 0 ] || fail "exit status $exit_status after closing at $after s" || return 1
    header >"$work/header" && same_bytes "$app/ROFS.obey" "$work/header"
}

# No thread can be started for the walk (every clone fails with EAGAIN, as
# at the limit of processes): an error of the press; once threads can be had
# again, a press lists the tree.
case_a_walk_without_a_thread_is_an_error_of_the_press() {
    new_app "$work/$platform-nproc" && add_file ok.txt || return 1
    { header && line ok.txt; } >"$work/expected"
    form="" && start && wait_for_windows 1 && form="$box" || return 1
    local pid=$program_pid && [ "$platform" = wine ] && pid="$(pgrep -f "^$app/$exe" | head -n 1)"
    strace -f -q -o /dev/null -p "$pid" -e trace=clone,clone3 -e inject=clone,clone3:error=EAGAIN &
    local tracer=$! && sleep 1 && press_key "$form" Return || return 1
    box_is error && press_key "$box" Return && wait_for_windows 1 && kill "$tracer" && wait "$tracer"
    press_key "$form" Return && wait_until "no list" caption_is "$caption - 已生成 1 个文件" || return 1
    close_form && same_bytes "$app/ROFS.obey" "$work/expected"
}

# ROFS.exclude beside the program leaves out what its patterns name, a folder
# unentered; the outcome in the caption says how many entries they left out,
# which pattern left out nothing, and what changed against the last real list
# (at the first press the backup, the list the start found).
case_rofs_exclude_leaves_out_and_the_outcome_tells_what_changed() {
    new_app "$work/$platform-exclude"
    add_file keep.txt && add_file .svn/entries && add_file sub/Thumbs.db && add_file sub/a.txt || return 1
    { header && line keep.txt && line gone.txt; } >"$app/ROFS.obey"
    printf '\xEF\xBB\xBF# version control, thumbnails\r\n.svn\r\n\r\nThumbs.db\r\n*.bak\r\n' >"$app/ROFS.exclude"
    { header && line keep.txt && line sub/a.txt; } >"$work/expected"
    form="" && start && wait_for_windows 1 && form="$box" || return 1
    press_key "$form" Return
    wait_until "no outcome in the caption" caption_is \
        "$caption - 已生成 2 个文件 (+1 −1)，已排除 2 项；未排除任何项的规则：*.bak" ||
        fail "the caption: $(xdotool getwindowname "$form")" || return 1
    close_form && same_bytes "$app/ROFS.obey" "$work/expected"
}

# Command1 tells the count of a click in full at the designed size and at
# 150%: its text lies inside the button with room on both sides, neither cut
# nor cut short with an ellipsis, either of which would fill it.
case_the_button_shows_a_five_digit_count_at_100_and_150_percent() {
    new_app "$work/$platform-count" && mkdir "$app/ROFS" || return 1
    (cd "$app/ROFS" && seq -f "%05g" 1 12345 | xargs touch) || return 1
    local dpi
    for dpi in 144 96; do
        set_dpi $dpi && form="" && start && wait_for_windows 1 && form="$box" || return 1
        # The second start compares with the first one's list, now the backup.
        press_key "$form" Return && wait_until "no count" caption_begins "$caption - 已生成 12345 个文件" ||
            return 1
        sleep 0.3 && button_text_fits $dpi && close_form || return 1
    done
}

# The desktop's scaling as X resources (Linux) or the registry (Wine) hold it.
set_dpi() {
    if [ "$platform" = linux ]; then
        xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "Xft.dpi:	$1"
    else
        wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    fi
}

# Inside Command1's border and focus frame (a tenth of an inch in), the ink
# of the text is centred and clear of both sides.
button_text_fits() {
    local px=() v inset=$(($1 / 10)) ink x
    for v in 360 960 2292 1572; do px+=($(((v * $1 + 720) / 1440))); done
    local width=$((px[2] - px[0] - 2 * inset)) height=$((px[3] - px[1] - 2 * inset))
    read -r ink x < <(import -window "$form" -crop "${width}x$height+$((px[0] + inset))+$((px[1] + inset))" \
        +repage png:- | convert - -fuzz 20% -trim -format '%w %X' info:)
    local right=$((width - ${x#+} - ink))
    ((${x#+} > 0 && right > 0 && (${x#+} - right) ** 2 <= 9)) ||
        fail "Command1's text at $1 dpi: ${x#+} px clear on the left, $right on the right"
}

# A GUI program with its icon, version block and manifest. (That it needs no
# DLL beyond the system's is the release suite's check.)
case_the_executable_needs_only_the_system() {
    local headers type
    headers="$(x86_64-w64-mingw32-objdump -p "$program")" || return 1
    grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" || fail "not a GUI program" || return 1
    for type in 14 16 24; do
        [ -n "$(wrestool -l --type=$type "$program")" ] || fail "no resource of type $type" || return 1
    done
}

run_case() {
    echo "--- $platform: $1"
    if "$1"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null && wait "$program_pid"
        program_pid=""
    fi
}

start_desktop || exit 1
for name in ${*:-linux wine}; do
    name="${name/windows/wine}"
    use_platform "$name" || { failed=$((failed + 1)) && continue; }
    run_case case_an_earlier_list_is_kept_and_presses_by_key_and_mouse_list_the_tree
    run_case case_a_list_that_cannot_be_replaced_stops_the_start
    run_case case_errors_and_warnings_leave_the_window_and_the_list_usable
    run_case case_rofs_exclude_leaves_out_and_the_outcome_tells_what_changed
    run_case case_the_window_lives_through_a_slow_walk
    run_case case_a_close_never_waits_for_the_walk
    run_case case_the_button_shows_a_five_digit_count_at_100_and_150_percent
    run_case case_a_walk_without_a_thread_is_an_error_of_the_press
    [ "$name" = wine ] && run_case case_the_executable_needs_only_the_system
done
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]

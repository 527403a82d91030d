# Helpers for driving the real programs on a virtual X display, as a user
# would: find the windows by their caption, press keys and the mouse, close
# them through the window manager. Sourced by the run_*.sh suites, which set
# "work" to a temporary folder of their own first.

caption="Obey文件生成工具"
e2e_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
screenshot_dir="${OBEY_SCREENSHOTS:-$e2e_root/build/e2e-screenshots}"
timeout_seconds="${OBEY_E2E_TIMEOUT:-30}"
xvfb_pid=""
wm_pid=""
passed=0
failed=0

fail() {
    echo "  FAILED: $*" >&2
    return 1
}

# Xvfb on a free display of its own choice, at 96 dpi, with openbox as the
# window manager so that windows get a frame, focus and the close request.
start_desktop() {
    # -displayfd: Xvfb picks a free display and writes its number once it
    # accepts connections. -noreset: a server that resets when its last
    # client leaves would refuse the next one for a moment. -ac: the
    # unprivileged cases connect as another user.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp -noreset -ac \
        3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    local deadline=$((SECONDS + timeout_seconds))
    until [ -s "$work/display" ] && grep -q . "$work/display"; do
        if ((SECONDS >= deadline)) || ! kill -0 "$xvfb_pid" 2>/dev/null; then
            echo "cannot start Xvfb:" >&2
            cat "$work/xvfb.log" >&2
            return 1
        fi
        sleep 0.05
    done
    export DISPLAY=":$(head -n 1 "$work/display")"
    HOME="$work" openbox --sm-disable --config-file "$e2e_root/tests/e2e/openbox.xml" \
        >"$work/openbox.log" 2>&1 &
    wm_pid=$!
    until wmctrl -m >/dev/null 2>&1; do
        if ((SECONDS >= deadline)) || ! kill -0 "$wm_pid" 2>/dev/null; then
            echo "the window manager did not start:" >&2
            cat "$work/openbox.log" >&2
            return 1
        fi
        sleep 0.05
    done
}

stop_desktop() {
    local pid
    for pid in $wm_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    wm_pid=""
    xvfb_pid=""
}

# The ids of the visible windows titled with the caption, one a line.
windows() {
    xdotool search --onlyvisible --name "^${caption}\$" 2>/dev/null | sort
}

window_count() {
    windows | grep -c . || true
}

# Waits until exactly COUNT windows carry the caption.
wait_for_windows() {
    local count="$1" deadline=$((SECONDS + timeout_seconds))
    while [ "$(window_count)" != "$count" ]; do
        if ((SECONDS >= deadline)); then
            fail "expected $count window(s) titled $caption, found $(window_count)"
            return 1
        fi
        sleep 0.1
    done
}

# The one captioned window that is not the form.
other_window() {
    windows | grep -v "^$1\$" | head -n 1
}

activate() {
    xdotool windowactivate --sync "$1" >/dev/null 2>&1 || xdotool windowfocus --sync "$1"
}

press_key() {
    activate "$1" && xdotool key --clearmodifiers "$2"
}

# "left top width height" of a window's client area on the screen. (xdotool
# counts a reparenting window manager's frame offset twice.)
client_geometry() {
    xwininfo -id "$1" | awk -F: '
        /Absolute upper-left X/ { x = $2 } /Absolute upper-left Y/ { y = $2 }
        /^ *Width/ { w = $2 } /^ *Height/ { h = $2 }
        END { print x + 0, y + 0, w + 0, h + 0 }'
}

# A click with the mouse at a point of a window's client area.
click_at() {
    local window="$1" x="$2" y="$3" left top width height
    read -r left top width height < <(client_geometry "$window")
    activate "$window" && xdotool mousemove --sync $((left + x)) $((top + y)) click 1
}

client_size() {
    local left top width height
    read -r left top width height < <(client_geometry "$1")
    echo "${width}x${height}"
}

# The sizes of the images in a window's _NET_WM_ICON, e.g. "16 32 48".
icon_sizes() {
    xprop -id "$1" _NET_WM_ICON 2>/dev/null |
        sed -n 's/.*Icon (\([0-9]*\) x \([0-9]*\)).*/\1/p' | sort -n | tr '\n' ' ' | sed 's/ $//'
}

close_window() {
    wmctrl -i -c "$1"
}

# Waits for a background process to end; sets exit_status.
wait_for_exit() {
    local pid="$1" deadline=$((SECONDS + timeout_seconds))
    while kill -0 "$pid" 2>/dev/null; do
        if ((SECONDS >= deadline)); then
            kill "$pid" 2>/dev/null
            wait "$pid" 2>/dev/null
            exit_status=timeout
            fail "the program did not end"
            return 1
        fi
        sleep 0.05
    done
    wait "$pid"
    exit_status=$?
}

# Waits until a file holds at least BYTES bytes: the list is flushed at the
# end of each click, so this tells that a press has been handled.
wait_for_size() {
    local path="$1" bytes="$2" deadline=$((SECONDS + timeout_seconds))
    while [ "$(stat -c %s "$path" 2>/dev/null || echo 0)" -lt "$bytes" ]; do
        if ((SECONDS >= deadline)); then
            fail "$path did not reach $bytes bytes"
            return 1
        fi
        sleep 0.05
    done
}

same_bytes() {
    local what="$1" actual="$2" expected="$3"
    if ! cmp -s "$actual" "$expected"; then
        echo "  $what differs from the expected bytes:" >&2
        diff <(od -c "$expected") <(od -c "$actual") | head -n 20 >&2
        return 1
    fi
}

frame_extents() {
    xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p' | tr -d ','
}

# A picture of the given windows with their frames, for the documentation.
screenshot() {
    local name="$1"
    shift
    # Once the window manager has framed every window, a moment for painting.
    local window deadline=$((SECONDS + timeout_seconds))
    for window in "$@"; do
        while [ -z "$(frame_extents "$window")" ] && ((SECONDS < deadline)); do
            sleep 0.05
        done
    done
    sleep 0.5
    local x0=100000 y0=100000 x1=0 y1=0
    for window in "$@"; do
        local X Y WIDTH HEIGHT left right top bottom
        read -r X Y WIDTH HEIGHT < <(client_geometry "$window")
        read -r left right top bottom < <(frame_extents "$window")
        left=${left:-0} right=${right:-0} top=${top:-0} bottom=${bottom:-0}
        ((X - left < x0)) && x0=$((X - left))
        ((Y - top < y0)) && y0=$((Y - top))
        ((X + WIDTH + right > x1)) && x1=$((X + WIDTH + right))
        ((Y + HEIGHT + bottom > y1)) && y1=$((Y + HEIGHT + bottom))
    done
    mkdir -p "$screenshot_dir"
    import -silent -window root -crop "$((x1 - x0))x$((y1 - y0))+$x0+$y0" +repage \
        "$screenshot_dir/$name.png"
}

# The suite's own start function runs the program in the background and
# sets program_pid; the form is the first window that appears.
start_and_wait() {
    start "$@"
    wait_for_windows 1 || return 1
    form="$(windows)"
}

close_and_wait() {
    close_window "$form"
    wait_for_exit "$program_pid" || return 1
    program_pid=""
    [ "$exit_status" = 0 ] || fail "exit status $exit_status after closing"
}

# Presses Enter in the box that the last press opened, and waits for it to go.
dismiss_box() {
    press_key "$1" Return
    wait_for_windows 1 || return 1
    [ "$(windows)" = "$form" ] || fail "the form is gone"
}

header() { printf 'rofsname=CG33.smg\r\nrofssize=0x40000000\r\n'; }

# Starts the program over an earlier list whose one file line is $1, and
# checks the form's client area: 2820 by 2175 twips, 188 by 145 pixels at 96
# dpi. close_keeps_the_earlier_list_as_backup then ends the case.
start_over_an_earlier_list() {
    new_app close
    mkdir -p "$app/ROFS"
    { header; printf '%s\r\n' "$1"; } >"$app/ROFS.obey"
    cp "$app/ROFS.obey" "$work/earlier"
    header >"$work/expected"
    start_and_wait || return 1
    [ "$(client_size "$form")" = 188x145 ] || fail "client area $(client_size "$form")"
}

close_keeps_the_earlier_list_as_backup() {
    close_and_wait || return 1
    same_bytes ROFS.obey "$app/ROFS.obey" "$work/expected" &&
        same_bytes ROFS_bak.obey "$app/ROFS_bak.obey" "$work/earlier"
}

# No ROFS folder: an error box, the window stays, and once the folder is
# there a press with Space lists it. $1 names the box's screenshot.
check_missing_source_then_press() {
    new_app missing
    start_and_wait || return 1
    press_key "$form" Return
    wait_for_windows 2 || return 1
    local box
    box="$(other_window "$form")"
    screenshot "$1" "$box"
    dismiss_box "$box" || return 1
    add_file 新.txt
    { header; line 新.txt; } >"$work/expected"
    press_key "$form" space
    wait_for_size "$app/ROFS.obey" "$(stat -c %s "$work/expected")" || return 1
    close_and_wait || return 1
    same_bytes ROFS.obey "$app/ROFS.obey" "$work/expected"
}

# Two presses, by Enter and by a click at the middle of Command1 (24,64
# 129x41 at 96 dpi), of a tree whose expected list is in $work/expected.
press_twice_and_compare() {
    start_and_wait || return 1
    press_key "$form" Return
    local header_size all_size
    header_size="$(header | wc -c)"
    all_size="$(stat -c %s "$work/expected")"
    wait_for_size "$app/ROFS.obey" $(((all_size - header_size) / 2 + header_size)) || return 1
    click_at "$form" 88 84
    wait_for_size "$app/ROFS.obey" "$all_size" || return 1
    close_and_wait || return 1
    same_bytes ROFS.obey "$app/ROFS.obey" "$work/expected"
}

# Runs one case: a function named case_*, in a fresh program directory.
run_case() {
    local name="$1"
    echo "--- $name"
    if "$name"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "--- $name: FAILED" >&2
        # Leave a clean desktop for the next case.
        local window
        for window in $(windows); do
            close_window "$window" 2>/dev/null
        done
    fi
}

# Drives the real programs on a virtual X display as a user would: finds the
# windows by their caption, presses keys and the mouse, closes them through
# the window manager. Sourced by the window suite and scripts/screenshots.sh,
# which set "work" to a temporary folder of their own first.

caption="Obey文件生成工具"
e2e_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
timeout_seconds="${OBEY_E2E_TIMEOUT:-30}"
program_pid=""

fail() {
    echo "  FAILED: $*" >&2
    return 1
}

# Runs a command until it succeeds; fails with the message on a timeout.
wait_until() {
    local message="$1" deadline=$((SECONDS + timeout_seconds))
    shift
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || fail "$message" || return 1
        sleep 0.05
    done
}

# Xvfb on a free display at 96 dpi (-displayfd: it writes the number once it
# accepts connections; -ac: the unprivileged case connects as another user),
# with openbox, so that windows get a frame, the focus and close requests.
start_desktop() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp -noreset -ac \
        3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    wait_until "Xvfb did not start" grep -q . "$work/display" || return 1
    export DISPLAY=":$(head -n 1 "$work/display")"
    HOME="$work" openbox --sm-disable --config-file "$e2e_root/tests/e2e/openbox.xml" \
        >"$work/openbox.log" 2>&1 &
    wm_pid=$!
    wait_until "openbox did not start" wmctrl -m
}

stop_desktop() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
    command -v wineserver >/dev/null && WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null
    kill "${wm_pid:-}" "${xvfb_pid:-}" 2>/dev/null
    wait 2>/dev/null
}

# The program of a platform: "linux", the GTK window, or "wine", the Windows
# executable under Wine in a Chinese locale, whose ANSI code page is 936.
use_platform() {
    platform="$1"
    if [ "$platform" = linux ]; then
        program="${OBEY_LINUX_PROGRAM:-$e2e_root/build/linux/window/obeygen}" exe=obeygen
        problem_file=$'bad\nname.txt'  # skipped: a line break would split its line
    else
        program="${OBEY_WINDOWS_PROGRAM:-$e2e_root/build/win64/window/ObeyGen.exe}" exe=ObeyGen.exe
        problem_file=x/한.txt  # Korean has no form in code page 936
        export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
        wine wineboot -i >"$work/wineboot.log" 2>&1 || fail "wineboot" || return 1
    fi
    [ -f "$program" ] || fail "no program at $program"
}

# A program directory of its own: the program, and later a ROFS folder.
new_app() {
    app="$1"
    rm -rf "$app" && mkdir -p "$app" && cp "$program" "$app/$exe"
}

add_file() {
    mkdir -p "$(dirname "$app/ROFS/$1")" && printf x >"$app/ROFS/$1"
}

# Starts the program as a user would, in Chinese, from elsewhere; arguments
# come first (another user, strace). GTK's criticals end the program.
start() {
    if [ "$platform" = linux ]; then
        (cd / && exec "$@" env LANG=zh_CN.UTF-8 LC_ALL= NO_AT_BRIDGE=1 GDK_BACKEND=x11 \
            G_DEBUG=fatal-criticals "$app/$exe" >>"$work/program.log" 2>&1) &
    else
        (cd "$work" && exec "$@" env LANG=zh_CN.UTF-8 LC_ALL= wine "$app/$exe" >>"$work/program.log" 2>&1) &
    fi
    program_pid=$!
}

# The visible windows titled with the caption, one id a line.
windows() {
    xdotool search --onlyvisible --name "^${caption}\$" 2>/dev/null | sort
}

has_windows() { [ "$(windows | grep -c .)" = "$1" ]; }

# Waits until exactly COUNT windows carry the caption; "box" is then the
# newest one that is not the form.
wait_for_windows() {
    wait_until "expected $1 window(s) titled $caption" has_windows "$1" || return 1
    box="$(windows | grep -vx "${form:-}" | tail -n 1)" || true
}

press_key() {
    xdotool windowactivate --sync "$1" >/dev/null 2>&1 || xdotool windowfocus --sync "$1"
    xdotool key --clearmodifiers "$2"
}

# "left top width height" of a window's client area on the screen.
client_geometry() {
    xwininfo -id "$1" | awk -F: '/Absolute upper-left X/ { x = $2 } /Absolute upper-left Y/ { y = $2 }
        /^ *Width/ { w = $2 } /^ *Height/ { h = $2 } END { print x + 0, y + 0, w + 0, h + 0 }'
}

# Waits for the program to end; sets exit_status.
wait_for_exit() {
    wait_until "the program did not end" eval "! kill -0 $program_pid" || return 1
    wait "$program_pid"
    exit_status=$?
    program_pid=""
}

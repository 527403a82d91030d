#!/usr/bin/env bash
# Takes the pictures of the window that README.md shows, into docs/: each
# program's form, its error box for a missing ROFS folder, its warning
# after a click with a problem file, and the form after a click without. The program directory is the same fixed
# folder every time, so that the paths in the pictures do not change.
# Usage: scripts/screenshots.sh [linux] [wine] (both by default), after a build.
set -uo pipefail
work="$(mktemp -d /tmp/obey-screenshots.XXXXXX)"
source "$(dirname "$0")/../tests/e2e/desktop.sh"
trap 'stop_desktop; rm -rf "$work"' EXIT
out="${OBEY_SCREENSHOTS:-$e2e_root/docs}"
demo=/tmp/ObeyGen-demo

# "left right top bottom" of the frame the window manager put around a window.
frame_extents() {
    xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p' | tr -d ','
}

framed() { [ -n "$(frame_extents "$1")" ]; }

# A picture of a window with its frame.
shoot() {
    wait_until "no frame around $1" framed "$2" || return 1
    sleep 0.5  # a moment for painting
    local x y width height left right top bottom
    read -r x y width height < <(client_geometry "$2")
    read -r left right top bottom < <(frame_extents "$2")
    import -silent -window root +repage -define png:exclude-chunks=date,time \
        -crop "$((width + left + right))x$((height + top + bottom))+$((x - left))+$((y - top))" \
        "$out/$1.png"
}

# The form, the press without a ROFS folder, the press with a problem file,
# the press once it is gone.
take() {
    local name="$1"
    use_platform "$2" && new_app "$demo" || return 1
    form="" && start && wait_for_windows 1 && form="$box" && shoot "$name" "$form" || return 1
    press_key "$form" Return && wait_for_windows 2 && shoot "$name-error" "$box" || return 1
    press_key "$box" Return && wait_for_windows 1 || return 1
    add_file ok.txt && add_file "$problem_file"
    press_key "$form" Return && wait_for_windows 2 && shoot "$name-warning" "$box" || return 1
    press_key "$box" Return && wait_for_windows 1 && rm -r "$app/ROFS/${problem_file%%/*}" || return 1
    press_key "$form" Return && wait_until "no click" xdotool search --name "已生成 1 个文件" || return 1
    shoot "$name-done" "$form" && wmctrl -i -c "$form" && wait_for_exit
    rm -rf "$demo"
}

start_desktop || exit 1
mkdir -p "$out"
for platform in ${*:-linux wine}; do
    if [ "$platform" = linux ]; then
        take window-linux linux || exit 1
    else
        take window-windows wine || exit 1
    fi
done
echo "pictures in $out"

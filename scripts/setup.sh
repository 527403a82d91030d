#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian machine. Safe to
# run again: it installs only what is missing.
set -euo pipefail

packages=(
    cmake make g++ googletest
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    wine wine64 xvfb xauth xdotool wmctrl x11-utils imagemagick
    libgtk-3-dev pkg-config locales bfs time
    openbox fonts-wqy-microhei icoutils
    fuse3 libfuse3-dev
    strace procps unzip dpkg-dev
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    # Another apt-get at work (an unattended upgrade, say) holds the lock for
    # a while: wait for it rather than fail.
    apt=(apt-get -o DPkg::Lock::Timeout=600)
    "${apt[@]}" update -q
    "${apt[@]}" install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine takes its ANSI code page from the locale: the Chinese end-to-end cases
# need zh_CN.UTF-8 (code page 936).
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
    echo "setup: generating the zh_CN.UTF-8 locale"
    sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
fi

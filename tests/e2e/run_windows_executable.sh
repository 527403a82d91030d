#!/usr/bin/env bash
# Checks what the Windows executable carries: a GUI program that needs no DLL
# beyond the system's, its icon, its version block and its manifest.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
program="${OBEY_WINDOWS_PROGRAM:-$root/build/win64/window/ObeyGen.exe}"
work="$(mktemp -d /tmp/obey-exe.XXXXXX)"
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

check() {
    local what="$1"
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "--- $what: FAILED" >&2
    fi
}

[ -f "$program" ] || { echo "no program at $program" >&2; exit 1; }

imports_only_system_dlls() {
    local headers dlls dll status=0
    headers="$(x86_64-w64-mingw32-objdump -p "$program")" || return 1
    grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" || { echo "not a GUI program" >&2; return 1; }
    dlls="$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")"
    [ -n "$dlls" ] || { echo "no imports found" >&2; return 1; }
    for dll in $dlls; do
        case "${dll,,}" in
            kernel32.dll | user32.dll | gdi32.dll | comctl32.dll | msvcrt.dll | advapi32.dll | \
                shell32.dll | ole32.dll) ;;
            *)
                echo "imports $dll" >&2
                status=1
                ;;
        esac
    done
    return $status
}

icon_has_three_256_colour_images() {
    wrestool -x --type=14 "$program" >"$work/program.ico" 2>/dev/null || return 1
    local images
    images="$(icotool -l "$work/program.ico" | sed -E 's/.*--width=([0-9]+) --height=([0-9]+) --bit-depth=([0-9]+).*/\1x\2x\3/')"
    [ "$(echo $images)" = "16x16x8 32x32x8 48x48x8" ] || { echo "icon images: $images" >&2; return 1; }
}

# The version block, read as the UTF-16 text it mostly is: keys and values
# stand on lines of their own, the binary fields between them become noise.
version_strings() {
    wrestool -x --raw --type=16 "$program" | iconv -f UTF-16LE -t UTF-8 -c | tr '\000-\037' '\n' |
        grep -v '^$'
}

value_of() {
    version_strings | awk -v key="$1" 'found { print; exit } $0 == key { found = 1 }'
}

version_block_is_chinese_unicode_1_0() {
    local hex status=0 key
    hex="$(wrestool -x --raw --type=16 "$program" | od -An -v -tx1 | tr -d ' \n')"
    # VS_FIXEDFILEINFO: signature, structure version, file version 1.0.0.0,
    # product version 1.0.0.0.
    [[ "$hex" == *bd04effe0000010000000100000000000000010000000000* ]] ||
        { echo "fixed versions are not 1.0.0.0" >&2; status=1; }
    # The translation: language 0x0804, code page 1200.
    [[ "$hex" == *0408b004 ]] || { echo "translation is not 0x0804, 1200" >&2; status=1; }
    version_strings | grep -qx 080404B0 || { echo "no string table 080404B0" >&2; status=1; }
    [ "$(value_of FileVersion)" = 1.00 ] || { echo "FileVersion $(value_of FileVersion)" >&2; status=1; }
    [ "$(value_of ProductVersion)" = 1.00 ] || { echo "ProductVersion" >&2; status=1; }
    for key in CompanyName ProductName InternalName OriginalFilename FileDescription; do
        [ -n "$(value_of "$key")" ] || { echo "no $key" >&2; status=1; }
    done
    [ "$(value_of OriginalFilename)" = ObeyGen.exe ] || { echo "OriginalFilename" >&2; status=1; }
    return $status
}

manifest_asks_for_controls_6_and_per_monitor_dpi() {
    local manifest
    manifest="$(wrestool -x --raw --type=24 "$program")" || return 1
    grep -q 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' <<<"$manifest" &&
        grep -q 'PerMonitorV2' <<<"$manifest" && grep -q 'true/pm' <<<"$manifest" ||
        { echo "manifest lacks common controls 6 or per-monitor DPI awareness" >&2; return 1; }
    # The list is written in the system's ANSI code page.
    ! grep -qi activeCodePage <<<"$manifest" || { echo "manifest sets the code page" >&2; return 1; }
}

check "imports only system DLLs, GUI subsystem" imports_only_system_dlls
check "icon of three 256-colour images" icon_has_three_256_colour_images
check "version block" version_block_is_chinese_unicode_1_0
check "manifest" manifest_asks_for_controls_6_and_per_monitor_dpi
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]

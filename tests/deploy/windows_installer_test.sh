#!/usr/bin/env bash
# The Windows installer, end to end under Wine, in a Wine prefix of its own:
#  1. CPack makes the installer and the ZIP; both stay within their sizes;
#  2. the installer installs silently (/S) into Program Files, with a
#     Start-menu entry;
#  3. the installed program runs on Xvfb with Qt's real windows platform
#     (drawn by Wine), shows its window, and exits 0 when the window is closed;
#  4. a board DLL built on its own, dropped over the installed one, is the one
#     the installed program loads, with no rebuild;
#  5. the uninstaller leaves nothing behind.
#   windows_installer_test.sh BUILD_DIR WORK_DIR E2E_SCRIPT E2E_TOOLS TRACING_DLL [SCREENSHOT.png]
set -euo pipefail

build_dir=$1 work=$2 e2e=$3 tools=$4 tracing=$5 screenshot=${6:-}
max_installer_bytes=$((10 * 1024 * 1024))
fail() { echo "FAIL: $*" >&2; exit 1; }
windows_path() { local path=${1//\//\\}; echo "Z:$path"; }

[ -x "$tools/x11_window" ] && [ -x "$tools/x11_grab" ] ||
    fail "no x11_window and x11_grab in $tools: build the Linux tree's tools first (make test-windows does)"

rm -rf "$work"
mkdir -p "$work"
(cd "$build_dir" && cpack -G "NSIS;ZIP" -B "$work" >/dev/null)
installer=$(find "$work" -maxdepth 1 -name 'powermonitor-*-win64.exe' | head -n 1)
zip=$(find "$work" -maxdepth 1 -name 'powermonitor-*-win64.zip' | head -n 1)
[ -f "$installer" ] && [ -f "$zip" ] || fail "cpack made no installer and ZIP in $work"
bytes=$(stat -c %s "$installer")
[ "$bytes" -le "$max_installer_bytes" ] || fail "the installer is $bytes bytes, more than $max_installer_bytes"
echo "built $(basename "$installer") ($((bytes / 1024)) KiB) and $(basename "$zip") ($(($(stat -c %s "$zip") / 1024)) KiB)"

export WINEPREFIX=$work/wine WINEDEBUG=-all
"$(dirname "$0")/../../scripts/wine-prefix.sh" "$WINEPREFIX"
drive_c=$WINEPREFIX/drive_c
folder="$drive_c/Program Files/Orvane9 power monitor"
start_menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Orvane9 power monitor"

files_before=$(find "$drive_c" -type f | sort)
wine "$installer" /S
# Before the window: a Wine session started without a display would be reused.
wineserver -w
[ -f "$folder/powermonitor.exe" ] || fail "nothing installed in $folder"
[ -f "$start_menu/Orvane9 power monitor.lnk" ] || fail "no Start-menu entry in $start_menu"
installed=$(cd "$folder" && find . -type f ! -name Uninstall.exe | sed 's|^\./||' | sort)
zipped=$(unzip -Z1 "$zip" | grep -v '/$' | sed 's|^[^/]*/||' | sort)
[ "$installed" = "$zipped" ] || fail "the ZIP and the installer carry different files"
echo "installed into C:\\Program Files\\Orvane9 power monitor, with a Start-menu entry"

program='C:\Program Files\Orvane9 power monitor\powermonitor.exe'
POWERMONITOR_E2E_LAUNCHER=wine "$e2e" "$program" "$tools" ${screenshot:+"$screenshot"}

echo "--- a board DLL built on its own, dropped over the installed one"
trace=$work/trace
cp "$tracing" "$folder/Orvane_boardcontrol_api.dll"
BCTRL_TRACE_FILE=$(windows_path "$trace") POWERMONITOR_E2E_LAUNCHER=wine "$e2e" "$program" "$tools"
calls=$(tr -d '\r' <"$trace") # written in Windows' text mode
grep -qx bctrl_init <<<"$calls" && [ "$(tail -n 1 <<<"$calls")" = bctrl_deinit ] ||
    fail "the DLL dropped into the folder was not the one loaded"
echo "the installed program loaded the dropped-in DLL: $(wc -l <<<"$calls") calls traced"

wine "$folder/Uninstall.exe" /S
wineserver -w # the uninstaller finishes from a copy of itself in Temp
[ ! -e "$folder" ] || fail "the uninstaller left $(find "$folder" | head -n 5)"
[ ! -e "$start_menu" ] || fail "the uninstaller left the Start-menu folder"
wineboot --restart # a reboot deletes that copy, as on Windows
wineserver -w
left=$(comm -13 <(echo "$files_before") <(find "$drive_c" -type f | sort) | head -n 5)
[ -z "$left" ] || fail "the uninstaller left $left"
left=$(grep -i -l -E 'orvane|powermonitor' "$WINEPREFIX"/*.reg || true)
[ -z "$left" ] || fail "the uninstaller left registry entries in $left"
echo "PASS: installed, ran, took a drop-in DLL and uninstalled without a trace"

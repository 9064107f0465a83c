#!/usr/bin/env bash
# The Windows installer, end to end under Wine, in a (64-bit) Wine prefix of
# its own:
#  1. CPack makes the installer and the ZIP; both stay within their sizes;
#  2. the installer installs silently (/S) into Program Files (the 32-bit
#     program into Program Files (x86)), with a Start-menu entry and an
#     Add/Remove Programs entry that name the architecture;
#  3. the installed program runs on Xvfb with Qt's real windows platform
#     (drawn by Wine), shows its window, and exits 0 when the window is closed;
#  4. a board DLL built on its own, dropped over the installed one, is the one
#     the installed program loads, with no rebuild;
#  5. with OTHER_INSTALLER_DIR holding the other architecture's installer, both
#     install side by side, and the other still runs once this one is gone;
#     then the uninstallers leave nothing behind;
#  6. the 64-bit installer on a 32-bit Windows (a 32-bit Wine prefix, where
#     32-bit Wine is installed) refuses to install and names the 32-bit one.
#   windows_installer_test.sh BUILD_DIR WORK_DIR E2E_SCRIPT E2E_TOOLS TRACING_DLL BITS [SCREENSHOT.png]
set -euo pipefail

build_dir=$1 work=$2 e2e=$3 tools=$4 tracing=$5 bits=$6 screenshot=${7:-}
max_installer_bytes=$((10 * 1024 * 1024))
fail() { echo "FAIL: $*" >&2; exit 1; }
windows_path() { local path=${1//\//\\}; echo "Z:$path"; }

[ -x "$tools/x11_window" ] && [ -x "$tools/x11_grab" ] ||
    fail "no x11_window and x11_grab in $tools: build the Linux tree's tools first (make test-windows does)"

rm -rf "$work"
mkdir -p "$work"
(cd "$build_dir" && cpack -G "NSIS;ZIP" -B "$work" >/dev/null)
installer=$(find "$work" -maxdepth 1 -name "powermonitor-*-win$bits.exe" | head -n 1)
zip=$(find "$work" -maxdepth 1 -name "powermonitor-*-win$bits.zip" | head -n 1)
[ -f "$installer" ] && [ -f "$zip" ] || fail "cpack made no installer and ZIP in $work"
bytes=$(stat -c %s "$installer")
[ "$bytes" -le "$max_installer_bytes" ] || fail "the installer is $bytes bytes, more than $max_installer_bytes"
echo "built $(basename "$installer") ($((bytes / 1024)) KiB) and $(basename "$zip") ($(($(stat -c %s "$zip") / 1024)) KiB)"

export WINEPREFIX=$work/wine WINEDEBUG=-all
"$(dirname "$0")/../../scripts/wine-prefix.sh" "$WINEPREFIX"
drive_c=$WINEPREFIX/drive_c
label="Orvane9 power monitor ($bits-bit)"
program_files='Program Files'
[ "$bits" = 32 ] && program_files='Program Files (x86)'
folder="$drive_c/$program_files/Orvane9 power monitor"
start_menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/$label"

files_before=$(find "$drive_c" -type f | sort)
wine "$installer" /S
# Before the window: a Wine session started without a display would be reused.
wineserver -w
[ -f "$folder/powermonitor.exe" ] || fail "nothing installed in $folder"
[ -f "$start_menu/$label.lnk" ] || fail "no Start-menu entry in $start_menu"
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$label"
entry=$(wine reg query "$uninstall_key" /reg:32 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *\([A-Za-z]*\) *REG_[A-Z_]* *\(.*\)$/\1=\2/p')
for value in "DisplayName=$label" "DisplayVersion=$EXPECTED_VERSION" "Publisher=The Orvane9 power monitor authors" \
             "DisplayIcon=C:\\$program_files\\Orvane9 power monitor\\powermonitor.exe" "NoModify=0x1" "NoRepair=0x1"; do
    grep -qxF "$value" <<<"$entry" || fail "the Add/Remove Programs entry lacks $value; it has:"$'\n'"$entry"
done
for exe in "$installer" "$folder/Uninstall.exe"; do
    grep -qx 'icon: 16 24 32 48 64 256' <<<"$(/usr/bin/python3 "$(dirname "$0")/pe_resources.py" "$exe")" ||
        fail "$(basename "$exe") does not carry the program's icon"
done
size_kib=$(($(sed -n 's/^EstimatedSize=//p' <<<"$entry")))
[ "$size_kib" -gt $((20 * 1024)) ] || fail "the Add/Remove Programs entry gives the size as $size_kib KiB"
echo "Add/Remove Programs: $(grep -E '^(DisplayName|DisplayVersion|Publisher|DisplayIcon|EstimatedSize|NoModify|NoRepair)=' <<<"$entry" | paste -sd ';')"
installed=$(cd "$folder" && find . -type f ! -name Uninstall.exe | sed 's|^\./||' | sort)
zipped=$(unzip -Z1 "$zip" | grep -v '/$' | sed 's|^[^/]*/||' | sort)
[ "$installed" = "$zipped" ] || fail "the ZIP and the installer carry different files"
echo "installed into C:\\$program_files\\Orvane9 power monitor, with a Start-menu and an Add/Remove Programs entry \"$label\""

program="C:\\$program_files\\Orvane9 power monitor\\powermonitor.exe"
launcher=$("$(dirname "$0")/../../scripts/wine-loader.sh" "$folder/powermonitor.exe")
POWERMONITOR_E2E_LAUNCHER=$launcher "$e2e" "$program" "$tools" ${screenshot:+"$screenshot"}

echo "--- a board DLL built on its own, dropped over the installed one"
trace=$work/trace
cp "$tracing" "$folder/Orvane_boardcontrol_api.dll"
TRACING_BOARD_FILE=$(windows_path "$trace") POWERMONITOR_E2E_LAUNCHER=$launcher "$e2e" "$program" "$tools"
calls=$(tr -d '\r' <"$trace") # written in Windows' text mode
grep -qx bctrl_init <<<"$calls" && [ "$(tail -n 1 <<<"$calls")" = "bctrl_deinit 7ace0001" ] ||
    fail "the DLL dropped into the folder was not the one loaded"
echo "the installed program loaded the dropped-in DLL: $(wc -l <<<"$calls") calls traced"

echo "--- the installed board-call recorder in front of that DLL"
dll="$folder/Orvane_boardcontrol_api.dll"
mv "$dll" "$folder/Orvane_boardcontrol_api.real.dll"
cp "$folder/board-trace/Orvane_boardcontrol_api.dll" "$dll"
rm -f "$trace"
BCTRL_TRACE_FILE=$(windows_path "$work/record.tsv") TRACING_BOARD_FILE=$(windows_path "$trace") \
    POWERMONITOR_E2E_LAUNCHER=$launcher "$e2e" "$program" "$tools"
recorded=$(grep -v '^#' "$work/record.tsv" | awk -F'\t' '{ line = $2; if ($3 != "-") line = line " " $3; if ($4 != "-") line = line " " $4; print line }')
[ -n "$recorded" ] && [ "$recorded" = "$(tr -d '\r' <"$trace")" ] || fail "the recorder's calls are not the ones the board saw"
echo "recorded $(wc -l <<<"$recorded") calls, each as the board saw it"
rm "$dll"
mv "$folder/Orvane_boardcontrol_api.real.dll" "$dll"

# The other architecture's installer, where its build made one: both install
# side by side, and uninstalling this one leaves the other working.
other=$(find "${OTHER_INSTALLER_DIR:-/nonexistent}" -maxdepth 1 -name 'powermonitor-*-win*.exe' ! -name "*-win$bits.exe" 2>/dev/null | head -n 1 || true)
if [ -n "$other" ]; then
    echo "--- $(basename "$other") beside it"
    wine "$other" /S
    wineserver -w
    other_bits=$((96 - bits)) # 32 <-> 64
    other_folder="$drive_c/Program Files/Orvane9 power monitor"
    [ "$other_bits" = 32 ] && other_folder="$drive_c/Program Files (x86)/Orvane9 power monitor"
    other_menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Orvane9 power monitor ($other_bits-bit)"
fi

wine "$folder/Uninstall.exe" /S
wineserver -w # the uninstaller finishes from a copy of itself in Temp
[ ! -e "$folder" ] || fail "the uninstaller left $(find "$folder" | head -n 5)"
[ ! -e "$start_menu" ] || fail "the uninstaller left the Start-menu folder"

if [ -n "$other" ]; then
    [ -f "$other_menu/Orvane9 power monitor ($other_bits-bit).lnk" ] || fail "uninstalling took the other's Start-menu entry"
    other_program="$other_folder/powermonitor.exe"
    POWERMONITOR_E2E_LAUNCHER=$("$(dirname "$0")/../../scripts/wine-loader.sh" "$other_program") \
        "$e2e" "$(windows_path "$other_program")" "$tools"
    wine "$other_folder/Uninstall.exe" /S
    wineserver -w
    echo "installed side by side; the $other_bits-bit program still ran after this one was uninstalled"
fi
wineboot --restart # a reboot deletes that copy, as on Windows
wineserver -w
left=$(comm -13 <(echo "$files_before") <(find "$drive_c" -type f | sort) | head -n 5)
[ -z "$left" ] || fail "the uninstaller left $left"
left=$(grep -i -l -E 'orvane|powermonitor' "$WINEPREFIX"/*.reg || true)
[ -z "$left" ] || fail "the uninstaller left registry entries in $left"

if [ "$bits" = 64 ]; then
    if [ -x /usr/lib/wine/wine ]; then
        echo "--- the 64-bit installer on a 32-bit Windows"
        export WINEPREFIX=$work/wine32 WINEARCH=win32
        "$(dirname "$0")/../../scripts/wine-prefix.sh" "$WINEPREFIX"
        status=0
        wine "$installer" /S || status=$?
        wineserver -w
        [ "$status" -ne 0 ] || fail "the 64-bit installer reported success on a 32-bit Windows"
        [ -z "$(find "$WINEPREFIX/drive_c" -ipath '*orvane9*' | head -n 1)" ] ||
            fail "the 64-bit installer installed on a 32-bit Windows"
        # The message shows in a box, which a silent run skips: read the
        # installer's script for it.
        grep -q "Install powermonitor-.*-win32.exe instead" "$work"/_CPack_Packages/win64/NSIS/project.nsi ||
            fail "the 64-bit installer does not name the 32-bit one"
        echo "refused with exit status $status, naming the 32-bit installer"
    else
        echo "--- skipped: the 64-bit installer on a 32-bit Windows needs 32-bit Wine (wine32:i386)"
    fi
fi
echo "PASS: installed, ran, took a drop-in DLL and uninstalled without a trace"

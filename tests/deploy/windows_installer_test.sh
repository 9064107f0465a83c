#!/usr/bin/env bash
# The Windows installer, end to end under Wine, in a (64-bit) Wine prefix of
# its own:
#  1. CPack makes the installer and the ZIP; both stay within their sizes;
#  2. the installer installs silently (/S) into Program Files (the 32-bit
#     program into Program Files (x86)), with the simulated board, and a
#     Start-menu entry and an Add/Remove Programs entry that say so;
#  3. the installed program runs on Xvfb with Qt's real windows platform
#     (drawn by Wine), shows its window, and exits 0 when the window is closed;
#     at 144 dpi (Windows' 150 %) the whole window is 1.4 to 1.6 times as large;
#  4. a board DLL built on its own, copied by hand over the installed one, is
#     the one the installed program loads, and a silent reinstall keeps it;
#  5. /BOARDDLL= installs a maker-style DLL byte for byte (for the 32-bit
#     program a __stdcall one with plain names, which every call reaches with
#     the board's handle and arguments), and an upgrade one patch up keeps it;
#  6. DLLs that the program cannot call are refused, with nothing changed;
#  7. with OTHER_INSTALLER_DIR holding the other architecture's installer, both
#     install side by side, and the other still runs once this one is gone;
#     the uninstallers leave the maker's DLL and nothing else behind;
#  8. the 64-bit installer on a 32-bit Windows (a 32-bit Wine prefix) and on a
#     Windows 10 older than Qt 6's refuses and names the 32-bit one.
#   windows_installer_test.sh BUILD_DIR WORK_DIR E2E_SCRIPT E2E_TOOLS TRACING_DLL BITS [SCREENSHOT.png]
# MAKER_CC compiles the maker-style DLLs from the stand-in's source; for 32
# bits, STDCALL_TRACING_DLL is the tracing board as a __stdcall DLL with plain names.
set -euo pipefail

build_dir=$1 work=$2 e2e=$3 tools=$4 tracing=$5 bits=$6 screenshot=${7:-}
max_installer_bytes=$((10 * 1024 * 1024))
fail() { echo "FAIL: $*" >&2; exit 1; }
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
dll=Orvane_boardcontrol_api.dll
short_sha() { sha256sum "$1" | cut -c 1-12; }
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
# The next patch version of the same build, for the upgrade.
next_version=$(awk -F. '{ print $1 "." $2 "." $3 + 1 }' <<<"$EXPECTED_VERSION")
(cd "$build_dir" && cpack -G NSIS -B "$work/next" -R "$next_version" \
    -D CPACK_PACKAGE_FILE_NAME="powermonitor-$next_version-win$bits" >/dev/null)
next_installer=$work/next/powermonitor-$next_version-win$bits.exe
[ -f "$next_installer" ] || fail "cpack made no installer for $next_version"

# Maker-style DLLs, built here from the stand-in's source without our version
# resource: one that fits, and one that lacks a function.
maker=$work/maker/$dll
incomplete=$work/incomplete/$dll
mkdir -p "$work/maker" "$work/incomplete"
"$MAKER_CC" -O2 -shared -I"$source_dir/board" "$source_dir/board/standin/standin_board.c" -o "$maker"
"$MAKER_CC" -O2 -shared -I"$source_dir/board" -Dbctrl_reset_modem=bctrl_reset_modem_renamed \
    "$source_dir/board/standin/standin_board.c" -o "$incomplete"

# Both installers are 32-bit programs: without 32-bit Wine they would exit 0
# having installed nothing.
"$(dirname "$0")/../../scripts/wine-loader.sh" "$installer" >/dev/null || fail "the installer cannot run under Wine here"

export WINEPREFIX=$work/wine WINEDEBUG=-all
# The 64-bit program is made for Windows 10 1809 and later; Wine's default here is Windows 7.
[ "$bits" = 64 ] && export WINE_WINDOWS_VERSION=win10
"$(dirname "$0")/../../scripts/wine-prefix.sh" "$WINEPREFIX"
unset WINE_WINDOWS_VERSION
drive_c=$WINEPREFIX/drive_c
label="Orvane9 power monitor ($bits-bit)"
program_files='Program Files'
[ "$bits" = 32 ] && program_files='Program Files (x86)'
folder="$drive_c/$program_files/Orvane9 power monitor"
start_menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/$label"

simulated_label="Orvane9 power monitor ($bits-bit, simulated board)"
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$label"
arp_entry() {
    wine reg query "$uninstall_key" /reg:32 2>/dev/null | tr -d '\r' |
        sed -n 's/^ *\([A-Za-z]*\) *REG_[A-Z_]* *\(.*\)$/\1=\2/p'
}
# Runs an installer silently; $status is its exit status.
install() {
    status=0
    wine "$@" || status=$?
    # Before a window: a Wine session started without a display would be reused.
    wineserver -w
}
# What Windows shows of the installed program: the entry and the shortcut
# name the simulated board exactly while it is the board library.
expect_named() {
    local name=$1 entry
    entry=$(arp_entry)
    grep -qxF "DisplayName=$name" <<<"$entry" || fail "Add/Remove Programs shows $(grep DisplayName <<<"$entry"), not $name"
    [ "$(cd "$start_menu" && ls ./*.lnk | sort | paste -sd ' ')" = "./$name.lnk ./Uninstall.lnk" ] ||
        fail "the Start menu holds $(ls "$start_menu"), not \"$name\""
}
folder_state() { (cd "$folder" && find . -type f -exec sha256sum {} + | sort -k 2); arp_entry; }

files_before=$(find "$drive_c" -type f | sort)
install "$installer" /S
[ "$status" = 0 ] || fail "the installer exited with $status"
[ -f "$folder/powermonitor.exe" ] || fail "nothing installed in $folder"
expect_named "$simulated_label"
echo "a first silent install: exit $status, the simulated board ($(short_sha "$folder/$dll")), named \"$simulated_label\""
entry=$(arp_entry)
for value in "DisplayVersion=$EXPECTED_VERSION" "Publisher=The Orvane9 power monitor authors" \
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
echo "installed into C:\\$program_files\\Orvane9 power monitor, as the ZIP carries it"

program="C:\\$program_files\\Orvane9 power monitor\\powermonitor.exe"
launcher=$("$(dirname "$0")/../../scripts/wine-loader.sh" "$folder/powermonitor.exe")
# The window's size as the end-to-end check saw it, from its PASS line.
shown_at() { tee /dev/stderr | sed -n 's/^PASS: window .* shown at \([0-9]*\)x\([0-9]*\),.*/\1 \2/p'; }
size_96=$(POWERMONITOR_E2E_LAUNCHER=$launcher "$e2e" "$program" "$tools" ${screenshot:+"$screenshot"} | shown_at)

echo "--- the window at 150 % (144 dpi)"
set_dpi() {
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
    wine reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
        /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
    wineserver -w
}
set_dpi 144
picture_150=$work/window-150.png
[ -n "$screenshot" ] && picture_150=${screenshot%.png}-150.png
size_144=$(POWERMONITOR_E2E_SCREEN=1600x1400 POWERMONITOR_E2E_LAUNCHER=$launcher \
    "$e2e" "$program" "$tools" "$picture_150" | shown_at)
set_dpi 96
# The whole window scales, in both directions, as the display does: 1.5.
awk -v a="$size_96" -v b="$size_144" 'BEGIN {
    split(a, s); split(b, t)
    if (s[1] == "" || t[1] == "") exit 1
    w = t[1] / s[1]; h = t[2] / s[2]
    printf "at 96 dpi %dx%d, at 144 dpi %dx%d: %.2f wide, %.2f high\n", s[1], s[2], t[1], t[2], w, h
    exit !(w >= 1.4 && w <= 1.6 && h >= 1.4 && h <= 1.6) }' ||
    fail "the window did not scale as the display does at 150 %: $size_96 at 96 dpi, $size_144 at 144 dpi"

echo "--- a board DLL built on its own, dropped over the installed one"
trace=$work/trace
cp "$tracing" "$folder/Orvane_boardcontrol_api.dll"
TRACING_BOARD_FILE=$(windows_path "$trace") POWERMONITOR_E2E_LAUNCHER=$launcher "$e2e" "$program" "$tools"
calls=$(tr -d '\r' <"$trace") # written in Windows' text mode
grep -qx bctrl_init <<<"$calls" && [ "$(tail -n 1 <<<"$calls")" = "bctrl_deinit 7ace0001" ] ||
    fail "the DLL dropped into the folder was not the one loaded"
echo "the installed program loaded the dropped-in DLL: $(wc -l <<<"$calls") calls traced"
before=$(short_sha "$folder/$dll")
install "$installer" /S
[ "$status" = 0 ] && [ "$(short_sha "$folder/$dll")" = "$before" ] ||
    fail "a silent reinstall (exit $status) did not keep the hand-copied DLL"
expect_named "$label"
echo "a silent reinstall over the hand-copied DLL: exit $status, $before before and after, named \"$label\""

echo "--- the installed board-call recorder in front of that DLL"
mv "$folder/$dll" "$folder/Orvane_boardcontrol_api.real.dll"
cp "$folder/board-trace/$dll" "$folder/$dll"
rm -f "$trace"
BCTRL_TRACE_FILE=$(windows_path "$work/record.tsv") TRACING_BOARD_FILE=$(windows_path "$trace") \
    POWERMONITOR_E2E_LAUNCHER=$launcher "$e2e" "$program" "$tools"
recorded=$(grep -v '^#' "$work/record.tsv" | awk -F'\t' '{ line = $2; if ($3 != "-") line = line " " $3; if ($4 != "-") line = line " " $4; print line }')
[ -n "$recorded" ] && [ "$recorded" = "$(tr -d '\r' <"$trace")" ] || fail "the recorder's calls are not the ones the board saw"
echo "recorded $(wc -l <<<"$recorded") calls, each as the board saw it"
rm "$folder/$dll"
mv "$folder/Orvane_boardcontrol_api.real.dll" "$folder/$dll"

echo "--- /BOARDDLL: a maker-style DLL"
chosen=$maker
[ "$bits" = 32 ] && chosen=$STDCALL_TRACING_DLL # __stdcall, plain names
hand_copied=$(short_sha "$folder/$dll")
install "$installer" /S /BOARDDLL="$(windows_path "$chosen")"
[ "$status" = 0 ] || fail "the installer refused $chosen with $status"
cmp -s "$chosen" "$folder/$dll" || fail "/BOARDDLL did not install $chosen byte for byte"
[ "$(short_sha "$folder/Orvane_boardcontrol_api.previous.dll")" = "$hand_copied" ] ||
    fail "the board DLL it replaced was not kept as Orvane_boardcontrol_api.previous.dll"
expect_named "$label"
echo "/BOARDDLL=$(basename "$(dirname "$chosen")")/$dll: exit $status, $(short_sha "$chosen") installed byte for byte; the one it replaced ($hand_copied) kept as Orvane_boardcontrol_api.previous.dll"
rm -f "$trace"
# With a picture the check waits for a full poll cycle before closing.
TRACING_BOARD_FILE=$(windows_path "$trace") POWERMONITOR_E2E_LAUNCHER=$launcher \
    "$e2e" "$program" "$tools" "$work/chosen-dll.png"
if [ "$bits" = 32 ]; then
    # The program built for __stdcall: every call arrives with the board's
    # handle and the channel 0 it was made with.
    count=$("$(dirname "$0")/intact_calls.sh" "$trace")
    echo "the program built for __stdcall ran on it: $count calls, each with handle 7ace0001"
fi

echo "--- an upgrade to $next_version"
before=$(short_sha "$folder/$dll")
files=$(cd "$folder" && find . -type f | sort)
install "$next_installer" /S
entries=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /reg:32 | tr -d '\r' | grep -c "Orvane9 power monitor ($bits-bit" || true)
[ "$status" = 0 ] && [ "$(short_sha "$folder/$dll")" = "$before" ] || fail "the upgrade (exit $status) did not keep the board DLL"
grep -qxF "DisplayVersion=$next_version" <<<"$(arp_entry)" && [ "$entries" = 1 ] ||
    fail "after the upgrade Add/Remove Programs has $entries entries: $(arp_entry | grep DisplayVersion)"
[ "$(cd "$folder" && find . -type f | sort)" = "$files" ] || fail "the upgrade changed the set of files"
echo "upgrade to $next_version: exit $status, $before before and after, one Add/Remove Programs entry, version $next_version"
if [ "$bits" = 32 ]; then
    # It decided again from the DLL in place: the program built for __stdcall.
    cmp -s "$folder/powermonitor.exe" "$work/next/_CPack_Packages/win32/NSIS/powermonitor-$next_version-win32/stdcall_program/powermonitor.exe" ||
        fail "the upgrade over a __stdcall DLL did not install the program built for __stdcall"
    echo "the upgrade kept the program built for __stdcall"
fi

echo "--- DLLs that the program cannot call"
refuse() {
    local what=$1 path=$2 state
    state=$(folder_state)
    install "$installer" /S /BOARDDLL="$(windows_path "$path")"
    [ "$status" = 4 ] || fail "the installer took $what (exit $status)"
    [ "$(folder_state)" = "$state" ] || fail "refusing $what, the installer changed the folder or its entry"
    echo "refused $what: exit $status, nothing changed ($dll still $(short_sha "$folder/$dll"))"
    { wine "$folder/board-check.exe" "$(windows_path "$path")" || true; } | tr -d '\r' | tail -n 1
}
refuse "a DLL without bctrl_reset_modem" "$incomplete"
if [ "$bits" = 64 ]; then
    thirty_two=$work/x86/$dll
    mkdir -p "$work/x86"
    i686-w64-mingw32-gcc-posix -O2 -shared -I"$source_dir/board" "$source_dir/board/standin/standin_board.c" -o "$thirty_two"
    refuse "a 32-bit DLL" "$thirty_two"
    said=$({ wine "$folder/board-check.exe" "$(windows_path "$thirty_two")" || true; } | tr -d '\r')
    grep -q "install powermonitor-$EXPECTED_VERSION-win32.exe instead" <<<"$said" ||
        fail "board-check did not name the 32-bit installer: $said"
fi

# The other architecture's installer, where its build made one: both install
# side by side, and uninstalling this one leaves the other working.
other=$(find "${OTHER_INSTALLER_DIR:-/nonexistent}" -maxdepth 1 -name 'powermonitor-*-win*.exe' ! -name "*-win$bits.exe" 2>/dev/null | head -n 1 || true)
if [ -n "$other" ]; then
    echo "--- $(basename "$other") beside it"
    # The 64-bit program wants Windows 10 1809 or later.
    [ "$bits" = 32 ] && wine winecfg -v win10 >/dev/null 2>&1
    install "$other" /S
    [ "$status" = 0 ] || fail "$(basename "$other") exited with $status"
    other_bits=$((96 - bits)) # 32 <-> 64
    other_folder="$drive_c/Program Files/Orvane9 power monitor"
    [ "$other_bits" = 32 ] && other_folder="$drive_c/Program Files (x86)/Orvane9 power monitor"
    other_menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Orvane9 power monitor ($other_bits-bit)"
fi

kept=$(short_sha "$folder/$dll")
wine "$folder/Uninstall.exe" /S
wineserver -w # the uninstaller finishes from a copy of itself in Temp
left=$(cd "$folder" && find . -type f | sort | paste -sd ' ')
[ "$left" = "./$dll ./Orvane_boardcontrol_api.previous.dll" ] && [ "$(short_sha "$folder/$dll")" = "$kept" ] ||
    fail "the uninstaller left $left"
[ ! -e "$start_menu" ] || fail "the uninstaller left the Start-menu folder"
echo "uninstalled: the board DLLs that are not ours stay ($kept), nothing else"
rm -r "$folder"

if [ -n "$other" ]; then
    [ -f "$other_menu/Orvane9 power monitor ($other_bits-bit, simulated board).lnk" ] || fail "uninstalling took the other's Start-menu entry"
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
    echo "--- the 64-bit installer on a Windows 10 older than version 1809"
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v CurrentBuildNumber /d 17134 /f >/dev/null
    install "$installer" /S
    [ "$status" = 3 ] && [ ! -e "$folder" ] || fail "the 64-bit installer took Windows build 17134 (exit $status)"
    grep -q "!define OTHER_INSTALLER \"powermonitor-$EXPECTED_VERSION-win32.exe\"" "$work"/_CPack_Packages/win64/NSIS/project.nsi ||
        fail "the 64-bit installer does not name the 32-bit one"
    echo "refused build 17134 with exit status $status"
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
    grep -q 'Install ${OTHER_INSTALLER} instead' "$source_dir/packaging/windows/installer.nsh" &&
        grep -q "!define OTHER_INSTALLER \"powermonitor-$EXPECTED_VERSION-win32.exe\"" "$work"/_CPack_Packages/win64/NSIS/project.nsi ||
        fail "the 64-bit installer does not name the 32-bit one"
    echo "refused with exit status $status, naming the 32-bit installer"
fi
echo "PASS: installed, ran, took a drop-in DLL and uninstalled without a trace"

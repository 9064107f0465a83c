#!/usr/bin/env bash
# The Windows installer, end to end under Wine, one step a CTest test; the
# steps share a (64-bit) Wine prefix, and CTest's fixtures run them in order
# (tests/deploy/CMakeLists.txt):
#   make       CPack makes the installer, the ZIP and the next patch version's
#              installer, within their sizes; the Wine prefix is made
#   install    a silent install (/S) into Program Files (the 32-bit program into
#              Program Files (x86)), with the simulated board, named so in the
#              Start menu and Add/Remove Programs; the ZIP carries the same files
#   window     the installed program runs on Xvfb with Qt's windows platform,
#              shows its window, exits 0 when it is closed; at 144 dpi (150 %)
#              the whole window is 1.4 to 1.6 times as large
#   dropin     a board DLL copied by hand over the installed one is the one the
#              program loads, and a silent reinstall keeps it; the installed
#              recorder in front of it records the calls the board saw
#   boarddll   /BOARDDLL= installs each maker-style DLL that fits (both
#              conventions, every naming, a shim, forwarded exports with their
#              companion, gcc's stack protector with its libssp-0.dll) byte for
#              byte, keeps the one it replaced, and the
#              program makes every call with the board's handle and arguments
#   upgrade    an upgrade one patch up keeps the board DLL and its companions,
#              with one Add/Remove Programs entry; over an old uninstaller that
#              deletes every file, it keeps the board DLL by itself
#   refusals   DLLs that do not fit, our recorder among them, are refused (exit
#              status 4), nothing changed;
#              one copied by hand makes the program say so in a box and exit 3
#   switches   /BOARDDLL= quoted whole, in its value or not at all installs the
#              DLL from a folder with blanks and Cyrillic; a switch it does not
#              know, in the installer or the uninstaller, is refused (EXIT_USAGE)
#              with nothing changed; an install into a Cyrillic folder and out
#   uninstall  with the other architecture's installer (OTHER_INSTALLER_DIR)
#              both install side by side and the other runs once this one is
#              gone; the uninstaller leaves the DLLs that are not ours and
#              nothing else
#   oldwindows the 64-bit installer on a 32-bit Windows and on a Windows 10
#              older than Qt 6's refuses (exit status 3) and names the 32-bit
#              one; the 32-bit installer refuses Windows 7 before SP1
#   clean      removes the Wine prefixes, unless a step failed
#   windows_installer_test.sh STEP BUILD_DIR WORK_DIR E2E_SCRIPT E2E_TOOLS TRACING_DLL BITS MAKER_DIR [SCREENSHOT.png]
# MAKER_DIR holds the maker-style DLLs (maker_dlls.cmake), a folder each.
# The build names its facts in EXPECTED_VERSION, FITTING_SHAPES, BOARD_DLL,
# OLDEST_WINDOWS and OLDEST_WINDOWS_BUILD, and
# the installer's exit codes EXIT_BOARD_REFUSED, EXIT_WINDOWS_REFUSED and
# EXIT_USAGE; COMMAND_LINE_RUNNER runs a command line as written (command_line.c);
# WIPING_UNINSTALLER deletes every file of the folder it is given (wiping_uninstaller.c).
set -euo pipefail

step=$1 build_dir=$2 work=$3 e2e=$4 tools=$5 tracing=$6 bits=$7 maker=$8 screenshot=${9:-}
here=$(cd "$(dirname "$0")" && pwd)
scripts=$here/../../scripts
dll=$BOARD_DLL
fail() { echo "FAIL: $*" >&2; exit 1; }
# A step that fails leaves its mark: the prefixes stay for a look.
trap 'status=$?; [ "$status" = 0 ] || touch "$work/failed-$step"' EXIT
short_sha() { sha256sum "$1" | cut -c 1-12; }
windows_path() { local path=${1//\//\\}; echo "Z:$path"; }

export WINEPREFIX=$work/wine WINEDEBUG=-all
drive_c=$WINEPREFIX/drive_c
label="Orvane9 power monitor ($bits-bit)"
simulated_label="Orvane9 power monitor ($bits-bit, simulated board)"
program_files='Program Files'
[ "$bits" = 32 ] && program_files='Program Files (x86)'
folder="$drive_c/$program_files/Orvane9 power monitor"
program="C:\\$program_files\\Orvane9 power monitor\\powermonitor.exe"
start_menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/$label"
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$label"
# Each program is recorded in the registry view of its architecture.
view=/reg:$bits
next_version=$(awk -F. '{ print $1 "." $2 "." $3 + 1 }' <<<"$EXPECTED_VERSION")
installer=$work/powermonitor-$EXPECTED_VERSION-win$bits.exe
next_installer=$work/next/powermonitor-$next_version-win$bits.exe

# The Add/Remove Programs entry as NAME=VALUE lines; none where there is no entry.
arp_entry() {
    { wine reg query "$uninstall_key" "$view" 2>/dev/null || true; } | tr -d '\r' |
        sed -n 's/^ *\([A-Za-z]*\) *REG_[A-Z_]* *\(.*\)$/\1=\2/p'
}
# Runs an installer or uninstaller; $status is its exit status.
run_installer() {
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
    [ -n "$entry" ] || fail "Add/Remove Programs has no entry $uninstall_key ($view)"
    grep -qxF "DisplayName=$name" <<<"$entry" || fail "Add/Remove Programs shows $(grep DisplayName <<<"$entry"), not $name"
    [ "$(cd "$start_menu" && ls ./*.lnk | sort | paste -sd ' ')" = "./$name.lnk ./Uninstall.lnk" ] ||
        fail "the Start menu holds $(ls "$start_menu"), not \"$name\""
}
folder_state() { (cd "$folder" && find . -type f -exec sha256sum {} + | sort -k 2); arp_entry; }
launcher() { "$scripts/wine-loader.sh" "$folder/powermonitor.exe"; }
# The program run on Xvfb with the tracing board's record in $1, closed as a
# window manager closes it; further arguments go to the end-to-end check.
run_traced() {
    local trace=$1
    shift
    rm -f "$trace"
    TRACING_BOARD_FILE=$(windows_path "$trace") POWERMONITOR_E2E_LAUNCHER=$(launcher) "$e2e" "$program" "$tools" "$@"
}
# The files of the ZIP, as the folder holds them.
zipped() {
    unzip -Z1 "$(find "$work" -maxdepth 1 -name "powermonitor-*-win$bits.zip" | head -n 1)" |
        grep -v '/$' | sed 's|^[^/]*/||' | sort
}

# Both installers are 32-bit programs, as installers usually are: without
# 32-bit Wine they would exit 0 having installed nothing, so every step first
# makes sure that this host runs 32-bit programs, and fails saying what is
# missing where it does not.
if [ "$step" != clean ]; then
    "$scripts/wine-loader.sh" --arch x86 >/dev/null
fi

case "$step" in
make)
    rm -rf "$work"
    mkdir -p "$work"
    (cd "$build_dir" && cpack -G "NSIS;ZIP" -B "$work" >/dev/null)
    zip=$(find "$work" -maxdepth 1 -name "powermonitor-*-win$bits.zip" | head -n 1)
    [ -f "$installer" ] && [ -f "$zip" ] || fail "cpack made no installer and ZIP in $work"
    max_installer_bytes=$((10 * 1024 * 1024))
    bytes=$(stat -c %s "$installer")
    [ "$bytes" -le "$max_installer_bytes" ] || fail "the installer is $bytes bytes, more than $max_installer_bytes"
    echo "built $(basename "$installer") ($((bytes / 1024)) KiB) and $(basename "$zip") ($(($(stat -c %s "$zip") / 1024)) KiB)"
    # The next patch version of the same build, for the upgrade.
    (cd "$build_dir" && cpack -G NSIS -B "$work/next" -R "$next_version" \
        -D CPACK_PACKAGE_FILE_NAME="powermonitor-$next_version-win$bits" >/dev/null)
    [ -f "$next_installer" ] || fail "cpack made no installer for $next_version"
    # The 64-bit program is made for Windows 10 1809 and later; Wine's default here is Windows 7.
    [ "$bits" = 64 ] && export WINE_WINDOWS_VERSION=win10
    "$scripts/wine-prefix.sh" "$WINEPREFIX"
    echo "the Wine prefix is ready"
    ;;

install)
    find "$drive_c" -type f | sort >"$work/files-before"
    run_installer "$installer" /S
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
        grep -qx 'icon: 16 24 32 48 64 256' <<<"$(/usr/bin/python3 "$here/pe_resources.py" "$exe")" ||
            fail "$(basename "$exe") does not carry the program's icon"
    done
    size_kib=$(($(sed -n 's/^EstimatedSize=//p' <<<"$entry")))
    [ "$size_kib" -gt $((20 * 1024)) ] || fail "the Add/Remove Programs entry gives the size as $size_kib KiB"
    echo "Add/Remove Programs: $(grep -E '^(DisplayName|DisplayVersion|Publisher|DisplayIcon|EstimatedSize|NoModify|NoRepair)=' <<<"$entry" | paste -sd ';')"
    installed=$(cd "$folder" && find . -type f ! -name Uninstall.exe | sed 's|^\./||' | sort)
    [ "$installed" = "$(zipped)" ] || fail "the ZIP and the installer carry different files"
    echo "installed into C:\\$program_files\\Orvane9 power monitor, as the ZIP carries it"
    ;;

window)
    # The window's size as the end-to-end check saw it, from its PASS line.
    shown_at() { tee /dev/stderr | sed -n 's/^PASS: window .* shown at \([0-9]*\)x\([0-9]*\),.*/\1 \2/p'; }
    size_96=$(POWERMONITOR_E2E_LAUNCHER=$(launcher) "$e2e" "$program" "$tools" ${screenshot:+"$screenshot"} | shown_at)
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
    size_144=$(POWERMONITOR_E2E_SCREEN=1600x1400 POWERMONITOR_E2E_LAUNCHER=$(launcher) \
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
    ;;

dropin)
    trace=$work/trace
    cp "$tracing" "$folder/$dll"
    run_traced "$trace"
    calls=$(tr -d '\r' <"$trace") # written in Windows' text mode
    grep -qx bctrl_init <<<"$calls" && [ "$(tail -n 1 <<<"$calls")" = "bctrl_deinit 7ace0001" ] ||
        fail "the DLL dropped into the folder was not the one loaded"
    echo "the installed program loaded the dropped-in DLL: $(wc -l <<<"$calls") calls traced"
    before=$(short_sha "$folder/$dll")
    run_installer "$installer" /S
    [ "$status" = 0 ] && [ "$(short_sha "$folder/$dll")" = "$before" ] ||
        fail "a silent reinstall (exit $status) did not keep the hand-copied DLL"
    expect_named "$label"
    echo "a silent reinstall over the hand-copied DLL: exit $status, $before before and after, named \"$label\""

    echo "--- the installed board-call recorder in front of that DLL"
    mv "$folder/$dll" "$folder/${dll%.dll}.real.dll"
    cp "$folder/board-trace/$dll" "$folder/$dll"
    BCTRL_TRACE_FILE=$(windows_path "$work/record.tsv") run_traced "$trace"
    recorded=$("$here/recorded_calls.sh" "$work/record.tsv")
    [ -n "$recorded" ] && [ "$recorded" = "$(tr -d '\r' <"$trace")" ] || fail "the recorder's calls are not the ones the board saw"
    echo "recorded $(wc -l <<<"$recorded") calls, each as the board saw it"
    rm "$folder/$dll"
    mv "$folder/${dll%.dll}.real.dll" "$folder/$dll"
    ;;

boarddll)
    ours=$(zipped)
    for shape in $FITTING_SHAPES; do
        chosen=$maker/$shape/$dll
        replaced=$(short_sha "$folder/$dll")
        rm -f "$folder"/*.previous*.dll
        # The companions in the folder that this shape's replace, and the
        # program's own files of their names, which stay.
        declare -A had=() own=()
        for companion in "$maker/$shape"/*.dll; do
            name=$(basename "$companion")
            if [ "$name" = "$dll" ]; then
                continue
            elif grep -qxF "$name" <<<"$ours"; then
                own[$name]=$(short_sha "$folder/$name")
            elif [ -f "$folder/$name" ]; then
                had[$name]=$(short_sha "$folder/$name")
            fi
        done
        run_installer "$installer" /S /BOARDDLL="$(windows_path "$chosen")"
        [ "$status" = 0 ] || fail "$shape: the installer refused it with $status"
        cmp -s "$chosen" "$folder/$dll" || fail "$shape: /BOARDDLL did not install it byte for byte"
        for companion in "$maker/$shape"/*.dll; do
            [ "$companion" = "$chosen" ] || [ -n "${own[$(basename "$companion")]:-}" ] ||
                cmp -s "$companion" "$folder/$(basename "$companion")" ||
                fail "$shape: its companion $(basename "$companion") was not installed with it"
        done
        [ "$(short_sha "$folder/${dll%.dll}.previous.dll")" = "$replaced" ] ||
            fail "$shape: the board DLL it replaced was not kept as ${dll%.dll}.previous.dll"
        for name in "${!had[@]}"; do
            [ "$(short_sha "$folder/${name%.dll}.previous.dll")" = "${had[$name]}" ] ||
                fail "$shape: the $name it replaced was not kept as ${name%.dll}.previous.dll"
        done
        for name in "${!own[@]}"; do
            [ "$(short_sha "$folder/$name")" = "${own[$name]}" ] && [ ! -e "$folder/${name%.dll}.previous.dll" ] ||
                fail "$shape: its $name replaced the program's own"
        done
        expect_named "$label"
        # With a picture the check waits for a full poll cycle before closing.
        run_traced "$work/trace-$shape" "$work/window-$shape.png" >"$work/e2e-$shape.log" ||
            fail "$shape: $(cat "$work/e2e-$shape.log")"
        count=$("$here/intact_calls.sh" "$work/trace-$shape")
        with=$(cd "$maker/$shape" && for companion in *.dll; do [ "$companion" = "$dll" ] || printf ' with %s' "$companion"; done)
        replacing=$(for name in "${!had[@]}"; do printf ', the %s there kept' "$name"; done
            for name in "${!own[@]}"; do printf ', the program'"'"'s own %s staying' "$name"; done)
        printf '%-18s installed: exit %s, byte for byte%s%s; the program made %s calls, each with handle 7ace0001\n' \
            "$shape" "$status" "$with" "$replacing" "$count"
        unset had own
    done
    ;;

upgrade)
    # A maker's DLL with a companion, as the boarddll step leaves it.
    shape=$(awk '{ print $NF }' <<<"$FITTING_SHAPES")
    run_installer "$installer" /S /BOARDDLL="$(windows_path "$maker/$shape/$dll")"
    [ "$status" = 0 ] || fail "installing $shape exited with $status"
    # The board DLL and its companions, by the names they have beside it.
    mapfile -t dlls < <(cd "$maker/$shape" && ls ./*.dll)
    before=$(cd "$folder" && sha256sum "${dlls[@]}")
    files=$(cd "$folder" && find . -type f | sort)
    run_installer "$next_installer" /S
    entries=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' "$view" | tr -d '\r' | grep -c "Orvane9 power monitor ($bits-bit" || true)
    [ "$status" = 0 ] && [ "$(cd "$folder" && sha256sum "${dlls[@]}")" = "$before" ] ||
        fail "the upgrade (exit $status) did not keep the board DLL and its companions"
    grep -qxF "DisplayVersion=$next_version" <<<"$(arp_entry)" && [ "$entries" = 1 ] ||
        fail "after the upgrade Add/Remove Programs has $entries entries: $(arp_entry | grep DisplayVersion)"
    [ "$(cd "$folder" && find . -type f | sort)" = "$files" ] || fail "the upgrade changed the set of files"
    echo "upgrade to $next_version over $shape: exit $status, the board DLL and its companions alike before and after, one Add/Remove Programs entry"

    # Over an installation whose uninstaller deletes every file: the board DLL
    # stays through the upgrade's own keeping, whatever the old uninstaller does.
    run_installer "$installer" /S /BOARDDLL="$(windows_path "$maker/cdecl-plain/$dll")"
    [ "$status" = 0 ] || fail "installing cdecl-plain exited with $status"
    cp "$WIPING_UNINSTALLER" "$folder/Uninstall.exe"
    run_installer "$next_installer" /S
    [ "$status" = 0 ] && cmp -s "$maker/cdecl-plain/$dll" "$folder/$dll" && [ -f "$folder/powermonitor.exe" ] ||
        fail "the upgrade over an uninstaller that deletes every file (exit $status) lost the board DLL"
    left=$(find "$(dirname "$folder")" -maxdepth 1 -name '*.kept')
    [ -z "$left" ] || fail "the upgrade left $left behind"
    expect_named "$label"
    echo "upgrade to $next_version over an uninstaller that deletes every file: exit $status, the board DLL kept byte for byte"

    # 64-bit installers of before recorded the 64-bit program in the 32-bit
    # view: the upgrade finds it there, in a folder of its own, upgrades it
    # in place and records it in the 64-bit view alone.
    if [ "$bits" = 64 ]; then
        elsewhere='C:\Orvane9-elsewhere'
        run_installer "$installer" /S /D="$elsewhere"
        [ "$status" = 0 ] || fail "installing into $elsewhere exited with $status"
        for key in "$uninstall_key" "HKLM\\$APP_KEY"; do
            wine reg export "$key" "$(windows_path "$work/moved.reg")" /reg:64 /y >/dev/null &&
                wine reg delete "$key" /reg:64 /f >/dev/null &&
                wine reg import "$(windows_path "$work/moved.reg")" /reg:32 >/dev/null 2>&1 ||
                fail "could not move $key to the 32-bit view"
        done
        run_installer "$next_installer" /S
        location=$(arp_entry | sed -n 's/^InstallLocation=//p')
        [ "$status" = 0 ] && [ "$location" = "$elsewhere" ] && [ -f "$drive_c/Orvane9-elsewhere/powermonitor.exe" ] ||
            fail "the upgrade over an installation in the 32-bit view (exit $status) went to ${location:-nowhere}"
        ! wine reg query "$uninstall_key" /reg:32 >/dev/null 2>&1 && ! wine reg query "HKLM\\$APP_KEY" /reg:32 >/dev/null 2>&1 ||
            fail "the upgrade left the installation in the 32-bit view"
        grep -qxF "DisplayVersion=$next_version" <<<"$(arp_entry)" || fail "the upgrade did not record $next_version"
        echo "upgrade to $next_version over an installation in $elsewhere recorded in the 32-bit view: exit $status, found there, now in the 64-bit view alone"
        # Back to the usual folder, for the steps after this one.
        run_installer "$drive_c/Orvane9-elsewhere/Uninstall.exe" /S "_?=$elsewhere"
        rm -rf "$drive_c/Orvane9-elsewhere"
        run_installer "$installer" /S
        [ "$status" = 0 ] && [ -f "$folder/powermonitor.exe" ] || fail "reinstalling into $folder: exit $status"
    fi
    ;;

refusals)
    refuse() {
        local what=$1 path=$2 state
        state=$(folder_state)
        run_installer "$installer" /S /BOARDDLL="$(windows_path "$path")"
        [ "$status" = "$EXIT_BOARD_REFUSED" ] || fail "the installer took $what (exit $status)"
        [ "$(folder_state)" = "$state" ] || fail "refusing $what, the installer changed the folder or its entry"
        echo "refused $what: exit $status, nothing changed ($dll still $(short_sha "$folder/$dll"))"
        { wine "$folder/board-check.exe" "$(windows_path "$path")" || true; } | tr -d '\r' | tail -n 1
    }
    refuse "a DLL without bctrl_reset_modem" "$maker/unfit-missing/$dll"
    refuse "a DLL whose bctrl_deinit takes 8 bytes" "$maker/unfit-bytes/$dll"
    refuse "a DLL of the other architecture" "$maker/unfit-architecture/$dll"
    # A forwarding DLL without the companion that holds its functions.
    alone=$work/alone/$dll
    mkdir -p "$work/alone"
    cp "$maker/stdcall-forwarded/$dll" "$alone"
    refuse "a forwarding DLL without its companion" "$alone"
    refuse "a DLL whose companion needs a DLL that is nowhere" "$maker/unfit-third-missing/$dll"
    # One built with gcc's stack protector, without its runtime DLL.
    mkdir -p "$work/alone-ssp"
    cp "$maker/cdecl-ssp/$dll" "$work/alone-ssp/$dll"
    refuse "a DLL without the libssp-0.dll it needs" "$work/alone-ssp/$dll"
    refuse "our own board-call recorder" "$folder/board-trace/$dll"
    # The same DLL copied by hand over the installed one: the program says so
    # in a box of its own, before any window and any board call, and exits 3.
    mv "$folder/$dll" "$work/installed.dll"
    cp "$maker/unfit-missing/$dll" "$folder/$dll"
    POWERMONITOR_E2E_TITLE="Orvane9 power monitor" POWERMONITOR_E2E_STATUS=3 run_traced "$work/trace-unfit"
    [ ! -e "$work/trace-unfit" ] || fail "the program called a board that does not fit: $(cat "$work/trace-unfit")"
    mv "$work/installed.dll" "$folder/$dll"
    echo "a DLL without bctrl_reset_modem copied by hand: the program said so in its own box, exit 3, no board call"
    if [ "$bits" = 64 ]; then
        said=$({ wine "$folder/board-check.exe" "$(windows_path "$maker/unfit-architecture/$dll")" || true; } | tr -d '\r')
        grep -q "install powermonitor-$EXPECTED_VERSION-win32.exe instead" <<<"$said" ||
            fail "board-check did not name the 32-bit installer: $said"
    fi
    ;;

switches)
    # Command lines as deployment tools and PowerShell write them, run as
    # written: a switch quoted whole, in its value or not at all names the
    # same DLL, in a folder with blanks and Cyrillic in its name.
    export LC_ALL=C.UTF-8 # how Wine reads the variable's Cyrillic
    run_line() {
        status=0
        COMMAND_LINE=$1 wine "$COMMAND_LINE_RUNNER" || status=$?
        wineserver -w
    }
    odd="$work/платы с пробелами"
    exe="\"$(windows_path "$installer")\""
    for quoting in whole value none silent; do
        case $quoting in
        whole) shape=cdecl-plain ;;
        value) shape=stdcall-plain ;;
        none) shape=cdecl-decorated ;;
        silent) shape=stdcall-decorated ;;
        esac
        mkdir -p "$odd/$shape"
        cp "$maker/$shape/$dll" "$odd/$shape/$dll"
        path=$(windows_path "$odd/$shape/$dll")
        case $quoting in
        whole) line="$exe /S \"/BOARDDLL=$path\"" ;;
        value) line="$exe /S /BOARDDLL=\"$path\"" ;;
        none) line="$exe /S /BOARDDLL=$path" ;;
        # A quoted /S, as tools that quote every argument write it, is as silent.
        silent) line="$exe \"/S\" \"/BOARDDLL=$path\"" ;;
        esac
        run_line "$line"
        [ "$status" = 0 ] && cmp -s "$odd/$shape/$dll" "$folder/$dll" ||
            fail "$line: exit $status, and the board DLL is $(short_sha "$folder/$dll"), not $shape's"
        expect_named "$label"
        echo "$line: exit 0, $shape's DLL installed"
    done

    # What the installer does not know, it refuses before writing anything.
    state=$(folder_state)
    for line in "$exe /S /BOARDLL=$path" "$exe /S stray /BOARDDLL=$path" "$exe /S /BOARDDLL=$path /BOARDDLL=$path" \
        "$exe /S /QUIET" "$exe /S \"/D=C:\\Other folder\"" "$exe /S \"/NCRC\"" \
        "$exe /S /D=C:\\Other folder /BOARDDLL=$path"; do
        run_line "$line"
        [ "$status" = "$EXIT_USAGE" ] && [ "$(folder_state)" = "$state" ] ||
            fail "$line: exit $status, or the folder or its entry changed"
        echo "$line: refused, exit $status, nothing changed"
    done
    uninstaller="\"C:\\$program_files\\Orvane9 power monitor\\Uninstall.exe\""
    line="$uninstaller /S /KEEP _?=C:\\$program_files\\Orvane9 power monitor"
    run_line "$line"
    [ "$status" = "$EXIT_USAGE" ] && [ "$(folder_state)" = "$state" ] ||
        fail "$line: exit $status, or the folder or its entry changed"
    echo "$line: refused, exit $status, nothing removed"

    # Installed into a folder with Cyrillic in its name, from one (the other
    # install goes first, its board DLL kept), then uninstalled from there.
    into="C:\\Программы\\Монитор питания"
    into_unix="$drive_c/Программы/Монитор питания"
    run_line "$exe /S \"/BOARDDLL=$(windows_path "$odd/cdecl-plain/$dll")\" /D=$into"
    [ "$status" = 0 ] && [ -f "$into_unix/powermonitor.exe" ] && cmp -s "$odd/cdecl-plain/$dll" "$into_unix/$dll" ||
        fail "installing into $into: exit $status, $(ls "$into_unix" 2>&1 | head -n 3)"
    # reg query prints in the console's code page; an exported .reg file is UTF-16.
    wine reg export "$uninstall_key" "$(windows_path "$work/entry.reg")" "$view" /y >/dev/null
    iconv -f UTF-16 -t UTF-8 "$work/entry.reg" | tr -d '\r' | grep -xF "\"InstallLocation\"=\"${into//\\/\\\\}\"" >/dev/null ||
        fail "the entry does not name $into: $(iconv -f UTF-16 -t UTF-8 "$work/entry.reg")"
    [ -f "$folder/$dll" ] || fail "the install elsewhere did not keep the board DLL in $folder"
    run_line "\"$(windows_path "$into_unix")\\Uninstall.exe\" \"/S\""
    [ "$status" = 0 ] && [ "$(cd "$into_unix" && ls)" = "$dll" ] || fail "uninstalling from $into left $(ls "$into_unix")"
    rm -rf "$drive_c/Программы"
    run_installer "$installer" /S
    [ "$status" = 0 ] && [ -f "$folder/powermonitor.exe" ] || fail "reinstalling into $folder: exit $status"
    echo "installed into $into from $odd and uninstalled from there, the board DLL left; back in $folder"
    ;;

uninstall)
    # The other architecture's installer, where its build made one: both install
    # side by side, and uninstalling this one leaves the other working.
    other=$(find "${OTHER_INSTALLER_DIR:-/nonexistent}" -maxdepth 1 -name 'powermonitor-*-win*.exe' ! -name "*-win$bits.exe" 2>/dev/null | head -n 1 || true)
    if [ -n "$other" ]; then
        echo "--- $(basename "$other") beside it"
        # The 64-bit program wants Windows 10 1809 or later.
        [ "$bits" = 32 ] && wine winecfg -v win10 >/dev/null 2>&1
        run_installer "$other" /S
        [ "$status" = 0 ] || fail "$(basename "$other") exited with $status"
        other_bits=$((96 - bits)) # 32 <-> 64
        other_folder="$drive_c/Program Files/Orvane9 power monitor"
        [ "$other_bits" = 32 ] && other_folder="$drive_c/Program Files (x86)/Orvane9 power monitor"
        other_menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Orvane9 power monitor ($other_bits-bit)"
    fi
    # What stays: every file that is not ours, and the board DLL unless it is
    # our simulated board.
    ours=$(zipped)
    simulated=$(unzip -p "$(find "$work" -maxdepth 1 -name "powermonitor-*-win$bits.zip" | head -n 1)" "*/$dll" | sha256sum | cut -c 1-12)
    stays=$(cd "$folder" && find . -type f ! -name Uninstall.exe | sed 's|^\./||' | sort | grep -vxF -f <(echo "$ours") || true)
    [ "$(short_sha "$folder/$dll")" = "$simulated" ] || stays=$(printf '%s\n%s\n' "$stays" "$dll" | sed '/^$/d' | sort)
    kept=$(cd "$folder" && [ -z "$stays" ] || sha256sum $stays)
    wine "$folder/Uninstall.exe" /S
    wineserver -w # the uninstaller finishes from a copy of itself in Temp
    left=$([ -d "$folder" ] && cd "$folder" && find . -type f | sed 's|^\./||' | sort || true)
    [ "$left" = "$stays" ] || fail "the uninstaller left [$left], not [$stays]"
    [ -z "$stays" ] || [ "$(cd "$folder" && sha256sum $stays)" = "$kept" ] || fail "the uninstaller changed what it left"
    [ ! -e "$start_menu" ] || fail "the uninstaller left the Start-menu folder"
    echo "uninstalled: what is not ours stays ($(echo $stays)), nothing else"
    rm -rf "$folder"
    if [ -n "$other" ]; then
        [ -f "$other_menu/Orvane9 power monitor ($other_bits-bit, simulated board).lnk" ] || fail "uninstalling took the other's Start-menu entry"
        other_program="$other_folder/powermonitor.exe"
        POWERMONITOR_E2E_LAUNCHER=$("$scripts/wine-loader.sh" "$other_program") \
            "$e2e" "$(windows_path "$other_program")" "$tools"
        wine "$other_folder/Uninstall.exe" /S
        wineserver -w
        echo "installed side by side; the $other_bits-bit program still ran after this one was uninstalled"
    fi
    wineboot --restart # a reboot deletes that copy, as on Windows
    wineserver -w
    left=$(comm -13 "$work/files-before" <(find "$drive_c" -type f | sort) | sed -n 1,5p)
    [ -z "$left" ] || fail "the uninstaller left $left"
    left=$(grep -i -l -E 'orvane|powermonitor' "$WINEPREFIX"/*.reg || true)
    [ -z "$left" ] || fail "the uninstaller left registry entries in $left"
    ;;

oldwindows)
    # Refused (exit status and nothing installed), silently and in its box, whose
    # text Wine's msgbox channel writes; the box closed as a window manager does.
    refused() {
        local what=$1 expected=$2 said text
        run_installer "$installer" /S
        [ "$status" = "$EXIT_WINDOWS_REFUSED" ] && [ -z "$(find "$WINEPREFIX/drive_c" -ipath '*orvane9*' | head -n 1)" ] ||
            fail "the installer took $what silently (exit $status)"
        said=$(WINEDEBUG=-all,+msgbox POWERMONITOR_E2E_TITLE="$label Setup" POWERMONITOR_E2E_STATUS="$EXIT_WINDOWS_REFUSED" \
            POWERMONITOR_E2E_LAUNCHER=$("$scripts/wine-loader.sh" "$installer") "$e2e" "$(windows_path "$installer")" "$tools" 2>&1) ||
            fail "the installer on $what: $said"
        wineserver -w
        text=$(sed -n 's/^.*trace:msgbox:MSGBOX_OnInit L"\(.*\)"\r*$/\1/p' <<<"$said")
        [ "$text" = "$expected" ] || fail "on $what the installer's box said \"$text\", not \"$expected\""
        [ -z "$(find "$WINEPREFIX/drive_c" -ipath '*orvane9*' | head -n 1)" ] || fail "the installer installed on $what"
        echo "refused $what with exit status $EXIT_WINDOWS_REFUSED, silently and in its box: \"$text\""
    }
    version_key='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
    if [ "$bits" = 32 ]; then
        # Windows 7 before its Service Pack 1, in this prefix for one run.
        old_build=$((OLDEST_WINDOWS_BUILD - 1))
        build=$(wine reg query "$version_key" /v CurrentBuildNumber | tr -d '\r' | awk '$1 == "CurrentBuildNumber" { print $3 }')
        wine reg add "$version_key" /v CurrentBuildNumber /d "$old_build" /f >/dev/null
        refused "Windows build $old_build" \
            "The Orvane9 power monitor needs $OLDEST_WINDOWS (build $OLDEST_WINDOWS_BUILD) or later, and this Windows is build $old_build."
        wine reg add "$version_key" /v CurrentBuildNumber /d "$build" /f >/dev/null
        echo "PASS: $step"
        exit 0
    fi
    export WINEPREFIX=$work/wine-old
    WINE_WINDOWS_VERSION=win10 "$scripts/wine-prefix.sh" "$WINEPREFIX"
    wine reg add "$version_key" /v CurrentBuildNumber /d 17134 /f >/dev/null
    refused "a Windows 10 older than version 1809 (build 17134)" \
        "This is the 64-bit Orvane9 power monitor, made for $OLDEST_WINDOWS (build $OLDEST_WINDOWS_BUILD) or later, and this Windows is build 17134. Install powermonitor-$EXPECTED_VERSION-win32.exe instead."
    export WINEPREFIX=$work/wine32 WINEARCH=win32
    "$scripts/wine-prefix.sh" "$WINEPREFIX"
    refused "a 32-bit Windows" \
        "This is the 64-bit Orvane9 power monitor, and this Windows is 32-bit: it cannot run it. Install powermonitor-$EXPECTED_VERSION-win32.exe instead."
    ;;

clean)
    if ls "$work"/failed-* >/dev/null 2>&1; then
        echo "kept the Wine prefixes in $work for a look: $(cd "$work" && ls failed-* | sed 's/^failed-//' | paste -sd ' ') failed"
    else
        rm -rf "$work"/wine*
        echo "removed the Wine prefixes"
    fi
    ;;

*)
    fail "no step '$step'"
    ;;
esac
echo "PASS: $step"

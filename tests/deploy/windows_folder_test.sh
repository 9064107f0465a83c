#!/usr/bin/env bash
# The Windows program's folder runs as it is: installs the build into a folder,
# checks that it holds the program, the board DLL, Qt and the MinGW runtime,
# that every DLL imported by an .exe or .dll in it is either in the folder or
# part of Windows, and that it stays within its size.
#   windows_folder_test.sh BUILD_DIR WORK_DIR OBJDUMP
set -euo pipefail

build_dir=$1 work=$2 objdump=$3
folder=$work/powermonitor
max_bytes=$((25 * 1024 * 1024))
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
cmake --install "$build_dir" --prefix "$folder" --strip >/dev/null

for file in powermonitor.exe Orvane_boardcontrol_api.dll Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll \
            platforms/qwindows.dll styles/qwindowsvistastyle.dll \
            libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll \
            LICENSE.txt THIRD-PARTY.txt LGPL-3.0.txt GPL-3.0.txt; do
    [ -f "$folder/$file" ] || fail "the folder lacks $file"
done

# DLLs that every 64-bit Windows 10 or later has in System32.
declare -A windows_dll
for name in advapi32 authz comdlg32 d3d9 d3d11 dwmapi dwrite dxgi gdi32 imm32 kernel32 mpr msvcrt \
            netapi32 ole32 oleaut32 shcore shell32 shlwapi user32 userenv uxtheme version winmm ws2_32 \
            wtsapi32; do
    windows_dll[$name]=1
done
missing=()
while IFS= read -r binary; do
    while IFS= read -r dll; do
        name=${dll,,}
        name=${name%.dll}
        # Qt's plugins are loaded by the program, so their DLLs come from its folder too.
        [ -n "$(find "$folder" -maxdepth 1 -iname "$dll")" ] && continue
        [[ -n ${windows_dll[$name]:-} || $name == api-ms-win-* ]] && continue
        missing+=("${binary#"$folder"/} needs $dll")
    done < <("$objdump" -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p')
done < <(find "$folder" -iname '*.exe' -o -iname '*.dll')
[ ${#missing[@]} -eq 0 ] || fail "DLLs neither in the folder nor part of Windows: ${missing[*]}"

bytes=$(du -sb "$folder" | cut -f1)
[ "$bytes" -le "$max_bytes" ] || fail "the folder is $bytes bytes, more than $max_bytes"
echo "PASS: the folder holds $(find "$folder" -type f | wc -l) files, $((bytes / 1024)) KiB, and needs nothing but Windows"

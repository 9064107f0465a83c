#!/usr/bin/env bash
# The Windows program's folder runs as it is: installs the build into a folder,
# checks that it holds the program, the board DLL, Qt and the MinGW runtime,
# that every DLL imported by an .exe or .dll in it is either in the folder or
# part of the oldest Windows the program is for, and that it stays within its
# size. The 32-bit program is for Windows 7 SP1: it and our DLLs must say so in
# their headers, and none of the folder may need a DLL or a function that came
# later (WINDOWS_CC compiles the check of the functions). Every PE file in it
# has ASLR and NX.
#   windows_folder_test.sh BUILD_DIR WORK_DIR OBJDUMP x64|x86 "OURS" FILE...
# OURS: the files that this build makes (not Qt's, the compiler's or a maker's);
# FILE: every file the folder must hold. The build names the oldest Windows in
# OLDEST_WINDOWS, OLDEST_WIN32_WINNT and LINKED_WINDOWS_VERSION.
set -euo pipefail

build_dir=$1 work=$2 objdump=$3 arch=$4 ours=$5
shift 5
folder=$work/powermonitor
max_bytes=$((25 * 1024 * 1024))
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
cmake --install "$build_dir" --prefix "$folder" --strip >/dev/null

for file in "$@" LICENSE.txt THIRD-PARTY.txt LGPL-3.0.txt GPL-3.0.txt GCC-RUNTIME-LIBRARY-EXCEPTION-3.1.txt; do
    [ -f "$folder/$file" ] || fail "the folder lacks $file"
done

# The notice names this architecture's Qt, the Debian source it was built
# from, and every Qt and compiler runtime DLL the folder holds.
read -r source_package source_version < <(awk -v arch="$arch" '$1 == arch { print $4, $5 }' \
    "$(dirname "$0")/../../scripts/windows-qt-archives.txt")
notice=$(tr '\n' ' ' <"$folder/THIRD-PARTY.txt")
grep -qF "source package $source_package $source_version," <<<"$notice" ||
    fail "THIRD-PARTY.txt does not name $source_package $source_version"
for dll in "$folder"/Qt*.dll "$folder"/lib*.dll "$folder"/platforms/*.dll "$folder"/styles/*.dll; do
    grep -qF "$(basename "$dll")" <<<"$notice" || fail "THIRD-PARTY.txt does not name $(basename "$dll")"
done
# Each licence text under licenses\qt is named in the notice, and each one
# it names is there.
texts=0
for text in "$folder"/licenses/qt/*; do
    grep -qF "licenses\\qt\\$(basename "$text")" <<<"$notice" || fail "THIRD-PARTY.txt does not name licenses\\qt\\$(basename "$text")"
    texts=$((texts + 1))
done
while read -r named; do
    [ -f "$folder/licenses/qt/$named" ] || fail "THIRD-PARTY.txt names licenses\\qt\\$named, which the folder lacks"
done < <(grep -oE 'licenses\\qt\\[^ ,)]+' <<<"$notice" | sed 's/.*\\//' | sort -u)
[ "$texts" -gt 0 ] || fail "the folder has no licence texts of the code inside Qt"
echo "THIRD-PARTY.txt names $source_package $source_version, every Qt and runtime DLL and $texts licence texts"

# DLLs in System32 since Windows 7 SP1; the 64-bit program, for Windows 10 and
# later, may also need shcore and the api-ms-win-* sets (their l1-2-0 versions
# and shcore came with Windows 8 and later).
declare -A windows_dll
for name in advapi32 authz comdlg32 d3d9 d3d11 dwmapi dwrite dxgi gdi32 imm32 kernel32 mpr msvcrt \
            netapi32 ole32 oleaut32 shell32 shlwapi user32 userenv uxtheme version winmm ws2_32 wtsapi32; do
    windows_dll[$name]=1
done
case "$arch" in
x64)
    windows_dll[shcore]=1
    ;;
x86) ;;
*) fail "architecture is x64 or x86, not $arch" ;;
esac
# The oldest Windows, as the build knows it: its version stamped in our headers.
if [ -n "${LINKED_WINDOWS_VERSION:-}" ]; then
    for binary in $ours; do
        header=$("$objdump" -p "$folder/$binary")
        for field in MajorOSystemVersion MajorSubsystemVersion; do
            major=$(sed -n "s/^$field[[:space:]]*//p" <<<"$header")
            minor=$(sed -n "s/^${field/Major/Minor}[[:space:]]*//p" <<<"$header")
            [ "$major.$minor" = "$LINKED_WINDOWS_VERSION" ] ||
                fail "$binary declares $field $major.$minor, not $OLDEST_WINDOWS ($LINKED_WINDOWS_VERSION)"
        done
    done
fi
missing=()
while IFS= read -r binary; do
    while IFS= read -r dll; do
        name=${dll,,}
        name=${name%.dll}
        # Qt's plugins are loaded by the program, so their DLLs come from its folder too.
        [ -n "$(find "$folder" -maxdepth 1 -iname "$dll")" ] && continue
        [ -n "${windows_dll[$name]:-}" ] && continue
        [[ $arch == x64 && $name == api-ms-win-* ]] && continue
        missing+=("${binary#"$folder"/} needs $dll")
    done < <("$objdump" -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p')
done < <(find "$folder" -iname '*.exe' -o -iname '*.dll')
[ ${#missing[@]} -eq 0 ] || fail "DLLs neither in the folder nor part of Windows: ${missing[*]}"

# Every PE file shipped takes Windows' exploit mitigations: ASLR, with the
# relocations it needs, DEP (NX) and, on x64, high-entropy ASLR.
mitigations=$((0x40 | 0x100))
[ "$arch" = x64 ] && mitigations=$((mitigations | 0x20))
unprotected=()
while IFS= read -r binary; do
    header=$("$objdump" -p "$binary")
    flags=$((0x$(sed -n 's/^DllCharacteristics[[:space:]]*//p' <<<"$header")))
    relocations=$(sed -n 's/^Entry 5 [0-9a-f]* \([0-9a-f]*\) Base Relocation Directory.*/\1/p' <<<"$header")
    if [ $((flags & mitigations)) -ne "$mitigations" ] || grep -q 'relocations stripped' <<<"$header" ||
        [ $((0x${relocations:-0})) -eq 0 ]; then
        unprotected+=("${binary#"$folder"/} (DllCharacteristics $(printf '0x%x' "$flags"), relocations ${relocations:-none})")
    fi
done < <(find "$folder" -iname '*.exe' -o -iname '*.dll')
[ ${#unprotected[@]} -eq 0 ] || fail "PE files without ASLR, NX or (x64) high-entropy ASLR: ${unprotected[*]}"
echo "every PE file has ASLR with its relocations, NX$([ "$arch" = x64 ] && echo ' and high-entropy ASLR')"

# Function by function, what each imports from Windows must be in the oldest
# Windows of the program. MinGW's headers tell Windows 7 from 10, not one
# version of Windows 10 from another: the 64-bit program's floor, 1809, is
# Qt 6's own and its installer's.
named=()
[ "$OLDEST_WIN32_WINNT" = 0x0601 ] &&
    named=(GetSystemTimePreciseAsFileTime WaitOnAddress WakeByAddressSingle WakeByAddressAll
           SetThreadDescription GetThreadDescription)
too_new=$("$(dirname "$0")/windows_functions.sh" "$folder" "$objdump" "$WINDOWS_CC" "$OLDEST_WIN32_WINNT" "${named[@]}")
[ -z "$too_new" ] || fail "functions that $OLDEST_WINDOWS lacks:"$'\n'"$too_new"
echo "every function imported from Windows is in $OLDEST_WINDOWS"

# The resources as Windows reads them: the icon, the version (project(VERSION)),
# the manifest, and the simulated board saying what it is.
resources() { /usr/bin/python3 "$(dirname "$0")/pe_resources.py" "$folder/$1"; }
has() { grep -qxF -- "$2" <<<"$1" || fail "$3 lacks '$2'; it has:"$'\n'"$1"; }
program=$(resources powermonitor.exe)
for line in "icon: 16 24 32 48 64 256" "FileVersion: $EXPECTED_VERSION" "ProductVersion: $EXPECTED_VERSION" \
            "OriginalFilename: powermonitor.exe" "executionLevel: asInvoker" "supportedOS: $EXPECTED_SUPPORTED_OS" \
            "dpi: none"; do
    has "$program" "$line" powermonitor.exe
done
echo "powermonitor.exe: $(paste -sd ';' <<<"$program")"
for dll in $ours; do
    [ "$dll" = powermonitor.exe ] && continue
    described=$(resources "$dll")
    has "$described" "FileVersion: $EXPECTED_VERSION" "$dll"
    echo "$dll: $(grep '^FileDescription' <<<"$described")"
done
if [[ " $ours " == *" Orvane_boardcontrol_api.dll "* ]]; then
    grep -q '^FileDescription: SIMULATED ' <<<"$(resources Orvane_boardcontrol_api.dll)" ||
        fail "the stand-in's description does not say the board is simulated"
fi

bytes=$(du -sb "$folder" | cut -f1)
[ "$bytes" -le "$max_bytes" ] || fail "the folder is $bytes bytes, more than $max_bytes"
echo "PASS: the folder holds $(find "$folder" -type f | wc -l) files, $((bytes / 1024)) KiB, and needs nothing but Windows"

#!/usr/bin/env bash
# Prints each function that a Windows folder's programs and DLLs import from
# Windows itself and that the oldest Windows of the program lacks: MinGW's
# headers declare a function only from the _WIN32_WINNT that brought it, so a
# reference to each compiles against the newest Windows but not the oldest.
# A few are declared whatever _WIN32_WINNT says; they are named below.
#   windows_functions.sh FOLDER OBJDUMP CC OLDEST_WIN32_WINNT [NAMED_TOO_NEW...]
set -euo pipefail

folder=$1 objdump=$2 cc=$3 oldest=$4
shift 4
newest=0x0A00
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$folder" && find . -maxdepth 1 -iname '*.dll' | sed 's|^\./||' | tr 'A-Z' 'a-z') >"$work/ours"
# "function DLL FROM" for every import from a DLL that is not in the folder; the C
# runtime's are C library functions, declared alike for every Windows.
while IFS= read -r binary; do
    "$objdump" -p "$binary" | awk -v from="${binary#"$folder"/}" '
        /^[[:space:]]*DLL Name: / { dll = tolower($3); next }
        /^[[:space:]]*$/ { dll = "" }
        dll != "" && $1 ~ /^[0-9a-f]+$/ && NF == 3 { print $3, dll, from }'
done < <(find "$folder" -iname '*.exe' -o -iname '*.dll') |
    while read -r function dll from; do
        [[ $dll == msvcrt.dll || $dll == api-ms-win-crt-* || $dll == ucrtbase.dll ]] && continue
        echo "$function $dll $from"
    done | sort -u | awk 'NR == FNR { ours[$1] = 1; next } !($2 in ours)' "$work/ours" - >"$work/imports"

{
    echo '#include <winsock2.h>'
    for header in ws2tcpip windows shellapi shlobj shlwapi dwmapi uxtheme imm commdlg mmsystem userenv \
                  wtsapi32 winnetwk lm d3d9 d3d11 dxgi authz winver shellscalingapi ntsecapi; do
        echo "#include <$header.h>"
    done
    echo 'void *const references[] = {'
    cut -d ' ' -f 1 "$work/imports" | sort -u | sed 's/.*/    (void *)\&&,/'
    echo '};'
} >"$work/references.c"
undeclared() {
    "$cc" -fsyntax-only -fmax-errors=0 -D_WIN32_WINNT="$1" -DWINVER="$1" -DNTDDI_VERSION="${1}0000" \
        "$work/references.c" 2>"$work/errors-$1" || true
    if grep -v -e "undeclared here" -e "^In file included" -e "^[[:space:]]" -e "^ *|" "$work/errors-$1" |
        grep -q "error"; then
        echo "windows_functions.sh: the references do not compile:" >&2
        cat "$work/errors-$1" >&2
        exit 2
    fi
    sed -n "s/.*error: .\([A-Za-z0-9_]*\). undeclared here.*/\1/p" "$work/errors-$1" | sort -u
}
comm -23 <(undeclared "$oldest") <(undeclared "$newest") >"$work/too-new"
printf '%s\n' "$@" >>"$work/too-new"
while read -r function dll from; do
    if grep -qxF "$function" "$work/too-new"; then
        echo "$from imports $function ($dll)"
    fi
done <"$work/imports"

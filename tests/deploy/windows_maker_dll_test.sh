#!/usr/bin/env bash
# A maker's 32-bit DLL as it comes, a DLL and no import library, under 32-bit
# Wine on Xvfb:
#  1. the stand-in built on its own as a __stdcall DLL, once with decorated
#     names (bctrl_deinit@4) and once with plain ones;
#  2. the 32-bit program built against each with BOARDCONTROL_RUNTIME alone: the
#     build reads the convention from the DLL; the program runs and exits 0
#     when its window is closed;
#  3. the tracing board, built the same way, dropped in: every call arrives with
#     the board's handle and its arguments, as they were made (intact_calls.sh);
#     the board-check shipped beside the program takes the DLL.
# What the build refuses are tests of their own (deploy_refused_*).
#   windows_maker_dll_test.sh SOURCE_DIR WORK_DIR QT_PREFIX E2E_SCRIPT E2E_TOOLS
#                             TRACING_DECORATED_DLL TRACING_PLAIN_DLL
set -euo pipefail

source_dir=$1 work=$2 qt=$3 e2e=$4 tools=$5
declare -A tracing=([decorated]=$6 [plain]=$7)
dll=Orvane_boardcontrol_api.dll
x86=(-DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-i686.cmake" -DCMAKE_BUILD_TYPE=Release)
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$work/wine WINEDEBUG=-all
"$source_dir/scripts/wine-prefix.sh" "$WINEPREFIX"

app=$work/app
for naming in decorated plain; do
    echo "--- a __stdcall DLL with $naming names"
    plain=OFF
    [ "$naming" = plain ] && plain=ON
    cmake -S "$source_dir/board/standin" -B "$work/standin-$naming" "${x86[@]}" \
        -DBOARDCONTROL_STDCALL=ON -DSTANDIN_PLAIN_NAMES=$plain >/dev/null
    cmake --build "$work/standin-$naming" >/dev/null
    maker=$work/standin-$naming/$dll
    exports=$(i686-w64-mingw32-objdump -p "$maker" | sed -n 's/^\t\[ *[0-9]*\] //p')
    expected=bctrl_deinit@4
    [ "$naming" = plain ] && expected=bctrl_deinit
    grep -qx "$expected" <<<"$exports" || fail "the $naming stand-in exports: $exports"

    # One build folder: the second DLL only relinks the program.
    cmake -S "$source_dir" -B "$app" "${x86[@]}" -DCMAKE_PREFIX_PATH="$qt" -DPOWERMONITOR_QT=5 \
        -DBUILD_TESTING=OFF -DBOARDCONTROL_RUNTIME="$maker" >"$work/configure-$naming.log"
    grep -qE "exporting all [0-9]+ board functions, __stdcall" "$work/configure-$naming.log" && grep -q "__stdcall ON" "$work/configure-$naming.log" ||
        fail "the build did not take __stdcall from the DLL: $(grep -i board "$work/configure-$naming.log")"
    cmake --build "$app" --target powermonitor mingw_runtime boardtrace board_check --parallel 2 >/dev/null
    folder=$work/folder-$naming
    cmake --install "$app" --prefix "$folder" --component program >/dev/null
    cmp -s "$maker" "$folder/$dll" || fail "the maker's DLL was not installed beside the program"
    wine=$("$source_dir/scripts/wine-loader.sh" "$folder/powermonitor.exe")
    grep -q -E "^[[:space:]]+[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+$expected\$" < <(i686-w64-mingw32-objdump -p "$folder/powermonitor.exe") ||
        fail "the program does not import $expected from $dll"

    # The checker shipped with this program takes the DLL it was built for.
    status=0
    said=$(wine "$folder/board-check.exe" | tr -d '\r') || status=$?
    [ "$status" = 3 ] && grep -qx "fits this program (x86, __stdcall)" <<<"$said" ||
        fail "board-check (exit $status) on the DLL the program was built for: $said"
    echo "board-check beside it: exit $status, $(tail -n 1 <<<"$said")"
    program=$(sed 's|/|\\|g; s|^|Z:|' <<<"$folder/powermonitor.exe")
    POWERMONITOR_E2E_LAUNCHER=$wine "$e2e" "$program" "$tools"

    # The board-call recorder, built with the same convention, in front of it.
    mv "$folder/$dll" "$folder/Orvane_boardcontrol_api.real.dll"
    cp "$app/bin/board-trace/$dll" "$folder/$dll"
    BCTRL_TRACE_FILE=$(sed 's|/|\\|g; s|^|Z:|' <<<"$work/record-$naming.tsv") \
        POWERMONITOR_E2E_LAUNCHER=$wine "$e2e" "$program" "$tools" "$work/recorded-$naming.png"
    record=$(grep -v '^#' "$work/record-$naming.tsv")
    [ "$(head -n 1 <<<"$record" | cut -f 2,5)" = "$(printf 'bctrl_init\t4f390001')" ] &&
        [ "$(tail -n 1 <<<"$record" | cut -f 2,3,5)" = "$(printf 'bctrl_deinit\t4f390001\t0')" ] &&
        grep -q -P '\tbctrl_get_input_voltage\t4f390001\t0\t0\tvin_raw=\d+ .*\tVin=' <<<"$record" ||
        fail "the recorder over the __stdcall board recorded: $(head -n 3 <<<"$record")"
    echo "recorded $(wc -l <<<"$record") calls through the __stdcall recorder"
    rm "$folder/Orvane_boardcontrol_api.real.dll"

    cp "${tracing[$naming]}" "$folder/$dll"
    trace=$work/trace-$naming
    # With a picture the check waits for a full poll cycle before closing.
    TRACING_BOARD_FILE=$(sed 's|/|\\|g; s|^|Z:|' <<<"$trace") POWERMONITOR_E2E_LAUNCHER=$wine \
        "$e2e" "$program" "$tools" "$work/window-$naming.png"
    count=$("$(dirname "$0")/intact_calls.sh" "$trace")
    echo "built against the $naming DLL alone; $count calls arrived intact"
done

echo "PASS: a __stdcall DLL, decorated or plain, builds from BOARDCONTROL_RUNTIME alone and runs"

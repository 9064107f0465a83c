#!/usr/bin/env bash
# The board-call recorder in front of a board library, as an operator uses it.
# Linux: preloaded (LD_PRELOAD). Windows (under Wine): in the program's folder
# under the board library's name, the real library renamed *.real.dll.
#  1. the probe's calls, results and written bytes are the same with the
#     recorder as without, over the simulated board and over a board whose
#     every call fails; an unwritable record changes nothing either;
#  2. the record holds each call in order with what it wrote, the input and
#     version records also as the window shows them, and a summary;
#  3. the record stops at its size limit with a line that says so;
#  4. without a real library the recorder says so and every call fails;
#  5. Linux: the program itself, recorded over the simulated board on Xvfb,
#     and over the tracing board: the record and the board saw the same calls.
#   boardtrace_test.sh WORK_DIR RECORDER PROBE BOARD_DIR TRACING_DIR [E2E_SCRIPT E2E_TOOLS PROGRAM]
# BOARD_DIR and TRACING_DIR hold the simulated board and the tracing board under
# the board library's name. A probe ending in .exe is a Windows program, run
# under Wine in WINEPREFIX with Qt's DLLs from QT_BIN.
set -euo pipefail

work=$1 recorder=$2 probe=$3 board_dir=$4 tracing_dir=$5 e2e=${6:-} tools=${7:-} program=${8:-}
fail() { echo "FAIL: $*" >&2; exit 1; }
trap 'echo "FAIL: line $LINENO of $0 failed (status $?)" >&2' ERR
rm -rf "$work"
mkdir -p "$work"

WINE=
if [[ $probe == *.exe ]]; then
    WINE=$("$(dirname "$0")/../../scripts/wine-loader.sh" "$probe") || exit $?
fi
if [ -n "$WINE" ]; then
    dll=Orvane_boardcontrol_api.dll
    windows_path() { local path=${1//\//\\}; echo "Z:$path"; }
    # The runtime and Qt, as the installed program has them beside it; a
    # pattern that matches nothing would be linked under its own name.
    runtime=("$(dirname "$probe")"/lib*.dll "$QT_BIN"/Qt*Core.dll)
    for file in "${runtime[@]}"; do
        [ -f "$file" ] || fail "nothing to link beside the probe matches $file"
    done
    # probe BOARD_DIR [recorded]: the probe in a folder of its own with that board.
    run_probe() {
        local folder=$work/probe-$RANDOM
        mkdir -p "$folder"
        # As the installed program lies: the runtime and Qt beside it, which
        # the recorder needs; the board library's own DLLs are never looked
        # for on PATH.
        cp "$probe" "$folder/"
        ln -s "${runtime[@]}" "$folder/"
        if [ "${2:-}" = recorded ]; then
            cp "$1/$dll" "$folder/Orvane_boardcontrol_api.real.dll"
            cp "$recorder" "$folder/$dll"
        elif [ -n "$1" ]; then
            cp "$1/$dll" "$folder/$dll"
        else
            cp "$recorder" "$folder/$dll"
        fi
        shift 2 || shift
        BCTRL_TRACE_FILE=${BCTRL_TRACE_FILE:+$(windows_path "$BCTRL_TRACE_FILE")} \
            "$WINE" "$folder/$(basename "$probe")" "$@" | tr -d '\r'
    }
else
    run_probe() {
        local board=$1 preload=
        [ "${2:-}" = recorded ] && preload=$recorder
        shift 2 || shift
        LD_LIBRARY_PATH=$board LD_PRELOAD=$preload "$probe" "$@"
    }
fi
export WINEDEBUG=-all
unset TRACING_BOARD_FILE # the tracing board without its file fails every call
if [ -n "$WINE" ]; then
    "$(dirname "$0")/../../scripts/wine-prefix.sh" "$WINEPREFIX" offscreen
    export WINEPATH="Z:${QT_BIN//\//\\}"
fi

echo "--- the same calls, results and bytes with the recorder as without"
for board in simulated failing; do
    dir=$board_dir
    [ "$board" = failing ] && dir=$tracing_dir # writes nothing, fails every call without its file
    direct=$(run_probe "$dir")
    export BCTRL_TRACE_FILE=$work/$board.tsv
    recorded=$(run_probe "$dir" recorded 2>"$work/$board.stderr")
    [ "$direct" = "$recorded" ] || fail "$board board: the recorder changed the calls:"$'\n'"$(diff <(echo "$direct") <(echo "$recorded"))"
    grep -q "recording the board's calls to .*$board.tsv" <(tr -d '\r' <"$work/$board.stderr") ||
        fail "the recorder did not say where it records: $(cat "$work/$board.stderr")"
    # One line per call, in the probe's order, with its result.
    calls=$(grep -v '^#' "$BCTRL_TRACE_FILE" | tr -d '\r' | cut -f 2,5)
    expected=$(awk '$1 != "bctrl_init" { print $1 "\t" $2 }' <<<"$direct")
    [ "$(grep -v '^bctrl_init' <<<"$calls")" = "$expected" ] || fail "$board board: the record's calls are not the probe's"
    echo "$board board: $(wc -l <<<"$direct") calls alike; recorded"
done
failing=$(grep -v '^#' "$work/failing.tsv" | tr -d '\r' | awk -F'\t' '$2 != "bctrl_init" && $5 == 0')
[ -z "$failing" ] || fail "the failing board's calls were recorded as successes: $failing"
grep -q '^bctrl_get_lcd_voltage -1 a5 a5$' <<<"$recorded" || fail "a failing call changed the caller's variable"

record=$(tr -d '\r' <"$work/simulated.tsv")
version=$(awk -F'\t' '$1 !~ /^#/ && $2 == "bctrl_get_version_info"' <<<"$record")
[ "$(cut -f 7 <<<"$version")" = "versioninfo: device_type 9 firmware_version 2.10 hardware_version 1.00 protocol_version 1.05" ] ||
    fail "the version record is not shown as the window shows it: $version"
# Each input reading as the window shows it: six significant digits.
bad=$(awk -F'\t' '$1 !~ /^#/ && $2 == "bctrl_get_input_voltage" {
        split($6, raw, /[ =]/)
        want = sprintf("Vin=%.6g Iin=%.6g VCAN=%.6g ICAN=%.6g", raw[2] * 66.7 / 1024, raw[4] * 0.0188, raw[6] * 37.99 / 1024, raw[8] * 0.0188)
        if ($7 != want) print $6 " shown as " $7 ", not " want
    }' <<<"$record")
[ -z "$bad" ] || fail "$bad"
grep -q -P '^# summary\tbctrl_get_input_voltage\t1\t0\t' <<<"$record" || fail "no summary at bctrl_deinit"
echo "the record shows $(awk -F'\t' '$1 !~ /^#/ && $2 == "bctrl_get_input_voltage" { print $6 " as " $7; exit }' <<<"$record")"

echo "--- an unwritable record"
BCTRL_TRACE_FILE=$work/no-such-folder/record.tsv
[ "$(run_probe "$board_dir" recorded 2>"$work/unwritable.stderr")" = "$(run_probe "$board_dir")" ] ||
    fail "an unwritable record changed the calls"
grep -q "cannot write the record" <(tr -d '\r' <"$work/unwritable.stderr") || fail "the unwritable record went unsaid"

echo "--- the size limit"
export BCTRL_TRACE_FILE=$work/limited.tsv
last=$(BCTRL_TRACE_MAX_MB=1 run_probe "$board_dir" recorded 12000 2>/dev/null | tail -n 1)
[ "$last" = "bctrl_deinit 0" ] || fail "the calls stopped with the record: $last"
size=$(stat -c %s "$BCTRL_TRACE_FILE")
[ "$size" -le $((1024 * 1024)) ] || fail "the record grew to $size bytes, past 1 MiB"
tail -n 1 "$BCTRL_TRACE_FILE" | grep -q '^# record stopped: it reached its limit of 1 MiB' ||
    fail "the record does not end saying it stopped: $(tail -n 1 "$BCTRL_TRACE_FILE")"
echo "stopped at $size bytes, saying so; the calls went on"

echo "--- limits that are no whole number of MiB from 1 to 1048576"
for bad in 0 -1 +5 ' 5' 5MB 1048577 18446744073709551617 0x10; do
    rm -f "$BCTRL_TRACE_FILE"
    said=$(BCTRL_TRACE_MAX_MB=$bad run_probe "$board_dir" recorded 2>&1 >/dev/null | tr -d '\r')
    grep -F "BCTRL_TRACE_MAX_MB='$bad' is no whole number of MiB from 1 to 1048576; the limit stays 64 MiB" \
        <<<"$said" >/dev/null || fail "BCTRL_TRACE_MAX_MB='$bad' went unsaid: $said"
    grep -P '^[0-9.]+\tbctrl_deinit\t' "$BCTRL_TRACE_FILE" >/dev/null ||
        fail "with BCTRL_TRACE_MAX_MB='$bad' the record was not written"
done
echo "each refused, said, and recorded with the limit of 64 MiB"

echo "--- no real library"
if [ -n "$WINE" ]; then
    said=$(run_probe "" 2>&1 | tr -d '\r')
else
    said=$(LD_PRELOAD=$recorder /usr/bin/python3 -c 'import ctypes; print("result", ctypes.CDLL(None).bctrl_get_pgood_states(1, None))' 2>&1)
fi
grep -q "cannot forward the board's calls" <<<"$said" || fail "a missing library went unsaid: $said"
grep -q -E '(result|bctrl_get_pgood_states) -1' <<<"$said" || fail "calls without a library did not fail: $said"
echo "said: $(grep -m 1 "cannot forward" <<<"$said")"

if [ -n "$program" ]; then
    echo "--- the program, recorded"
    export BCTRL_TRACE_FILE=$work/program.tsv
    # With a picture, the check waits a full poll cycle before closing the window.
    LD_PRELOAD=$recorder "$e2e" "$program" "$tools" "$work/program.png" 2>&1 | grep -v '^X connection'
    record=$(grep -v '^#' "$BCTRL_TRACE_FILE")
    [ "$(head -n 1 <<<"$record" | cut -f 2)" = bctrl_init ] && [ "$(tail -n 1 <<<"$record" | cut -f 2)" = bctrl_deinit ] ||
        fail "the program's record does not run from bctrl_init to bctrl_deinit"
    [ "$(grep -c -P '\tbctrl_get_(lcd_voltage|thermal_trip_state)\t' <<<"$record")" -ge 2 ] || fail "no full poll cycle recorded"

    export BCTRL_TRACE_FILE=$work/program-tracing.tsv TRACING_BOARD_FILE=$work/tracing-board
    LD_LIBRARY_PATH=$tracing_dir LD_PRELOAD=$recorder "$e2e" "$program" "$tools" 2>&1 | grep -v '^X connection'
    recorded=$(grep -v '^#' "$BCTRL_TRACE_FILE" | awk -F'\t' '{ line = $2; if ($3 != "-") line = line " " $3; if ($4 != "-") line = line " " $4; print line }')
    [ "$recorded" = "$(cat "$TRACING_BOARD_FILE")" ] || fail "the board did not see the calls the record shows"
    echo "the program's $(wc -l <<<"$recorded") calls reached the board as recorded"
fi
echo "PASS: the recorder forwards every call unchanged and records it"

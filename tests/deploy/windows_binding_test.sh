#!/usr/bin/env bash
# The program's binding to board DLLs built as makers build them (maker_dlls.cmake),
# under Wine, each DLL in a folder of its own beside the probe, which reaches
# the board as the program does:
#  1. each DLL that fits (__cdecl and __stdcall; plain, name@N, _name@N and
#     both names; C++Builder's _name; a shim that jumps through a table; exports forwarded to a
#     companion DLL beside it, under other names, by ordinal, or on through a
#     second; gcc's stack protector, with its libssp-0.dll
#     beside it; the compiler's threads runtime, which the program has too,
#     beside it): every call arrives with the board's handle and
#     its arguments, and the probe goes on to the end with its stack intact;
#     the recorder in front of the DLL records the same calls;
#  2. each that does not fit (a function missing, a wrong @N, the other
#     architecture, a companion that needs a DLL that is nowhere): the probe and the program stop before any board call,
#     with exit status 3 and a message that names the DLL and what is wrong;
#     board-check refuses it too.
# Every folder has a Cyrillic name, and the forwarded shape's lies deeper than
# Windows' MAX_PATH, as does its record: any path Windows can name.
#   windows_binding_test.sh WORK_DIR MAKER_DIR PROBE RECORDER BOARD_CHECK PROGRAM "FITTING SHAPES"
# Runs in WINEPREFIX, with Qt's DLLs from QT_BIN.
set -euo pipefail

work=$1 maker=$2 probe=$3 recorder=$4 check=$5 program=$6 fitting=$7
dll=Orvane_boardcontrol_api.dll
fail() { echo "FAIL: $*" >&2; exit 1; }
windows_path() { local path=${1//\//\\}; echo "Z:$path"; }
here=$(dirname "$0")
rm -rf "$work"
mkdir -p "$work"
export WINEDEBUG=-all WINEPATH="Z:${QT_BIN//\//\\}"
# Wine reads the command line and the environment in the locale's encoding.
export LC_ALL=C.UTF-8
"$here/../../scripts/wine-prefix.sh" "$WINEPREFIX" offscreen
# The prefix's Wine server quits soon after the last program of the tests
# before; a program that starts just then loses its connection ("wine client
# error: recvmsg: Connection reset by peer"). This test starts the next one.
wineserver -w
# No display: the program's message box cannot wait for a click.
unset DISPLAY WAYLAND_DISPLAY
wine=$("$here/../../scripts/wine-loader.sh" "$probe") || exit $?

# run OUT [--fresh FILE] PROGRAM ARGS...: runs a Windows program, its output in
# OUT. Wine's client can lose the prefix's server as that server quits after
# the program before ("wine client error:0: recvmsg: Connection reset by
# peer"): a run that says nothing else did not start, and starts once more,
# FILE (the board's trace) removed first.
run() {
    local out=$1 fresh=/dev/null status
    shift
    if [ "$1" = --fresh ]; then
        fresh=$2
        shift 2
    fi
    for try in first again; do
        status=0
        "$wine" "$@" >"$out" 2>&1 || status=$?
        if [ "$status" = 0 ] || ! grep -q '^wine client error:' "$out" || grep -qv '^wine client error:' "$out"; then
            break
        fi
        echo "the $try start of $(basename "$1") lost Wine's server: $(tr -d '\r' <"$out")" >&2
        [ "$fresh" = /dev/null ] || rm -f "$fresh"
    done
    return "$status"
}

# folder SHAPE [recorded]: a folder laid out as the installed program's, with
# the probe, the program, Qt and the runtime, and the shape's DLLs, the board
# DLL behind the recorder where asked. With the board DLL bound by full path,
# only DLLs beside the program or Windows' own are found: not those on PATH.
deep=$(printf 'Плата управления питанием %.0s/' 1 2 3 4 5 6 7 8 9 10)
# The runtime and Qt beside each program; a pattern that matches nothing
# would be linked under its own name.
runtime=("$(dirname "$probe")"/lib*.dll "$QT_BIN"/Qt*.dll)
for file in "${runtime[@]}"; do
    [ -f "$file" ] || fail "nothing to link beside the programs matches $file"
done
folder() {
    local to="$work/плата $1${2:+-$2}"
    [ "$1" != stdcall-forwarded ] || to="$work/$deep$1${2:+-$2}"
    mkdir -p "$to"
    cp "$probe" "$program" "$to/"
    ln -s "${runtime[@]}" "$to/"
    # A maker's copy of a runtime DLL the program has too replaces the link, not what it links to.
    cp --remove-destination "$maker/$1"/*.dll "$to/"
    if [ -n "${2:-}" ]; then
        mv "$to/$dll" "$to/Orvane_boardcontrol_api.real.dll"
        cp "$recorder" "$to/$dll"
    fi
    echo "$to"
}

echo "--- DLLs that fit"
for shape in $fitting; do
    at=$(folder "$shape")
    trace=$work/$shape.trace
    TRACING_BOARD_FILE=$(windows_path "$trace") run "$work/$shape.out" --fresh "$trace" "$at/$(basename "$probe")" ||
        fail "$shape: the probe exited with $?: $(cat "$work/$shape.out")"
    count=$("$here/intact_calls.sh" "$trace") || fail "$shape: the calls did not arrive intact"
    exports=$({ x86_64-w64-mingw32-objdump -p "$maker/$shape/$dll" | sed -n '/Ordinal\/Name Pointer/,/^$/s/^\t\[ *[0-9]*\] //p' | grep deinit; } 2>/dev/null | paste -sd ' ' || true)

    status=0
    run "$work/$shape.checked" "$check" "$(windows_path "$at/$dll")" || status=$?
    [ "$status" = 0 ] || fail "$shape: board-check exited with $status: $(tr -d '\r' <"$work/$shape.checked")"

    at=$(folder "$shape" recorded)
    rm -f "$trace"
    record="$at/запись $shape.tsv"
    TRACING_BOARD_FILE=$(windows_path "$trace") BCTRL_TRACE_FILE=$(windows_path "$record") \
        run "$work/$shape.recorded" --fresh "$trace" "$at/$(basename "$probe")" ||
        fail "$shape: the recorded probe exited with $?: $(tr -d '\r' <"$work/$shape.recorded")"
    [ "$("$here/recorded_calls.sh" "$record")" = "$(tr -d '\r' <"$trace")" ] ||
        fail "$shape: the recorder's calls are not the ones the board saw: $(head -n 3 "$record")"
    printf '%-24s %2d calls intact, recorded alike, fits (exports %s)\n' "$shape" "$count" "$exports"
done

echo "--- DLLs that do not fit"
declare -A says=(
    [unfit-missing]="it does not export bctrl_reset_modem"
    [unfit-bytes]="which takes 8 bytes of arguments where the program passes 4"
    [unfit-architecture]="-bit DLL, and this is the"
    [unfit-third-missing]="a DLL that it needs is not beside it")
for shape in "${!says[@]}"; do
    at=$(folder "$shape")
    trace=$work/$shape.trace
    for exe in "$(basename "$probe")" "$(basename "$program")"; do
        status=0
        TRACING_BOARD_FILE=$(windows_path "$trace") run "$work/$shape.out" "$at/$exe" || status=$?
        said=$(tr -d '\r' <"$work/$shape.out")
        [ "$status" = 3 ] || fail "$shape: $exe exited with $status: $said"
        grep -qF "$dll" <<<"$said" && grep -qF -- "${says[$shape]}" <<<"$said" && grep -qF board-check <<<"$said" ||
            fail "$shape: $exe said: $said"
        [ ! -e "$trace" ] || fail "$shape: $exe called the board: $(cat "$trace")"
    done
    status=0
    run "$work/$shape.checked" "$check" "$(windows_path "$at/$dll")" || status=$?
    checked=$(tr -d '\r' <"$work/$shape.checked")
    [ "$status" = 1 ] || fail "$shape: board-check exited with $status: $checked"
    printf '%-24s refused, exit 3: %s; board-check: %s\n' "$shape" "${says[$shape]}" "$(tail -n 1 <<<"$checked" | cut -c 1-60)"
done
echo "PASS: every DLL that fits was called intact and recorded; every other refused before a call"

#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine: CTest's emulator for the
# Windows build (CMAKE_CROSSCOMPILING_EMULATOR).
#   wine-run.sh PREFIX QT_BIN_DIR PROGRAM.exe [ARGS...]
# PREFIX is the build's own Wine prefix, made on first use with Qt's offscreen
# platform; QT_BIN_DIR holds the Qt DLLs. The program's own folder holds the
# board and runtime DLLs.
set -euo pipefail

prefix=$1 qt_bin=$2
shift 2
"$(dirname "$0")/wine-prefix.sh" "$prefix" offscreen
export WINEPREFIX=$prefix WINEDEBUG=-all WINEPATH="Z:${qt_bin//\//\\}"

# QtTest under Wine writes nothing to a standard output that is not a console:
# give it a log file, and show that.
wine=$("$(dirname "$0")/wine-loader.sh" "$1")
if grep -q -a -E 'Qt[56]Test\.dll' "$1"; then
    log=$(mktemp)
    trap 'rm -f "$log"' EXIT
    status=0
    "$wine" "$@" -o "Z:${log//\//\\},txt" || status=$?
    cat "$log"
    exit "$status"
fi
exec "$wine" "$@"

#!/usr/bin/env bash
# Prints the Wine loader that runs a Windows program in the process it was started
# as: /usr/lib/wine/wine64 for a 64-bit program, /usr/lib/wine/wine for a 32-bit
# one. (Debian's `wine` starts a 64-bit program through start.exe once 32-bit
# Wine is installed, so the pid it leaves is not the program's.)
#   wine-loader.sh PROGRAM.exe
#   wine-loader.sh --arch x64|x86
# Fails, saying what is missing and how to get it, where this host cannot run
# the program: a kernel without IA-32 emulation runs a 32-bit one only through
# QEMU's (i386-emulation.sh).
set -euo pipefail

if [ "$1" = --arch ]; then
    machine=$2
    [ "$machine" = x64 ] && machine=8664
    [ "$machine" = x86 ] && machine=014c
    program="an $2 program"
else
    program=$1
    # The PE header's offset is at 0x3c; its machine field follows the 4-byte signature.
    pe=$(od -An -t u4 -j 60 -N 4 "$program" | tr -d ' ')
    machine=$(od -An -t x2 -j $((pe + 4)) -N 2 "$program" | tr -d ' ')
fi
case "$machine" in
    8664) loader=/usr/lib/wine/wine64 package=wine64 ;;
    014c) loader=/usr/lib/wine/wine package=wine32:i386 ;;
    *) echo "wine-loader.sh: $program is no x86 or x64 Windows program (machine $machine)" >&2; exit 1 ;;
esac
[ -x "$loader" ] || { echo "wine-loader.sh: $program needs $loader: install $package. $(cat "$(dirname "$0")/install-hint.txt")" >&2; exit 1; }
if [ "$machine" = 014c ]; then
    "$(dirname "$0")/i386-emulation.sh" check || exit 1
fi
echo "$loader"

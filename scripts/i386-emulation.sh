#!/usr/bin/env bash
# 32-bit x86 programs on a host whose kernel runs none (IA-32 emulation off,
# as on some virtual machines): 32-bit Wine, and so the 32-bit Windows program
# and both installers, run there under QEMU's i386 user-mode emulation,
# registered with the kernel through binfmt_misc.
#   i386-emulation.sh check      exit 0 where this host runs 32-bit x86 programs,
#                                natively or through a QEMU recent enough;
#                                else says what is missing and how to get it (exit 1)
#   i386-emulation.sh needed     exit 0 where the kernel runs none itself (an
#                                emulator registered before says so too)
#   i386-emulation.sh register   (root) registers QEMU_I386 for i386 programs,
#                                anew where it was registered before; refuses
#                                a QEMU older than MIN_QEMU_MAJOR
#   i386-emulation.sh qemu-fits VERSION
#                                exit 0 where a qemu-user-static of that Debian
#                                version is recent enough
# QEMU older than MIN_QEMU_MAJOR works, but a Wine process takes a minute or
# more to start under it (QEMU 7.2: its mmap of Wine's address-space
# reservation), which no test suite can wait for.
set -euo pipefail

readonly QEMU_I386=/usr/bin/qemu-i386-static
readonly MIN_QEMU_MAJOR=8
readonly BINFMT=/proc/sys/fs/binfmt_misc
readonly ENTRY=$BINFMT/qemu-i386
# The i386 ELF header, executable or shared object (QEMU's own registration).
readonly MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
readonly MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
# A 32-bit program that is there wherever 32-bit Wine is.
readonly PROBE=/usr/lib/wine/wine
here=$(dirname "$0")
how="run 'scripts/install-deps.sh 6 windows-x64 wine-tests' as root, or with sudo: it installs qemu-user-static $MIN_QEMU_MAJOR or later (on Debian 12 from bookworm-backports) and registers it (docs/building.md, \"32-bit programs on a 64-bit-only kernel\")"

registered() { [ -f "$ENTRY" ] && grep -qx enabled "$ENTRY"; }
qemu_major() { "$1" --version 2>/dev/null | sed -n '1s/^qemu-i386 version \([0-9]*\)\..*/\1/p'; }

case "${1:-}" in
check)
    if registered; then
        interpreter=$(sed -n 's/^interpreter //p' "$ENTRY")
        major=$(qemu_major "$interpreter")
        if [ -z "$major" ] || [ "$major" -lt "$MIN_QEMU_MAJOR" ]; then
            echo "i386-emulation.sh: 32-bit x86 programs run here under $interpreter (QEMU ${major:-of unknown version}), too old to start Wine in reasonable time: $how" >&2
            exit 1
        fi
    fi
    [ -x "$PROBE" ] || { echo "i386-emulation.sh: no 32-bit Wine ($PROBE): install wine32:i386. $(cat "$here/install-hint.txt")" >&2; exit 1; }
    "$PROBE" --version >/dev/null 2>&1 && exit 0
    if registered; then
        echo "i386-emulation.sh: $PROBE does not start under $(sed -n 's/^interpreter //p' "$ENTRY")" >&2
    else
        echo "i386-emulation.sh: this host's kernel runs no 32-bit x86 program (no IA-32 emulation), and no emulator is registered for them: $how" >&2
    fi
    exit 1
    ;;
needed)
    registered && exit 0
    ! "$PROBE" --version >/dev/null 2>&1
    ;;
qemu-fits)
    dpkg --compare-versions "${2:-0}" ge "1:$MIN_QEMU_MAJOR~" 2>/dev/null
    ;;
register)
    major=$(qemu_major "$QEMU_I386")
    if [ -z "$major" ] || [ "$major" -lt "$MIN_QEMU_MAJOR" ]; then
        echo "i386-emulation.sh: $QEMU_I386 is QEMU ${major:-of unknown version}, and Wine needs $MIN_QEMU_MAJOR or later to start in reasonable time" >&2
        exit 1
    fi
    if ! mountpoint -q "$BINFMT"; then
        mount -t binfmt_misc binfmt_misc "$BINFMT" ||
            { echo "i386-emulation.sh: cannot mount binfmt_misc on $BINFMT (a container without the right?)" >&2; exit 1; }
    fi
    # F: the kernel opens the interpreter now, so it runs in any mount
    # namespace and root; an entry made before is made anew, for the QEMU
    # installed now.
    [ -e "$ENTRY" ] && echo -1 >"$ENTRY"
    printf ':qemu-i386:M::%s:%s:%s:F' "$MAGIC" "$MASK" "$QEMU_I386" >"$BINFMT/register"
    ;;
*)
    echo "usage: i386-emulation.sh check|needed|register|qemu-fits VERSION" >&2
    exit 2
    ;;
esac

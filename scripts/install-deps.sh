#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages that building and testing the power monitor
# need, and only those that are missing. Usage: install-deps.sh [6|5] [extra...]
#   6 or 5   Qt major version to build against (default 6)
#   extra    optional package groups: "checks" (sanitizer runtime, clang-tidy,
#            valgrind), "windows-x64" and "windows-x86" (MinGW-w64, Wine, NSIS:
#            the Windows builds; both add dpkg's i386 architecture for 32-bit
#            Wine, which runs the installers), "release" (making, signing and
#            checking a release)
set -euo pipefail

qt=${1:-6}
shift || true

# Build, tests on Xvfb, and the .deb packages and Debian's checks of them
# (devscripts: hardening-check); python3 calls a preloaded board-call recorder
# without a board library; xz-utils unpacks the Qt for Windows in the check of
# scripts/windows-qt.sh.
packages=(cmake make g++ pkg-config xvfb xauth libx11-dev fonts-dejavu-core
          dpkg-dev file lintian desktop-file-utils appstream devscripts xz-utils python3)
case "$qt" in
    6) packages+=(qt6-base-dev qt6-qpa-plugins) ;;
    5) packages+=(qtbase5-dev) ;;
    *) echo "install-deps.sh: Qt major version must be 6 or 5, not '$qt'" >&2; exit 2 ;;
esac
for group in "$@"; do
    case "$group" in
        checks) packages+=(clang clang-tidy clang-format libclang-rt-dev valgrind python3) ;;
        # Qt 6's host tools (moc) serve the 64-bit cross build; Wine runs the
        # tests and installers, binutils' objdump reads the DLLs' imports and
        # gcc for this machine builds board-check, which reads board DLLs.
        windows-x64|windows-x86)
            # rsvg-convert and icotool make the Windows icon; python3-pefile reads
            # the built programs' resources as Windows does.
            packages+=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
                       gcc qt6-base-dev-tools ninja-build wine wine64 fonts-wine nsis unzip
                       xz-utils librsvg2-bin icoutils python3 python3-pefile)
            # Both installers are 32-bit NSIS programs, run by 32-bit Wine.
            # The 64-bit installer's check is given a 32-bit DLL, built with
            # the i686 C compiler; the 32-bit build needs the rest of it.
            packages+=(wine32:i386 gcc-mingw-w64-i686-posix binutils-mingw-w64-i686)
            [ "$group" = windows-x86 ] &&
                packages+=(g++-mingw-w64-i686-posix) ;;
        # The release: its source archive, the ZIPs put in order, signing and
        # its checks (7-Zip unpacks an installer; diffoscope shows where two
        # builds differ); OpenPGP signatures of SHA256SUMS; Authenticode keys
        # on PKCS#11 tokens (OpenSSL's pkcs11 engine; softhsm2, a software
        # token, for the test); the bills of materials' checks (JSON schema,
        # the SPDX licence lists); faketime and unshare (util-linux) vary the
        # second build's clock and host name.
        release) packages+=(git strip-nondeterminism osslsigncode openssl 7zip diffoscope-minimal python3
                            gnupg libengine-pkcs11-openssl softhsm2 python3-jsonschema node-spdx-license-ids
                            node-spdx-exceptions unzip faketime util-linux) ;;
        *) echo "install-deps.sh: unknown package group '$group' (checks, windows-x64, windows-x86, release)" >&2; exit 2 ;;
    esac
done

if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "install-deps.sh: this script needs a Debian or Ubuntu system (dpkg/apt);" \
         "install these packages by hand: ${packages[*]}" >&2
    exit 1
fi

missing=()
for p in "${packages[@]}"; do
    if [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" != installed ]; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
        echo "install-deps.sh: missing packages (${missing[*]}); run as root or install sudo" >&2
        exit 1
    fi
    sudo=(sudo)
fi

# sudo drops the caller's environment, so the front end is set on its command line.
apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get)
# 32-bit Wine is an i386 package, installable once dpkg takes that architecture.
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "install-deps.sh: adding dpkg's i386 architecture for 32-bit Wine (dpkg --add-architecture i386)"
    "${sudo[@]}" dpkg --add-architecture i386
fi
echo "install-deps.sh: installing ${missing[*]}"
# A mirror in the middle of a sync serves an index that does not match its
# release file, and apt-get update fails on it; a later try usually gets a
# whole one. If none does, the install goes on with the indexes apt has, and
# fails on its own where a package needs the missing one.
for try in 1 2 3; do
    "${apt[@]}" update -q && break
    if [ "$try" -lt 3 ]; then
        echo "install-deps.sh: apt-get update failed (try $try of 3); trying again in 30 s" >&2
        sleep 30
    else
        echo "install-deps.sh: apt-get update failed 3 times; installing from the package lists apt has" >&2
    fi
done
"${apt[@]}" install -y -q --no-install-recommends "${missing[@]}"

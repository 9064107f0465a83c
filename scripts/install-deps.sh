#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages that building and testing the power monitor
# need, and only those that are missing. Usage: install-deps.sh [6|5] [extra...]
#   6 or 5   Qt major version to build against (default 6)
#   extra    optional package groups: "checks" (sanitizer runtime, clang-tidy,
#            valgrind), "windows-x64" and "windows-x86" (MinGW-w64, Wine, NSIS:
#            the Windows builds; both add dpkg's i386 architecture for 32-bit
#            Wine, which runs the installers), "wine-tests" (for the Windows
#            tests, with a windows group: where the kernel runs no 32-bit x86
#            program, QEMU's i386 emulation for 32-bit Wine, i386-emulation.sh),
#            "release" (making, signing and checking a release), "debian-root"
#            (a root of another Debian release, for its tests)
set -euo pipefail
here=$(dirname "$0")

qt=${1:-6}
shift || true

# Build, tests on Xvfb, and the .deb packages and Debian's checks of them
# (devscripts: hardening-check); python3 calls a preloaded board-call recorder
# without a board library; xz-utils unpacks the Qt for Windows in the check of
# scripts/windows-qt.sh, and python3-debian reads the .dsc of its source.
packages=(cmake make g++ pkg-config xvfb xauth libx11-dev fonts-dejavu-core
          dpkg-dev file lintian desktop-file-utils appstream devscripts xz-utils python3 python3-debian)
case "$qt" in
    6) packages+=(qt6-base-dev qt6-qpa-plugins) ;;
    5) packages+=(qtbase5-dev) ;;
    *) echo "install-deps.sh: Qt major version must be 6 or 5, not '$qt'" >&2; exit 2 ;;
esac
wine_tests=
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
        # the SPDX licence lists and a parser of their expressions); faketime
        # and unshare (util-linux) vary the second build's clock and host name.
        release) packages+=(git strip-nondeterminism osslsigncode openssl 7zip diffoscope-minimal python3
                            gnupg libengine-pkcs11-openssl softhsm2 python3-jsonschema python3-license-expression
                            node-spdx-license-ids node-spdx-exceptions unzip faketime util-linux) ;;
        wine-tests) wine_tests=yes ;;
        # mmdebstrap makes the root from Debian's archive, checked with its keys.
        debian-root) packages+=(mmdebstrap debian-archive-keyring git util-linux coreutils) ;;
        *) echo "install-deps.sh: unknown package group '$group' (checks, windows-x64, windows-x86, wine-tests, release, debian-root)" >&2; exit 2 ;;
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
# QEMU's i386 emulation, for 32-bit Wine where the kernel runs no 32-bit x86
# program and it does not run them yet.
emulation_wanted() {
    [ -n "$wine_tests" ] && ! "$here/i386-emulation.sh" check 2>/dev/null && "$here/i386-emulation.sh" needed
}
if [ ${#missing[@]} -eq 0 ] && ! emulation_wanted; then
    exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
        echo "install-deps.sh: missing packages (${missing[*]:-none}) or QEMU's i386 emulation; run as root or install sudo" >&2
        exit 1
    fi
    sudo=(sudo)
fi

# sudo drops the caller's environment, so the front end is set on its command line.
apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get)
# A mirror in the middle of a sync serves an index that does not match its
# release file, and apt-get update fails on it; a later try usually gets a
# whole one. If none does, the install goes on with the indexes apt has, and
# fails on its own where a package needs the missing one.
apt_update() {
    for try in 1 2 3; do
        "${apt[@]}" update -q && return
        if [ "$try" -lt 3 ]; then
            echo "install-deps.sh: apt-get update failed (try $try of 3); trying again in 30 s" >&2
            sleep 30
        else
            echo "install-deps.sh: apt-get update failed 3 times; installing from the package lists apt has" >&2
        fi
    done
}

if [ ${#missing[@]} -gt 0 ]; then
    # 32-bit Wine is an i386 package, installable once dpkg takes that architecture.
    if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -x i386 >/dev/null; then
        echo "install-deps.sh: adding dpkg's i386 architecture for 32-bit Wine (dpkg --add-architecture i386)"
        "${sudo[@]}" dpkg --add-architecture i386
    fi
    echo "install-deps.sh: installing ${missing[*]}"
    apt_update
    "${apt[@]}" install -y -q --no-install-recommends "${missing[@]}"
fi

# 32-bit Wine on a kernel that runs no 32-bit x86 program: QEMU's i386
# user-mode emulation, registered through binfmt_misc. Only such a host gets
# it; one that runs them itself keeps doing so. Debian 12's QEMU (7.2) is too
# slow for Wine, so there it comes from bookworm-backports (pinned below the
# release by Debian, so nothing else is taken from there).
if emulation_wanted; then
    qemu_fits() { "$here/i386-emulation.sh" qemu-fits "$1"; }
    candidate() { apt-cache policy qemu-user-static | sed -n 's/^ *Candidate: //p'; }
    did=""
    if ! qemu_fits "$(dpkg-query -W -f='${Version}' qemu-user-static 2>/dev/null)"; then
        apt_update
        suite=()
        if ! qemu_fits "$(candidate)" && [ "$(. /etc/os-release && echo "${ID:-}:${VERSION_CODENAME:-}")" = debian:bookworm ]; then
            suite=(-t bookworm-backports)
            if ! apt-get indextargets --format '$(RELEASE)' | grep -x bookworm-backports >/dev/null; then
                mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' | awk '$2 == "bookworm" && !found { print $1; found = 1 }')
                printf '%s\n' "Types: deb" "URIs: ${mirror:-http://deb.debian.org/debian/}" "Suites: bookworm-backports" \
                    "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" |
                    "${sudo[@]}" tee /etc/apt/sources.list.d/bookworm-backports.sources >/dev/null
                did=" added bookworm-backports to apt's sources,"
                apt_update
            fi
        fi
        "${apt[@]}" install -y -q --no-install-recommends "${suite[@]}" qemu-user-static
        did="$did installed qemu-user-static $(dpkg-query -W -f='${Version}' qemu-user-static),"
    fi
    if "${sudo[@]}" "$here/i386-emulation.sh" register; then
        echo "install-deps.sh: this kernel runs no 32-bit x86 program:$did registered QEMU's i386 emulation through binfmt_misc"
    else
        echo "install-deps.sh: this kernel runs no 32-bit x86 program, and QEMU's i386 emulation could not be set up: the 32-bit Windows program and the installers will not run here" >&2
    fi
fi

#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages that building and testing the power monitor
# need, and only those that are missing. Usage: install-deps.sh [6|5] [extra...]
#   6 or 5   Qt major version to build against (default 6)
#   extra    optional package groups: "checks" (sanitizer runtime, clang-tidy,
#            valgrind), "windows" (MinGW-w64, Wine, NSIS: the Windows build)
set -euo pipefail

qt=${1:-6}
shift || true

# Build, tests on Xvfb, and the .deb packages and Debian's checks of them.
packages=(cmake make g++ pkg-config xvfb xauth libx11-dev fonts-dejavu-core
          dpkg-dev file lintian desktop-file-utils appstream)
case "$qt" in
    6) packages+=(qt6-base-dev qt6-qpa-plugins) ;;
    5) packages+=(qtbase5-dev) ;;
    *) echo "install-deps.sh: Qt major version must be 6 or 5, not '$qt'" >&2; exit 2 ;;
esac
for group in "$@"; do
    case "$group" in
        checks) packages+=(clang clang-tidy clang-format libclang-rt-dev valgrind python3) ;;
        # Qt 6's host tools (moc) serve the cross build; Wine runs its tests
        # and installer, binutils' objdump reads the DLLs' imports.
        windows) packages+=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
                            qt6-base-dev-tools ninja-build wine wine64 fonts-wine nsis unzip
                            xz-utils) ;;
        *) echo "install-deps.sh: unknown package group '$group' (checks, windows)" >&2; exit 2 ;;
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

echo "install-deps.sh: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"

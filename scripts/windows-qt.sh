#!/usr/bin/env bash
# Puts Qt 6.4.2 for 64-bit Windows (cross-built with MinGW-w64) into a folder
# and prints the folder's path. In order of preference:
#  1. it is there already;
#  2. the archive is at hand: QT_WINDOWS_ARCHIVE, or ../shared/toolchains/ beside
#     the project (checked against its checksum), or the one this script built
#     on an earlier run (kept in .cache/, which make clean leaves alone);
#  3. it is built from Debian's own qt6-base source with the configure line
#     below (about an hour on two cores), packed into that archive for the next
#     run, and unpacked.
# Never from anywhere else.
#   windows-qt.sh DEST_DIR
set -euo pipefail
# Standard output carries the path alone; everything else goes to stderr.
exec 3>&1 1>&2

dest=$(mkdir -p "$1" && cd "$1" && pwd)
name=qt-6.4.2-mingw-w64-x86_64
sha256=5198ba4e800b56193e0f1e4ebfd3478837d8e812819e44b7c202f89099937f8b
project=$(cd "$(dirname "$0")/.." && pwd)
qt=$dest/$name
say() { echo "windows-qt.sh: $*" >&2; }

if [ -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
    echo "$qt" >&3
    exit 0
fi

unpack() {
    say "unpacking $1"
    rm -rf "$qt"
    tar -C "$dest" -xf "$1"
    [ -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ] || { say "$1 does not hold $name/"; exit 1; }
    echo "$qt" >&3
    exit 0
}

if [ -n "${QT_WINDOWS_ARCHIVE:-}" ]; then
    [ -f "$QT_WINDOWS_ARCHIVE" ] || { say "QT_WINDOWS_ARCHIVE: no file at $QT_WINDOWS_ARCHIVE"; exit 1; }
    unpack "$QT_WINDOWS_ARCHIVE"
fi
shared=$project/../shared/toolchains/$name.tar.xz
if [ -f "$shared" ]; then
    if ! echo "$sha256  $shared" | sha256sum --check --status; then
        say "$shared is not the archive this project was checked with (sha256 $sha256)"
        exit 1
    fi
    unpack "$shared"
fi
kept=$project/.cache/$name.tar.xz
[ -f "$kept" ] && unpack "$kept"

say "no Qt archive for Windows found; building Qt 6.4.2 from Debian's qt6-base source (about an hour)"
work=$dest/qt-windows-source
rm -rf "$work"
mkdir -p "$work"
if ! (cd "$work" && apt-get source --download-only qt6-base >/dev/null); then
    say "apt-get could not fetch Debian's qt6-base source. It needs a 'deb-src' line for the same"
    say "archive as the 'deb' line in /etc/apt/sources.list (or 'Types: deb deb-src' in"
    say "/etc/apt/sources.list.d/*.sources), then 'apt-get update'. Or put $name.tar.xz in"
    say "$project/../shared/toolchains/ or name it with QT_WINDOWS_ARCHIVE."
    exit 1
fi
orig=$work/qt6-base_6.4.2+dfsg.orig.tar.xz
[ -f "$orig" ] || { say "Debian's qt6-base source is not Qt 6.4.2: $(ls "$work")"; exit 1; }
tar -C "$work" -xf "$orig"
source_dir=$(find "$work" -maxdepth 1 -type d -name 'qtbase-everywhere-src-*' | head -n 1)

# tabletevent is off: Debian's DFSG source leaves out the Wintab header that
# the Windows plugin's tablet support includes.
cmake -S "$source_dir" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$project/cmake/mingw-w64-x86_64.cmake" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(gcc -print-multiarch)/cmake" \
    -DCMAKE_INSTALL_PREFIX="$work/$name" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF -DINPUT_opengl=no \
    -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF \
    -DFEATURE_tabletevent=OFF -DFEATURE_icu=OFF -DFEATURE_zstd=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_jpeg=OFF
ninja -C "$work/build"
cmake --install "$work/build"
x86_64-w64-mingw32-strip --strip-unneeded "$work/$name"/bin/*.dll "$work/$name"/plugins/*/*.dll
mkdir -p "$(dirname "$kept")"
tar -C "$work" -cJf "$kept" "$name"
rm -rf "$work"
say "built Qt and kept it as $kept for the next run"
unpack "$kept"

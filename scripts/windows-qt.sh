#!/usr/bin/env bash
# Puts the Qt for one Windows architecture into DEST_DIR/windows-qt-ARCH and
# prints its path: the archive, checksum and Debian source that
# windows-qt-archives.txt names for the architecture. In order of preference:
#  1. it is there already, unpacked from that archive;
#  2. the archive is at hand: QT_WINDOWS_ARCHIVE, or ../shared/toolchains/ beside
#     the project (checked against its checksum), or the one this script built
#     on an earlier run (kept in .cache/, which make clean leaves alone);
#  3. it is built from Debian's source package in QT_WINDOWS_SOURCES, or in
#     ../shared/toolchains/sources/ beside the project (its .dsc checked against
#     the sha256 the list pins; dpkg-source -x checks the tarballs against the
#     .dsc and applies Debian's patches) with the configure line below (35 to
#     60 minutes on two cores), packed into that archive for the next run, and
#     unpacked.
# Never from anywhere else, and nothing unchecked: every archive is checked
# against the sha256 the list pins (one built here, against the digest it was
# given when built) before it is unpacked, and a folder unpacked earlier is
# used only while its stamp names that digest and its files are still the
# ones unpacked (a digest of them all, kept in the stamp). A tampered or
# unknown archive is refused with exit status 1.
#   windows-qt.sh x64|x86 DEST_DIR
set -euo pipefail
# Standard output carries the path alone; everything else goes to stderr.
exec 3>&1 1>&2

say() { echo "windows-qt.sh: $*" >&2; }
arch=${1:-} dest=${2:-}
archives=$(dirname "$0")/windows-qt-archives.txt
case "$arch" in
    x64) marker=lib/cmake/Qt6/qt.toolchain.cmake ;;
    x86) marker=lib/cmake/Qt5/Qt5Config.cmake ;;
    *) say "usage: windows-qt.sh x64|x86 DEST_DIR (not '$arch')"; exit 2 ;;
esac
[ -n "$dest" ] || { say "usage: windows-qt.sh x64|x86 DEST_DIR"; exit 2; }
read -r archive sha256 source_package version triple < <(awk -v arch="$arch" '$1 == arch { print $2, $3, $4, $5, $6 }' "$archives")
[ -n "${triple:-}" ] || { say "$archives names no archive for $arch"; exit 1; }
# The archive holds one folder of its own name.
name=${archive%.tar.xz}

dest=$(mkdir -p "$dest" && cd "$dest" && pwd)
project=$(cd "$(dirname "$0")/.." && pwd)
qt=$dest/windows-qt-$arch
# Which archive the folder was unpacked from: another one replaces it.
stamp=$qt/.archive

kept=$project/.cache/$archive
# The digests an archive may have: the pinned one, or the one this script
# gave the archive it built here.
built_here=$(cat "$kept.sha256" 2>/dev/null || true)
known() { [ "$1" = "$sha256" ] || { [ -n "$built_here" ] && [ "$1" = "$built_here" ]; }; }
# A digest of every file of an unpacked folder, by name and content.
tree_digest() {
    (cd "$1" && find . -type f ! -path ./.archive -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum | sha256sum | cut -c 1-64)
}

if [ -f "$qt/$marker" ] && read -r stamped_archive stamped_sha256 stamped_tree <"$stamp" 2>/dev/null &&
    [ "$stamped_archive" = "$archive" ] && known "$stamped_sha256"; then
    if [ "$(tree_digest "$qt")" = "$stamped_tree" ]; then
        echo "$qt" >&3
        exit 0
    fi
    say "the files in $qt are no longer the ones unpacked from $archive: unpacking it again"
fi

unpack() {
    local digest
    digest=$(sha256sum <"$1" | cut -c 1-64)
    if ! known "$digest"; then
        say "refusing $1: its sha256 is $digest, and $archives pins $sha256 for $archive"
        exit 1
    fi
    say "unpacking $1 (sha256 $digest, as $archives pins)"
    rm -rf "$qt" "$dest/$name"
    tar -C "$dest" --no-same-owner -xf "$1"
    [ -f "$dest/$name/$marker" ] || { say "$1 does not hold $name/"; rm -rf "$dest/$name"; exit 1; }
    mv "$dest/$name" "$qt"
    echo "$archive $digest $(tree_digest "$qt")" >"$stamp"
    echo "$qt" >&3
    exit 0
}

if [ -n "${QT_WINDOWS_ARCHIVE:-}" ]; then
    [ -f "$QT_WINDOWS_ARCHIVE" ] || { say "QT_WINDOWS_ARCHIVE: no file at $QT_WINDOWS_ARCHIVE"; exit 1; }
    unpack "$QT_WINDOWS_ARCHIVE"
fi
shared=$project/../shared/toolchains/$archive
[ -f "$shared" ] && unpack "$shared"
[ -f "$kept" ] && unpack "$kept"

# The source a release carries (scripts/release.sh): the .dsc, as the list
# pins it, and the tarballs it names, each checked against it.
sources=${QT_WINDOWS_SOURCES:-$project/../shared/toolchains/sources}
if ! "$project/scripts/windows_qt_sources.py" "$arch" "$sources" >/dev/null; then
    say "QT_WINDOWS_SOURCES names the folder that holds Debian's $source_package $version source package"
    say "(a release's ...-windows-sources.tar holds it); or put $archive in"
    say "$project/../shared/toolchains/ or name it with QT_WINDOWS_ARCHIVE."
    exit 1
fi
dsc=$sources/${source_package}_${version#*:}.dsc
say "no $archive found; building it from Debian's $source_package source in $sources (35 to 60 minutes)"
work=$dest/qt-windows-source-$arch
rm -rf "$work"
mkdir -p "$work"
# Debian's patches (its security fixes among them) are part of the source we build.
dpkg-source -x "$dsc" "$work/src" >/dev/null
install_dir=$work/$name

case "$arch" in
x64)
    # tabletevent is off: Debian's DFSG source leaves out the Wintab header that
    # the Windows plugin's tablet support includes.
    cmake -S "$work/src" -B "$work/build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$project/cmake/mingw-w64-x86_64.cmake" -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(gcc -print-multiarch)/cmake" \
        -DCMAKE_INSTALL_PREFIX="$install_dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF -DINPUT_opengl=no \
        -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF \
        -DFEATURE_tabletevent=OFF -DFEATURE_icu=OFF -DFEATURE_zstd=OFF \
        -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
        -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_jpeg=OFF
    ninja -C "$work/build"
    cmake --install "$work/build"
    ;;
x86)
    # Qt 5's configure takes one cross-compiler prefix: links to the posix-thread
    # compilers and to binutils stand in front of Debian's win32-thread defaults.
    links=$work/links
    mkdir -p "$links"
    for tool in gcc g++; do ln -s "/usr/bin/$triple-$tool-posix" "$links/$triple-$tool"; done
    for tool in ar objcopy windres strip nm ranlib ld as dlltool; do ln -s "/usr/bin/$triple-$tool" "$links/$triple-$tool"; done
    mkdir -p "$work/build"
    (cd "$work/build" && ../src/configure -xplatform win32-g++ -device-option CROSS_COMPILE="$links/$triple-" \
        -prefix "$install_dir" -extprefix "$install_dir" -hostprefix "$install_dir" -platform linux-g++ \
        -opensource -confirm-license -release -shared -nomake examples -nomake tests \
        -no-opengl -no-dbus -no-icu -no-feature-sql -no-feature-network -no-feature-xml \
        -no-feature-concurrent -no-feature-tabletevent \
        -qt-zlib -qt-libpng -qt-pcre -qt-freetype -qt-harfbuzz -no-libjpeg -no-zstd -no-openssl)
    make -C "$work/build" -j"$(nproc 2>/dev/null || echo 2)"
    make -C "$work/build" install
    ;;
esac
"$triple-strip" --strip-unneeded "$install_dir"/bin/*.dll "$install_dir"/plugins/*/*.dll
mkdir -p "$(dirname "$kept")"
tar -C "$work" -cJf "$kept" "$name"
rm -rf "$work"
built_here=$(sha256sum <"$kept" | cut -c 1-64)
echo "$built_here" >"$kept.sha256"
say "built Qt and kept it as $kept (sha256 $built_here, not the pinned $sha256) for the next run"
unpack "$kept"

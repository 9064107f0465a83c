#!/usr/bin/env bash
# scripts/windows-qt.sh trusts no archive and no unpacked folder unchecked:
#  1. an archive of the right name and layout but other bytes, named by
#     QT_WINDOWS_ARCHIVE, is refused (exit 1) and nothing is unpacked;
#  2. the pinned archive from ../shared/toolchains is unpacked, and its stamp
#     names the pinned digest;
#  3. a file of the unpacked folder changed afterwards is noticed, and the
#     folder unpacked again from the checked archive;
#  4. with no archive at hand, a Debian source whose tarball differs from its
#     .dsc is refused (exit 1) before anything is built.
#   windows_qt_test.sh WORK_DIR
# Exits 77 (skipped) where ../shared/toolchains lacks the pinned archive.
set -euo pipefail

work=$1
project=$(cd "$(dirname "$0")/../.." && pwd)
script=$project/scripts/windows-qt.sh
fail() { echo "FAIL: $*" >&2; exit 1; }
read -r archive sha256 _ < <(awk '$1 == "x64" { print $2, $3 }' "$project/scripts/windows-qt-archives.txt")
name=${archive%.tar.xz}
rm -rf "$work"
mkdir -p "$work/fake/$name/lib/cmake/Qt6"

echo "--- an archive the list does not pin"
touch "$work/fake/$name/lib/cmake/Qt6/qt.toolchain.cmake" "$work/fake/$name/extra.dll"
tar -C "$work/fake" -cJf "$work/fake/$archive" "$name"
status=0
QT_WINDOWS_ARCHIVE=$work/fake/$archive "$script" x64 "$work/dest" >"$work/out" 2>"$work/err" || status=$?
[ "$status" = 1 ] && grep -q "refusing .*$archive: its sha256 is" "$work/err" ||
    fail "a repacked archive gave status $status: $(cat "$work/err")"
[ ! -e "$work/dest/windows-qt-x64" ] && [ ! -s "$work/out" ] || fail "the refused archive was unpacked"
echo "refused, exit 1: $(cat "$work/err")"

if [ ! -f "$project/../shared/toolchains/$archive" ]; then
    echo "SKIP: ../shared/toolchains holds no $archive to unpack"
    exit 77
fi
echo "--- the pinned archive"
qt=$("$script" x64 "$work/dest" 2>"$work/err") || fail "the pinned archive: $(cat "$work/err")"
[ "$qt" = "$work/dest/windows-qt-x64" ] && [ "$(cut -d ' ' -f 1,2 "$qt/.archive")" = "$archive $sha256" ] ||
    fail "unpacked to '$qt' with the stamp '$(cat "$qt/.archive" 2>/dev/null)'"
echo "unpacked; stamp: $(cut -c 1-100 "$qt/.archive")..."

echo "--- a file of the unpacked folder changed"
echo tampered >>"$qt/bin/Qt6Core.dll"
"$script" x64 "$work/dest" >/dev/null 2>"$work/err" || fail "after tampering: $(cat "$work/err")"
grep -q "no longer the ones unpacked" "$work/err" && ! grep -q tampered "$qt/bin/Qt6Core.dll" ||
    fail "the changed folder was used as it was: $(cat "$work/err")"
echo "noticed and unpacked again"

sources=$project/../shared/toolchains/sources
if [ -d "$sources" ]; then
    echo "--- no archive, and a source tarball other than its .dsc says"
    mkdir -p "$work/alone/scripts" "$work/sources"
    cp "$project"/scripts/windows-qt.sh "$project"/scripts/windows-qt-archives.txt "$project"/scripts/windows_qt_sources.py \
        "$work/alone/scripts/"
    cp "$sources"/qt6-base_* "$work/sources/"
    chmod u+w "$work/sources"/*
    debian_tarball=$(find "$work/sources" -name '*.debian.tar.xz')
    printf '\0' >>"$debian_tarball"
    status=0
    QT_WINDOWS_SOURCES=$work/sources "$work/alone/scripts/windows-qt.sh" x64 "$work/alone/dest" >"$work/out" 2>"$work/err" ||
        status=$?
    [ "$status" = 1 ] && grep -q "does not match the sha256" "$work/err" ||
        fail "a changed source tarball gave status $status: $(cat "$work/err")"
    [ ! -e "$work/alone/dest/qt-windows-source-x64" ] || fail "the refused source was unpacked"
    echo "refused, exit 1: $(head -n 1 "$work/err")"
fi
rm -rf "$work"
echo "PASS: only the pinned archive is unpacked, and only an unchanged folder used"

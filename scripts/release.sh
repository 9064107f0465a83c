#!/usr/bin/env bash
# Makes the release of the checked-out commit in build/release: both Debian
# packages, both Windows installers and ZIPs, the source archive, the source
# of the Qt in the Windows programs (from QT_WINDOWS_SOURCES, by default
# ../shared/toolchains/sources) and SHA256SUMS.
# The same commit gives the same bytes in any clone, folder and time: the
# release presets build reproducibly (cmake/reproducible.cmake) with
# SOURCE_DATE_EPOCH, the commit's time.
#
# Signed, when SIGN_PKCS12 names a PKCS#12 file with the certificate and key and
# SIGN_PASSWORD_FILE a file holding its password (SIGN_TIMESTAMP_URL: a time
# stamp server, optional): the Windows installers and ZIPs are made once more
# into build/release/signed, with our programs and DLLs, the uninstaller and
# the installer signed (packaging/windows/sign-pe.sh). SHA256SUMS lists both.
set -euo pipefail
say() { echo "release.sh: $*" >&2; }
# Named from where it was started; the rest runs in the project.
[ -z "${SIGN_PKCS12:-}" ] || SIGN_PKCS12=$(realpath -m "$SIGN_PKCS12")
[ -z "${SIGN_PASSWORD_FILE:-}" ] || SIGN_PASSWORD_FILE=$(realpath -m "$SIGN_PASSWORD_FILE")
unset POWERMONITOR_SIGN POWERMONITOR_SIGNATURES
cd "$(dirname "$0")/.."

if [ -n "$(git status --porcelain)" ]; then
    say "the tree has changes that are not committed; a release is made of a commit alone:"
    git status --short >&2
    say "commit them, or stash them (git stash -u), and run it again"
    exit 1
fi
if [ -n "${SIGN_PKCS12:-}" ]; then
    [ -r "$SIGN_PKCS12" ] || { say "SIGN_PKCS12: cannot read $SIGN_PKCS12"; exit 1; }
    [ -r "${SIGN_PASSWORD_FILE:-}" ] ||
        { say "SIGN_PKCS12 needs SIGN_PASSWORD_FILE, a file holding its password, not '${SIGN_PASSWORD_FILE:-}'"; exit 1; }
    command -v osslsigncode >/dev/null || { say "osslsigncode signs the release: $(cat scripts/install-hint.txt)"; exit 1; }
fi

SOURCE_DATE_EPOCH=$(git log -1 --format=%ct HEAD)
export SOURCE_DATE_EPOCH
# The files as the repository has them, whoever builds.
umask 022
export LC_ALL=C.UTF-8 TZ=UTC
jobs=$(nproc 2>/dev/null || echo 2)
release=build/release
rm -rf "$release"
mkdir -p "$release"

# Builds a release preset from nothing, and packs it into the folder $2: what
# an earlier release built is left out, even where the commit's time stamps it.
package() {
    local preset=$1 dest=$2 dir
    dir=$(scripts/preset-dir.py "$preset")
    say "building $preset in $dir"
    rm -rf "$dir"
    cmake --preset "$preset" --log-level=WARNING
    cmake --build --preset "$preset" --parallel "$jobs"
    pack "$dir" "$dest"
}
# Packs the build in $1 into $2, with every generator it names.
pack() {
    local dir=$1 dest=$2 staging=$PWD/$1/release-packages
    rm -rf "$staging"
    (cd "$dir" && cpack -B "$staging" >/dev/null)
    find "$staging" -maxdepth 1 -type f \( -name '*.deb' -o -name '*.exe' -o -name '*.zip' \) -exec mv -t "$dest" {} +
    rm -rf "$staging"
}

package release-qt6 "$release"
for arch in x64 x86; do
    scripts/windows-qt.sh "$arch" build >/dev/null
    package "release-windows-$arch" "$release"
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$(scripts/preset-dir.py release-qt6)/CMakeCache.txt")
git archive --format=tar.gz --prefix="powermonitor-$version/" -o "$release/powermonitor-$version.tar.gz" HEAD

# The corresponding source of the Qt the Windows programs ship: Debian's source
# packages, each .dsc checked against the sha256 the list pins and each tarball
# against its .dsc, with the recipe that builds the Qt from them.
sources=${QT_WINDOWS_SOURCES:-$PWD/../shared/toolchains/sources}
windows_sources=$(sed -n 's/^POWERMONITOR_WINDOWS_SOURCES_ARCHIVE:INTERNAL=//p' \
    "$(scripts/preset-dir.py release-windows-x64)/CMakeCache.txt")
source_files=()
while read -r _arch _archive _sha256 package source_version _triple dsc_sha256; do
    dsc=${package}_${source_version#*:}.dsc
    [ -f "$sources/$dsc" ] || { say "no $dsc in $sources (QT_WINDOWS_SOURCES): a release carries it"; exit 1; }
    [ "$(sha256sum <"$sources/$dsc" | cut -c 1-64)" = "$dsc_sha256" ] ||
        { say "$sources/$dsc is not the one scripts/windows-qt-archives.txt pins"; exit 1; }
    source_files+=("$dsc")
    while read -r digest _size file; do
        [ -n "$file" ] || continue
        echo "$digest  $file" | (cd "$sources" && sha256sum --quiet -c -) ||
            { say "$sources/$file does not match $dsc"; exit 1; }
        source_files+=("$file")
    done < <(sed -n '/^Checksums-Sha256:/,/^[^ ]/{/^ /p}' "$sources/$dsc")
done < <(grep -v '^#' scripts/windows-qt-archives.txt)
tar_flags=(--sort=name --format=gnu --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner
           --mode='u+w,go-w,a+rX')
prefix=${windows_sources%.tar}
tar "${tar_flags[@]}" -cf "$release/$windows_sources" \
    --transform="s|^packaging/windows/windows-sources-readme.txt|README.txt|;s|^|$prefix/|" \
    packaging/windows/windows-sources-readme.txt scripts/windows-qt.sh scripts/windows-qt-archives.txt \
    cmake/mingw-w64.cmake cmake/mingw-w64-x86_64.cmake cmake/mingw-w64-i686.cmake cmake/oldest-windows.cmake
tar "${tar_flags[@]}" -rf "$release/$windows_sources" -C "$sources" --transform="s|^|$prefix/sources/|" "${source_files[@]}"

if [ -n "${SIGN_PKCS12:-}" ]; then
    mkdir -p "$release/signed"
    for arch in x64 x86; do
        say "signing the $arch installer and ZIP"
        SIGN_PKCS12=$SIGN_PKCS12 SIGN_PASSWORD_FILE=$SIGN_PASSWORD_FILE SIGN_TIMESTAMP_URL=${SIGN_TIMESTAMP_URL:-} \
            POWERMONITOR_SIGN=sign pack "$(scripts/preset-dir.py "release-windows-$arch")" "$release/signed"
    done
fi

(cd "$release" && find . -type f ! -name SHA256SUMS -printf '%P\n' | sort | xargs sha256sum >SHA256SUMS)
say "the release of $(git rev-parse --short HEAD) (powermonitor $version) is in $release:"
cat "$release/SHA256SUMS" >&2

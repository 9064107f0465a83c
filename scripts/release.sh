#!/usr/bin/env bash
# Makes the release of the checked-out commit in build/release: both Debian
# packages, both Windows installers and ZIPs, the source archive, the source
# of the Qt in the Windows programs (from QT_WINDOWS_SOURCES, by default
# ../shared/toolchains/sources) and SHA256SUMS.
# The same commit gives the same bytes in any clone, folder and time: the
# release presets build reproducibly (cmake/reproducible.cmake) with
# SOURCE_DATE_EPOCH, the commit's time.
#
# Each .deb, installer and ZIP gets its bill of materials beside it,
# <file>.spdx.json (SPDX 2.3, scripts/sbom.py).
#
# Authenticode-signed, when a key is configured: the Windows installers and ZIPs
# are made once more into build/release/signed, with our programs and DLLs, the
# uninstaller and the installer signed (packaging/windows/sign-pe.sh). The key:
#   SIGN_PKCS12          a PKCS#12 file with the certificate and key, or
#   SIGN_PKCS11_MODULE   the PKCS#11 module of a hardware token (for example
#                        /usr/lib/x86_64-linux-gnu/opensc-pkcs11.so), with
#                        SIGN_PKCS11_KEY, the key's PKCS#11 URI, and
#                        SIGN_CERTIFICATES, a PEM file of its certificate chain;
#   SIGN_PASSWORD_FILE   a file holding the PKCS#12 password or the token's PIN
#                        (never on a command line);
#   SIGN_TIMESTAMP_URL   a time stamp server (optional).
# SIGN_GPG_KEY (a key gpg holds, by fingerprint) signs SHA256SUMS into
# SHA256SUMS.asc, a detached OpenPGP signature. SHA256SUMS lists every other
# file. JOBS: how many build jobs (the number of CPUs by default).
set -euo pipefail
say() { echo "release.sh: $*" >&2; }
# Named from where it was started; the rest runs in the project.
for name in SIGN_PKCS12 SIGN_PASSWORD_FILE SIGN_CERTIFICATES SIGN_PKCS11_MODULE QT_WINDOWS_SOURCES; do
    [ -z "${!name:-}" ] || export "$name=$(realpath -m "${!name}")"
done
unset POWERMONITOR_SIGN POWERMONITOR_SIGNATURES
cd "$(dirname "$0")/.."

if [ -n "$(git status --porcelain)" ]; then
    say "the tree has changes that are not committed; a release is made of a commit alone:"
    git status --short >&2
    say "commit them, or stash them (git stash -u), and run it again"
    exit 1
fi
signing=
if [ -n "${SIGN_PKCS12:-}" ] && [ -n "${SIGN_PKCS11_MODULE:-}" ]; then
    say "SIGN_PKCS12 and SIGN_PKCS11_MODULE name two keys: set one"
    exit 1
elif [ -n "${SIGN_PKCS12:-}" ]; then
    [ -r "$SIGN_PKCS12" ] || { say "SIGN_PKCS12: cannot read $SIGN_PKCS12"; exit 1; }
    signing=SIGN_PKCS12
elif [ -n "${SIGN_PKCS11_MODULE:-}" ]; then
    [ -r "$SIGN_PKCS11_MODULE" ] || { say "SIGN_PKCS11_MODULE: cannot read $SIGN_PKCS11_MODULE"; exit 1; }
    [[ "${SIGN_PKCS11_KEY:-}" == pkcs11:* ]] ||
        { say "SIGN_PKCS11_MODULE needs SIGN_PKCS11_KEY, the key's PKCS#11 URI (pkcs11:...), not '${SIGN_PKCS11_KEY:-}'"; exit 1; }
    [ -r "${SIGN_CERTIFICATES:-}" ] ||
        { say "SIGN_PKCS11_MODULE needs SIGN_CERTIFICATES, a PEM file of the key's certificate chain"; exit 1; }
    signing=SIGN_PKCS11_MODULE
fi
if [ -n "$signing" ]; then
    [ -r "${SIGN_PASSWORD_FILE:-}" ] ||
        { say "$signing needs SIGN_PASSWORD_FILE, a file holding its password or PIN, not '${SIGN_PASSWORD_FILE:-}'"; exit 1; }
    command -v osslsigncode >/dev/null || { say "osslsigncode signs the release: $(cat scripts/install-hint.txt)"; exit 1; }
    export SIGN_TIMESTAMP_URL=${SIGN_TIMESTAMP_URL:-} SIGN_PKCS11_KEY=${SIGN_PKCS11_KEY:-}
fi
if [ -n "${SIGN_GPG_KEY:-}" ] && ! gpg --batch --list-secret-keys "$SIGN_GPG_KEY" >/dev/null 2>&1; then
    say "SIGN_GPG_KEY: gpg holds no secret key '$SIGN_GPG_KEY' (GNUPGHOME: ${GNUPGHOME:-~/.gnupg})"
    exit 1
fi

# The Qt's source, which the release carries, checked before anything is built.
sources=${QT_WINDOWS_SOURCES:-$PWD/../shared/toolchains/sources}
source_files=()
for arch in x64 x86; do
    listed=$(scripts/windows_qt_sources.py "$arch" "$sources") ||
        { say "a release carries the Qt's source: QT_WINDOWS_SOURCES names the folder that holds it"; exit 1; }
    mapfile -t -O "${#source_files[@]}" source_files <<<"$listed"
done

SOURCE_DATE_EPOCH=$(git log -1 --format=%ct HEAD)
export SOURCE_DATE_EPOCH
# The files as the repository has them, whoever builds.
umask 022
export LC_ALL=C.UTF-8 TZ=UTC
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}
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
# packages, checked (scripts/windows_qt_sources.py), with the recipe that builds
# the Qt from them.
windows_sources=$(sed -n 's/^POWERMONITOR_WINDOWS_SOURCES_ARCHIVE:INTERNAL=//p' \
    "$(scripts/preset-dir.py release-windows-x64)/CMakeCache.txt")
tar_flags=(--sort=name --format=gnu --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner
           --mode='u+w,go-w,a+rX')
prefix=${windows_sources%.tar}
tar "${tar_flags[@]}" -cf "$release/$windows_sources" \
    --transform="s|^packaging/windows/windows-sources-readme.txt|README.txt|;s|^|$prefix/|" \
    packaging/windows/windows-sources-readme.txt scripts/windows-qt.sh scripts/windows_qt_sources.py \
    scripts/windows-qt-archives.txt \
    cmake/mingw-w64.cmake cmake/mingw-w64-x86_64.cmake cmake/mingw-w64-i686.cmake cmake/oldest-windows.cmake
tar "${tar_flags[@]}" -rf "$release/$windows_sources" -C "$sources" --transform="s|^|$prefix/sources/|" "${source_files[@]}"

if [ -n "$signing" ]; then
    mkdir -p "$release/signed"
    for arch in x64 x86; do
        say "signing the $arch installer and ZIP"
        POWERMONITOR_SIGN=sign pack "$(scripts/preset-dir.py "release-windows-$arch")" "$release/signed"
    done
fi

# The bill of materials of each package, installer and ZIP.
while IFS= read -r -d '' file; do
    scripts/sbom.py "$file" "$version" "$windows_sources" "$file.spdx.json"
done < <(find "$release" -type f \( -name '*.deb' -o -name '*.exe' -o -name '*.zip' \) -print0 | sort -z)

(cd "$release" && find . -type f ! -name SHA256SUMS -printf '%P\0' | sort -z | xargs -0 sha256sum >SHA256SUMS)
if [ -n "${SIGN_GPG_KEY:-}" ]; then
    gpg --batch --yes --local-user "$SIGN_GPG_KEY" --armor --detach-sign -o "$release/SHA256SUMS.asc" "$release/SHA256SUMS"
    say "SHA256SUMS is signed with $SIGN_GPG_KEY: SHA256SUMS.asc"
fi
say "the release of $(git rev-parse --short HEAD) (powermonitor $version) is in $release:"
cat "$release/SHA256SUMS" >&2

#!/usr/bin/env bash
# Checks a download of the power monitor's release.
#   scripts/verify-release.sh --key PUBLIC_KEY SHA256SUMS
#   scripts/verify-release.sh INSTALLER_OR_ZIP [BUILD_DIR]
#
# SHA256SUMS: checks its OpenPGP signature, SHA256SUMS.asc beside it, against
# PUBLIC_KEY (the release key's public part, armoured or binary) with gpgv,
# then the sha256 of every file it lists that lies beside it.
#
# A signed Windows installer or ZIP: checks it against your own unsigned build
# of the same commit, that it is that build with signatures, and nothing else.
# BUILD_DIR: your release build of its architecture, which `make release`
# leaves in build/release-windows-x64 (for ...-win64.*) or
# build/release-windows-x86 (for ...-win32.*).
# 1. Takes an installer's own signature off (osslsigncode remove-signature).
# 2. Unpacks it (7-Zip reads NSIS installers and ZIPs) and keeps the signature
#    of each program, DLL and uninstaller in it that carries one, under the
#    digest of the bytes it was made for (packaging/windows/authenticode.py key).
# 3. Makes the installer or ZIP again from BUILD_DIR, with each of those
#    signatures attached to the file of your build that it was made for
#    (packaging/windows/sign-pe.sh attach): the signed files inside cannot be
#    told from the outside, so they are put in as they are, once shown to be yours.
# 4. Compares the two byte for byte. Taking a signature off leaves two things
#    that differ from a file never signed, and nothing else may differ: the PE
#    checksum, which signing writes anew, and up to 7 zero bytes at the end, the
#    padding that aligned the signature on 8 bytes. A ZIP must be the same bytes.
# Exits 0 when it checks out, 1 when it does not, 2 when it cannot tell.
set -euo pipefail
say() { echo "verify-release.sh: $*" >&2; }
usage() { say "usage: verify-release.sh --key PUBLIC_KEY SHA256SUMS | verify-release.sh INSTALLER_OR_ZIP [BUILD_DIR]"; exit 2; }
project=$(cd "$(dirname "$0")/.." && pwd)
key=
if [ "${1:-}" = --key ]; then
    [ $# -ge 2 ] || usage
    key=$(realpath -m "$2")
    shift 2
fi
[ $# -ge 1 ] && [ $# -le 2 ] || usage
file=$(realpath -m "$1")
[ -f "$file" ] || { say "no file at $1"; exit 2; }
name=$(basename "$file")

if [ "$name" = SHA256SUMS ]; then
    [ -n "$key" ] || { say "SHA256SUMS is checked against the release's public key: --key PUBLIC_KEY"; exit 2; }
    [ -f "$key" ] || { say "no public key at $key"; exit 2; }
    [ -f "$file.asc" ] || { say "no signature SHA256SUMS.asc beside $file"; exit 1; }
    command -v gpgv >/dev/null && command -v gpg >/dev/null ||
        { say "gpgv not found. $(cat "$project/scripts/install-hint.txt")"; exit 2; }
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    # gpgv takes a binary keyring: the key as given, armoured or not, made into one.
    if ! gpg --batch --quiet --dearmor <"$key" >"$work/keyring.gpg" 2>/dev/null || [ ! -s "$work/keyring.gpg" ]; then
        cp "$key" "$work/keyring.gpg"
    fi
    if ! gpgv --keyring "$work/keyring.gpg" "$file.asc" "$file" 2>"$work/gpgv.log"; then
        sed 's/^/  /' "$work/gpgv.log" >&2
        say "the signature SHA256SUMS.asc is NOT good for this SHA256SUMS with the key $(basename "$key")"
        exit 1
    fi
    say "SHA256SUMS is signed with the key in $(basename "$key"): $(grep -m 1 -o 'using .*' "$work/gpgv.log" || true)"
    listed=$(grep -c . "$file")
    if ! (cd "$(dirname "$file")" && sha256sum --check --ignore-missing --strict "$name") >"$work/sums.log" 2>&1; then
        { grep -v ': OK$' "$work/sums.log" || true; } | sed 's/^/  /' >&2
        say "the files beside SHA256SUMS are NOT the ones it lists, or none of them is there"
        exit 1
    fi
    checked=$(grep -c ': OK$' "$work/sums.log")
    say "$checked files beside it match SHA256SUMS ($((listed - checked)) it lists are not there)"
    exit 0
fi

[ -z "$key" ] || { say "--key is for SHA256SUMS; an installer or ZIP is checked against your own build"; exit 2; }
authenticode=(/usr/bin/python3 "$project/packaging/windows/authenticode.py")
case "$name" in
    *.exe) generator=NSIS ;;
    *.zip) generator=ZIP ;;
    *) say "$name is neither an installer (.exe) nor a ZIP of the power monitor, nor SHA256SUMS"; exit 2 ;;
esac
installer=$file
if [ $# -eq 2 ]; then
    build=$(realpath -m "$2")
else
    case "$name" in
        *-win64.exe | *-win64.zip) arch=x64 ;;
        *-win32.exe | *-win32.zip) arch=x86 ;;
        *) say "$name is named neither ...-win64 nor ...-win32: name the build folder"; exit 2 ;;
    esac
    build=$project/$("$project/scripts/preset-dir.py" "release-windows-$arch")
fi
if [ ! -f "$build/CPackConfig.cmake" ]; then
    say "no release build in $build: 'make release' at the installer's commit makes it"
    exit 2
fi
for tool in osslsigncode 7zz openssl cpack; do
    command -v "$tool" >/dev/null || { say "$tool not found. $(cat "$project/scripts/install-hint.txt")"; exit 2; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
extension=${name##*.}

# 1. The installer without its own signature; a ZIP has none.
if [ "$generator" = NSIS ] && osslsigncode extract-signature -in "$installer" -out "$work/own.p7s" >/dev/null 2>&1; then
    osslsigncode remove-signature -in "$installer" -out "$work/theirs.$extension" >/dev/null ||
        { say "osslsigncode cannot take the signature off $name"; exit 1; }
    own="its own signature, taken off"
else
    cp "$installer" "$work/theirs.$extension"
    own=""
fi

# 2. The signatures of the files inside, and the certificates they chain up to.
signatures=$work/signatures
mkdir -p "$signatures"
if ! 7zz x -y -aou -o"$work/theirs" "$work/theirs.$extension" >/dev/null 2>&1; then
    say "7-Zip cannot unpack $name: it is not an installer or ZIP of the power monitor, or it is damaged"
    exit 1
fi
cat /etc/ssl/certs/ca-certificates.crt >"$signatures/certificates.pem" 2>/dev/null || true
signed_inside=()
while IFS= read -r -d '' file; do
    osslsigncode extract-signature -in "$file" -out "$work/signature.p7s" >/dev/null 2>&1 || continue
    key=$("${authenticode[@]}" key "$file")
    mv "$work/signature.p7s" "$signatures/$key.p7s"
    echo "${file#"$work/theirs/"}" >"$signatures/$key.name"
    openssl pkcs7 -inform DER -in "$signatures/$key.p7s" -print_certs >>"$signatures/certificates.pem"
    signed_inside+=("${file#"$work/theirs/"}")
done < <(find "$work/theirs" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0 | sort -z)

# 3. Your build, made into the installer again with those signatures.
# With a signed uninstaller NSIS keeps all of it in the installer: only a signed
# release is made with the signing steps.
signing=()
[ ${#signed_inside[@]} -eq 0 ] || signing=(POWERMONITOR_SIGN=attach "POWERMONITOR_SIGNATURES=$signatures")
if ! env "${signing[@]}" cpack -G "$generator" --config "$build/CPackConfig.cmake" -B "$work/ours" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    say "cannot make your build in $build into $([ "$generator" = ZIP ] && echo a ZIP || echo an installer)"
    exit 2
fi
ours=$(find "$work/ours" -maxdepth 1 -name "*.$extension" -print -quit)

# 4. Byte for byte.
# A ZIP is the same bytes or not; an installer may differ as a signature taken off leaves it.
if [ "$generator" = ZIP ]; then
    compare() { cmp "$1" "$2" >/dev/null && echo "byte for byte the same" || { cmp "$1" "$2" | sed 's/^[^ ]* [^ ]* //'; false; }; }
else
    compare() { "${authenticode[@]}" compare "$1" "$2"; }
fi
if said=$(compare "$work/theirs.$extension" "$ours"); then
    if [ -z "$own" ] && [ ${#signed_inside[@]} -eq 0 ]; then
        say "$name is your build, $said: it carries no signature"
        exit 0
    fi
    say "$name is your build with signatures. What differs from your build, as a signature may:"
    [ -z "$own" ] || say "  $own"
    while IFS= read -r line; do say "  $line"; done <<<"$said"
    say "  ${#signed_inside[@]} files in it are signed, and your build's otherwise: ${signed_inside[*]}"
    exit 0
fi
say "$name is NOT your build: $said"
for signature in "$signatures"/*.p7s; do
    [ ! -e "$signature" ] || [ -e "$signature.used" ] ||
        say "$(cat "${signature%.p7s}.name") in it is signed, and was not made of any file of your build"
done
# Which of the files it installs differ, to say where to look.
7zz x -y -aou -o"$work/ours-files" "$ours" >/dev/null 2>&1 || true
(cd "$work/theirs" && find . -type f | sort) >"$work/theirs.list"
(cd "$work/ours-files" && find . -type f | sort) >"$work/ours.list"
diff "$work/theirs.list" "$work/ours.list" | sed -n 's/^< \.\//only in it: /p; s/^> \.\//only in your build: /p' >&2 || true
# A file's digest, without a signature it may carry.
digest() { "${authenticode[@]}" key "$1" 2>/dev/null || sha256sum <"$1"; }
differing=0
while read -r file; do
    [ -f "$work/ours-files/$file" ] || continue
    if [ "$(digest "$work/theirs/$file")" != "$(digest "$work/ours-files/$file")" ]; then
        say "differs from your build's: ${file#./}"
        differing=$((differing + 1))
    fi
done <"$work/theirs.list"
if [ "$differing" -eq 0 ] && cmp -s "$work/theirs.list" "$work/ours.list"; then
    say "the files it installs are your build's: the installer's own code differs"
fi
exit 1

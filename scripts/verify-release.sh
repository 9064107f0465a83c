#!/usr/bin/env bash
# Checks a signed Windows installer of the power monitor against your own
# unsigned build of the same commit: that it is that build with signatures, and
# nothing else.
#   scripts/verify-release.sh INSTALLER [BUILD_DIR]
# BUILD_DIR: your release build of the installer's architecture, which
# `make release` leaves in build/release-windows-x64 (for ...-win64.exe) or
# build/release-windows-x86 (for ...-win32.exe).
#
# 1. Takes the installer's own signature off (osslsigncode remove-signature).
# 2. Unpacks it (7-Zip reads NSIS installers) and keeps the signature of each
#    program, DLL and uninstaller in it that carries one, under the digest of
#    the bytes it was made for (packaging/windows/authenticode.py key).
# 3. Makes the installer again from BUILD_DIR, with each of those signatures
#    attached to the file of your build that it was made for
#    (packaging/windows/sign-pe.sh attach): the signed files inside cannot be
#    told from the outside, so they are put in as they are, once shown to be yours.
# 4. Compares the two byte for byte. Taking a signature off leaves two things
#    that differ from a file never signed, and nothing else may differ: the PE
#    checksum, which signing writes anew, and up to 7 zero bytes at the end, the
#    padding that aligned the signature on 8 bytes.
# Exits 0 when it is your build, 1 when it is not, 2 when it cannot tell.
set -euo pipefail
say() { echo "verify-release.sh: $*" >&2; }
[ $# -ge 1 ] && [ $# -le 2 ] || { say "usage: verify-release.sh INSTALLER [BUILD_DIR]"; exit 2; }
project=$(cd "$(dirname "$0")/.." && pwd)
authenticode=(/usr/bin/python3 "$project/packaging/windows/authenticode.py")
installer=$(realpath -m "$1")
[ -f "$installer" ] || { say "no file at $1"; exit 2; }
if [ $# -eq 2 ]; then
    build=$(realpath -m "$2")
else
    case "$installer" in
        *-win64.exe) arch=x64 ;;
        *-win32.exe) arch=x86 ;;
        *) say "$(basename "$installer") is named neither ...-win64.exe nor ...-win32.exe: name the build folder"; exit 2 ;;
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
name=$(basename "$installer")

# 1. The installer without its own signature.
if osslsigncode extract-signature -in "$installer" -out "$work/own.p7s" >/dev/null 2>&1; then
    osslsigncode remove-signature -in "$installer" -out "$work/theirs.exe" >/dev/null ||
        { say "osslsigncode cannot take the signature off $name"; exit 1; }
    own="its own signature, taken off"
else
    cp "$installer" "$work/theirs.exe"
    own=""
fi

# 2. The signatures of the files inside, and the certificates they chain up to.
signatures=$work/signatures
mkdir -p "$signatures"
if ! 7zz x -y -aou -o"$work/theirs" "$work/theirs.exe" >/dev/null 2>&1; then
    say "7-Zip cannot unpack $name: it is not an installer of the power monitor, or it is damaged"
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
if ! env "${signing[@]}" cpack -G NSIS --config "$build/CPackConfig.cmake" -B "$work/ours" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    say "cannot make your build in $build into an installer"
    exit 2
fi
ours=$(find "$work/ours" -maxdepth 1 -name '*.exe' -print -quit)

# 4. Byte for byte.
if said=$("${authenticode[@]}" compare "$work/theirs.exe" "$ours"); then
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

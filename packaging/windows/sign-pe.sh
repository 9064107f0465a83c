#!/usr/bin/env bash
# Signs a Windows program, DLL or installer in place with Authenticode, as a
# signed release asks (POWERMONITOR_SIGN):
#   sign    with the certificate and key in SIGN_PKCS12, or with the key
#           SIGN_PKCS11_KEY (a PKCS#11 URI) on the token that the PKCS#11 module
#           SIGN_PKCS11_MODULE reaches and the certificates in SIGN_CERTIFICATES
#           (through OpenSSL's pkcs11 engine, SIGN_PKCS11_ENGINE to name
#           another); the password or PIN is in the file SIGN_PASSWORD_FILE
#           (never on a command line); with a time stamp from
#           SIGN_TIMESTAMP_URL where one is named
#   attach  the signature in the folder POWERMONITOR_SIGNATURES that was made for
#           a file of these very bytes (<key>.p7s, authenticode.py's key), so
#           that a signed installer can be made again from its signatures
#           (scripts/verify-release.sh); a file none was made for stays as it
#           is. certificates.pem there holds the certificates that the
#           signatures chain up to.
# cpack runs it on our programs and DLLs before it packs them, NSIS on the
# uninstaller it writes and on the installer.
#   sign-pe.sh FILE DESCRIPTION
set -euo pipefail
say() { echo "sign-pe.sh: $*" >&2; }
[ $# -eq 2 ] || { say "usage: sign-pe.sh FILE DESCRIPTION"; exit 2; }
file=$1 description=$2
out=$file.signing
trap 'rm -f "$out"' EXIT

case "${POWERMONITOR_SIGN:-}" in
sign)
    if [ -n "${SIGN_PKCS11_MODULE:-}" ]; then
        engine=${SIGN_PKCS11_ENGINE:-$(openssl version -e | sed -n 's/^ENGINESDIR: "\(.*\)"$/\1/p')/pkcs11.so}
        [ -r "$engine" ] || { say "no OpenSSL pkcs11 engine at $engine: Debian's libengine-pkcs11-openssl has it"; exit 1; }
        args=(sign -pkcs11engine "$engine" -pkcs11module "$SIGN_PKCS11_MODULE" -key "${SIGN_PKCS11_KEY:?}"
              -certs "${SIGN_CERTIFICATES:?}")
    else
        args=(sign -pkcs12 "${SIGN_PKCS12:?}")
    fi
    args+=(-readpass "${SIGN_PASSWORD_FILE:?}" -h sha256 -n "$description")
    [ -z "${SIGN_TIMESTAMP_URL:-}" ] || args+=(-ts "$SIGN_TIMESTAMP_URL")
    osslsigncode "${args[@]}" -in "$file" -out "$out" >/dev/null || { say "could not sign $file"; exit 1; }
    ;;
attach)
    signatures=${POWERMONITOR_SIGNATURES:?}
    key=$(/usr/bin/python3 "$(dirname "$0")/authenticode.py" key "$file")
    signature=$signatures/$key.p7s
    [ -f "$signature" ] || exit 0
    osslsigncode attach-signature -sigin "$signature" -CAfile "$signatures/certificates.pem" \
        -TSA-CAfile "$signatures/certificates.pem" -in "$file" -out "$out" >/dev/null ||
        { say "could not attach $signature to $file"; exit 1; }
    touch "$signature.used"
    ;;
*)
    say "POWERMONITOR_SIGN is sign or attach, not '${POWERMONITOR_SIGN:-}'"
    exit 2 ;;
esac
chmod --reference="$file" "$out"
mv "$out" "$file"

#!/usr/bin/env bash
# The release, made twice and compared, then signed and checked:
#  1. two clones of the checked-out commit each run `make release`: the first
#     as the caller runs it, the second under other conditions: another umask,
#     locale and time zone in the caller's environment (the release scripts fix
#     them for the build: this shows that the fixing works), another host name
#     (a UTS namespace, where the kernel allows one), a clock three days later
#     (faketime), one build job instead of all, and a folder of another path
#     length. Their SHA256SUMS must be the same (diffoscope shows where two
#     files differ). Not varied: the user, the kernel, the file system's order
#     of directory entries, and the packages installed;
#  2. each package's bill of materials is a valid SPDX 2.3 document that lists
#     every file in it with its digests (spdx_check.py), and the Qt source file
#     holds Debian's source packages as ../shared/toolchains/sources has them;
#  3. a certificate authority and a code-signing certificate, made here with
#     openssl and thrown away after (no key is ever committed), sign the first
#     clone's release, with the signer's key on a PKCS#11 token (softhsm2, a
#     software token); an OpenPGP key made here signs its SHA256SUMS. Every file
#     of ours in it verifies against that authority and fails without it, and
#     nothing else is signed; the same certificate from a PKCS#12 file signs
#     one program as well;
#     The table of a release's files in docs/releasing.md names every file of it;
#  4. scripts/verify-release.sh in the second clone accepts each signed
#     installer and ZIP against its own unsigned build, and the signed
#     SHA256SUMS with the public key, and rejects each with a byte changed.
#   release_test.sh WORK_DIR
set -euo pipefail
say() { echo "release_test.sh: $*"; }
fail() { echo "FAIL: $*" >&2; exit 1; }
[ $# -eq 1 ] || { echo "usage: release_test.sh WORK_DIR" >&2; exit 2; }
project=$(cd "$(dirname "$0")/../.." && pwd)
work=$(realpath -m "$1")
commit=$(git -C "$project" rev-parse HEAD)
[ -z "$(git -C "$project" status --porcelain)" ] ||
    say "the tree has uncommitted changes, which the test leaves out: it builds the commit $commit"
rm -rf "$work"
mkdir -p "$work"

# A clean clone of the commit in $1/main, with the Qt for Windows archives
# beside it as ../shared holds them.
clone() {
    git init -q "$1/main"
    git -C "$1/main" fetch -q "$project" "$commit"
    git -C "$1/main" checkout -q FETCH_HEAD
    [ ! -d "$project/../shared" ] || ln -s "$(realpath "$project/../shared")" "$1/shared"
}
first=$work/a
second=$work/a-second-clone-of-the-commit-in-a-folder-with-a-longer-name
clone "$first"
clone "$second"
start=$SECONDS
make -C "$first/main" --no-print-directory release
say "the release in $first: $((SECONDS - start)) s"

# The second release under other conditions. A new host name needs a UTS
# namespace; where the kernel or the container refuses one, it is left out.
varied="umask 077, LC_ALL=C, LANG=de_DE.UTF-8, TZ=Pacific/Kiritimati, the clock +3 days, 1 build job, a longer path"
hostname_run=()
if unshare --uts true 2>/dev/null; then
    hostname_run=(unshare --uts sh -c 'hostname release-test-other-host && exec "$0" "$@"')
    varied="$varied, host name release-test-other-host"
else
    say "NOTE: no UTS namespace here (unshare --uts), so the host name is not varied"
fi
start=$SECONDS
(
    umask 077
    export LC_ALL=C LANG=de_DE.UTF-8 TZ=Pacific/Kiritimati
    "${hostname_run[@]}" faketime -f +3d make -C "$second/main" --no-print-directory release JOBS=1
)
say "the release in $second ($varied): $((SECONDS - start)) s"

# 1. The same bytes.
sums=build/release/SHA256SUMS
for pattern in '_amd64\.deb' '-simulated-board_.*_amd64\.deb' '-win64\.exe' '-win32\.exe' '-win64\.zip' '-win32\.zip' \
               '[0-9]\.tar\.gz' '-windows-sources\.tar'; do
    grep -q -- "  powermonitor.*$pattern\$" "$first/main/$sums" || fail "the release has no file named like $pattern"
    [[ "$pattern" == *tar* ]] || grep -q -- "  powermonitor.*$pattern\.spdx\.json\$" "$first/main/$sums" ||
        fail "the release has no bill of materials of the file named like $pattern"
done
if ! cmp -s "$first/main/$sums" "$second/main/$sums"; then
    diff "$first/main/$sums" "$second/main/$sums" || true
    join -j 2 <(sort -k 2 "$first/main/$sums") <(sort -k 2 "$second/main/$sums") |
    while read -r file one other; do
        [ "$one" != "$other" ] || continue
        if command -v diffoscope >/dev/null; then
            diffoscope --text - "$first/main/build/release/$file" "$second/main/build/release/$file" | head -n 300 || true
        else
            say "$file differs; diffoscope (Debian's diffoscope-minimal) would show where"
        fi
    done
    fail "two clean clones of $commit made different release files"
fi
say "PASS: two clean clones of $commit made the same release ($varied):"
(cd "$first/main/build/release" && find . -type f -printf '%s\t%P\n' | sort -k 2)

# 2. The bills of materials, and the Qt source.
for document in "$first/main/build/release"/*.spdx.json; do
    /usr/bin/python3 "$project/tests/release/spdx_check.py" "$document" "${document%.spdx.json}" ||
        fail "$(basename "$document") is not the bill of materials of $(basename "${document%.spdx.json}")"
done
sources=$project/../shared/toolchains/sources
windows_sources=$(find "$first/main/build/release" -name '*-windows-sources.tar')
held=0
while read -r digest name; do
    [ "$(tar -xOf "$windows_sources" --wildcards "*/sources/$name" | sha256sum | cut -c 1-64)" = "$digest" ] ||
        fail "$(basename "$windows_sources") does not hold $name as $sources has it"
    held=$((held + 1))
done < <(cd "$sources" && sha256sum -- *)
tar -tf "$windows_sources" | grep '/scripts/windows-qt\.sh$' >/dev/null || fail "$(basename "$windows_sources") lacks the recipe"
say "PASS: every bill of materials checks out, and $(basename "$windows_sources") holds the $held files of Debian's Qt sources"

# 3. Signed with a certificate authority of the test's own, the signer's key on
# a software PKCS#11 token, and SHA256SUMS with an OpenPGP key of the test's own.
keys=$work/keys
mkdir -m 700 "$keys"
openssl req -x509 -newkey rsa:3072 -nodes -days 2 -keyout "$keys/ca.key" -out "$keys/ca.pem" \
    -subj "/CN=Power monitor release test CA" -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:3072 -nodes -keyout "$keys/signer.key" -out "$keys/signer.csr" \
    -subj "/CN=Power monitor release test signer" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >"$keys/signer.ext"
openssl x509 -req -in "$keys/signer.csr" -CA "$keys/ca.pem" -CAkey "$keys/ca.key" -CAcreateserial -days 2 \
    -extfile "$keys/signer.ext" -out "$keys/signer.pem" 2>/dev/null
cat "$keys/signer.pem" "$keys/ca.pem" >"$keys/chain.pem"
head -c 24 /dev/urandom | base64 >"$keys/password"
tr -dc 0-9 </dev/urandom | head -c 8 >"$keys/pin" || true

export SOFTHSM2_CONF=$keys/softhsm2.conf
mkdir "$keys/tokens"
printf 'directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n' "$keys/tokens" >"$SOFTHSM2_CONF"
softhsm2-util --init-token --free --label release-test --pin "$(cat "$keys/pin")" --so-pin "$(cat "$keys/password")" >/dev/null
openssl pkcs8 -topk8 -nocrypt -in "$keys/signer.key" -out "$keys/signer.p8"
softhsm2-util --import "$keys/signer.p8" --token release-test --label signer --id 01 --pin "$(cat "$keys/pin")" >/dev/null
rm "$keys/signer.key" "$keys/signer.p8"
token_key='pkcs11:token=release-test;object=signer;type=private'

export GNUPGHOME=$keys/gnupg
mkdir -m 700 "$GNUPGHOME"
trap 'gpgconf --kill all 2>/dev/null || true' EXIT
gpg --batch --quiet --passphrase '' --quick-gen-key "Power monitor release test <release-test@invalid>" rsa3072 sign 2d
gpg_key=$(gpg --batch --with-colons --list-secret-keys | awk -F: '$1 == "fpr" && !found { print $10; found = 1 }')
gpg --batch --armor --export "$gpg_key" >"$keys/release-key.asc"

make -C "$first/main" --no-print-directory release SIGN_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so \
    SIGN_PKCS11_KEY="$token_key" SIGN_CERTIFICATES="$keys/chain.pem" SIGN_PASSWORD_FILE="$keys/pin" SIGN_GPG_KEY="$gpg_key"
grep -v '  signed/' "$first/main/$sums" | cmp -s - "$second/main/$sums" ||
    fail "signing changed the unsigned files, or SHA256SUMS lists other files"
for document in "$first/main/build/release/signed"/*.spdx.json; do
    /usr/bin/python3 "$project/tests/release/spdx_check.py" "$document" "${document%.spdx.json}" >/dev/null ||
        fail "$(basename "$document") is not the bill of materials of $(basename "${document%.spdx.json}")"
done

# Every program, DLL and uninstaller of ours is signed, and nothing else.
verify_signature() {
    osslsigncode verify -CAfile "$keys/ca.pem" -in "$1" >/dev/null 2>&1 ||
        fail "$1 does not verify against the test's certificate authority"
    ! osslsigncode verify -in "$1" >/dev/null 2>&1 || fail "$1 verifies without the test's certificate authority"
    checked=$((checked + 1))
}
check_signatures() {
    local file=$1 name
    name=$(basename "$file")
    case "$name" in
    *.exe | *.dll)
        # 7-Zip names a second file of the same name (the installer's own
        # board-check, the recorder beside the stand-in) name_1.
        if [[ "$name" =~ ^(powermonitor|board-check|Orvane_boardcontrol_api|Uninstall)(_[0-9]+)?\.(exe|dll)$ ]]; then
            verify_signature "$file"
        elif rm -f "$work/signature.p7s" && osslsigncode extract-signature -in "$file" -out "$work/signature.p7s" >/dev/null 2>&1; then
            fail "$file is signed, and is not ours"
        fi ;;
    esac
}
checked=0
for package in "$first/main/build/release/signed"/*.exe "$first/main/build/release/signed"/*.zip; do
    [[ "$package" != *.exe ]] || verify_signature "$package"
    rm -rf "$work/unpacked"
    7zz x -y -aou -o"$work/unpacked" "$package" >/dev/null
    while IFS= read -r -d '' file; do check_signatures "$file"; done < <(find "$work/unpacked" -type f -print0)
done
# The two installers; in each the program, board-check (twice: one for the
# installer's own use), the stand-in, the recorder and the uninstaller; in
# each ZIP four.
[ "$checked" -eq $((2 + 6 + 6 + 4 + 4)) ] || fail "$checked signed files in the signed release, not 22"
say "PASS: $checked signed files verify against the test's certificate authority, and only with it"
/usr/bin/python3 "$project/tests/release/release_table.py" "$project/docs/releasing.md" "$first/main/build/release" \
    "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$first/main/build/release-qt6/CMakeCache.txt")" ||
    fail "docs/releasing.md's table of a release's files is not what the release holds"

# The same certificate, its key in a PKCS#12 file, signs as well.
program=$(find "$work/unpacked" -name powermonitor.exe -print -quit)
openssl req -newkey rsa:3072 -nodes -keyout "$keys/p12.key" -out "$keys/p12.csr" -subj "/CN=Power monitor release test PKCS#12 signer" 2>/dev/null
openssl x509 -req -in "$keys/p12.csr" -CA "$keys/ca.pem" -CAkey "$keys/ca.key" -CAcreateserial -days 2 \
    -extfile "$keys/signer.ext" -out "$keys/p12.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$keys/p12.key" -in "$keys/p12.pem" -certfile "$keys/ca.pem" \
    -passout "file:$keys/password" -out "$keys/signer.p12"
osslsigncode remove-signature -in "$program" -out "$work/p12.exe" >/dev/null
POWERMONITOR_SIGN=sign SIGN_PKCS12="$keys/signer.p12" SIGN_PASSWORD_FILE="$keys/password" \
    "$project/packaging/windows/sign-pe.sh" "$work/p12.exe" "PKCS#12 check"
checked=0
verify_signature "$work/p12.exe"
say "PASS: a key in a PKCS#12 file signs as well"

# 4. Each signed installer and ZIP against the second clone's own unsigned
# build, and SHA256SUMS against the OpenPGP key.
for package in "$first/main/build/release/signed"/*.exe "$first/main/build/release/signed"/*.zip; do
    "$second/main/scripts/verify-release.sh" "$package" || fail "verify-release.sh refused $package"
done
"$second/main/scripts/verify-release.sh" --key "$keys/release-key.asc" "$first/main/$sums" ||
    fail "verify-release.sh refused the signed SHA256SUMS"
installer=$(find "$first/main/build/release/signed" -name '*-win64.exe')
zip=$(find "$first/main/build/release/signed" -name '*-win32.zip')
offset=$(grep -obUa "DOS mode" "$installer" | head -n 1 | cut -d: -f1)
expect_refusal() {
    local status=0
    "$second/main/scripts/verify-release.sh" "$@" || status=$?
    [ "$status" -eq 1 ] || fail "verify-release.sh exited $status, not 1, on $*"
}
for where in "$offset" $(($(stat -c %s "$installer") / 2)); do
    changed=$work/$(basename "$installer")
    cp "$installer" "$changed"
    printf '\x01' | dd of="$changed" bs=1 seek="$where" conv=notrunc status=none
    ! osslsigncode verify -CAfile "$keys/ca.pem" -in "$changed" >/dev/null 2>&1 ||
        fail "the installer with byte $where changed still verifies"
    expect_refusal "$changed"
done
changed=$work/$(basename "$zip")
cp "$zip" "$changed"
printf '\x01' | dd of="$changed" bs=1 seek=$(($(stat -c %s "$zip") / 2)) conv=notrunc status=none
expect_refusal "$changed"
mkdir "$work/download"
cp "$first/main/$sums" "$first/main/$sums.asc" "$installer" "$work/download/"
printf '\x01' | dd of="$work/download/$(basename "$installer")" bs=1 seek="$offset" conv=notrunc status=none
expect_refusal --key "$keys/release-key.asc" "$work/download/SHA256SUMS"
cp "$installer" "$work/download/"
# One digit of the first digest, changed.
sed -i '1{s/^0/1/;t;s/^./0/}' "$work/download/SHA256SUMS"
expect_refusal --key "$keys/release-key.asc" "$work/download/SHA256SUMS"
say "PASS: verify-release.sh accepts the signed installers, ZIPs and SHA256SUMS, and rejects each with a byte changed"
rm -rf "$work"

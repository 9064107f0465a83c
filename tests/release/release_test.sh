#!/usr/bin/env bash
# The release, made twice and compared, then signed and checked:
#  1. two clones of the checked-out commit, in folders of other lengths, each
#     run `make release`; their SHA256SUMS must be the same (diffoscope, when
#     installed, shows where two files differ);
#  2. a certificate authority and a code-signing certificate, made here with
#     openssl and thrown away after (no key is ever committed), sign the first
#     clone's release: every file of ours in it verifies against that authority
#     and fails without it, and nothing else is signed;
#  3. scripts/verify-release.sh in the second clone accepts each signed
#     installer against its own unsigned build, and rejects one with a byte
#     changed.
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
for dir in "$first" "$second"; do
    clone "$dir"
    start=$SECONDS
    make -C "$dir/main" --no-print-directory release
    say "the release in $dir: $((SECONDS - start)) s"
done

# 1. The same bytes.
sums=build/release/SHA256SUMS
for pattern in '_amd64\.deb' '-simulated-board_.*_amd64\.deb' '-win64\.exe' '-win32\.exe' '-win64\.zip' '-win32\.zip' '\.tar\.gz'; do
    grep -q -- "  powermonitor.*$pattern\$" "$first/main/$sums" || fail "the release has no file named like $pattern"
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
say "PASS: two clean clones of $commit made the same release:"
cat "$first/main/$sums"

# 2. Signed with a certificate authority of the test's own.
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
head -c 24 /dev/urandom | base64 >"$keys/password"
openssl pkcs12 -export -inkey "$keys/signer.key" -in "$keys/signer.pem" -certfile "$keys/ca.pem" \
    -passout "file:$keys/password" -out "$keys/signer.p12"
make -C "$first/main" --no-print-directory release SIGN_PKCS12="$keys/signer.p12" SIGN_PASSWORD_FILE="$keys/password"
grep -v '  signed/' "$first/main/$sums" | cmp -s - "$second/main/$sums" ||
    fail "signing changed the unsigned files, or SHA256SUMS lists other files"

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
for package in "$first/main/build/release/signed"/*; do
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

# 3. Each signed installer against the second clone's own unsigned build.
for installer in "$first/main/build/release/signed"/*.exe; do
    "$second/main/scripts/verify-release.sh" "$installer" || fail "verify-release.sh refused $installer"
done
installer=$(find "$first/main/build/release/signed" -name '*-win64.exe')
changed=$work/$(basename "$installer")
offset=$(grep -obUa "DOS mode" "$installer" | head -n 1 | cut -d: -f1)
for where in "$offset" $(($(stat -c %s "$installer") / 2)); do
    cp "$installer" "$changed"
    printf '\x01' | dd of="$changed" bs=1 seek="$where" conv=notrunc status=none
    ! osslsigncode verify -CAfile "$keys/ca.pem" -in "$changed" >/dev/null 2>&1 ||
        fail "the installer with byte $where changed still verifies"
    status=0
    "$second/main/scripts/verify-release.sh" "$changed" || status=$?
    [ "$status" -eq 1 ] || fail "verify-release.sh exited $status, not 1, on the installer with byte $where changed"
done
say "PASS: verify-release.sh accepts the signed installers and rejects a changed byte"
rm -rf "$work"

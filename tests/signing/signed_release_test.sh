#!/bin/sh
# A signed release, end to end. A throwaway certificate authority signs a
# code-signing certificate; Tarnwick goes through scripts/make-setup signed
# with it twice, from a PKCS#12 file and from a software PKCS#11 token. Each
# time setup.exe, and tarnwick.exe and the uninstaller as its payload
# carries them, verify against that authority, and neither secret shows in
# the build folder or the output. Then scripts/check-release finds the
# token's release to be its sources' build with its signatures, and a copy
# of it with one byte changed not.
#
#   signed_release_test.sh PROJECT_ROOT WORK_DIR
#
# The sources are copied to WORK_DIR/src with their times, so that edits in
# the tree during the run change nothing; the copy is no checkout, so
# SOURCE_DATE_EPOCH gives the time that the commit's would. WORK_DIR/build
# is kept between runs and shared by the three builds. No time-stamping
# service: the test stays off the network. Exits 77 (skipped) without the
# cross compiler.
set -eu
root=$1 work=$2
command -v i686-w64-mingw32-g++-posix >/dev/null 2>&1 || {
    echo "no i686-w64-mingw32-g++-posix: the cross compiler is needed to build setup.exe"
    exit 77
}
fail() { echo "signed_release_test: $*"; exit 1; }
start=$(date +%s)

src="$work/src" keys="$work/keys" out="$work/out"
rm -rf "$src" "$keys" "$out"
mkdir -p "$src" "$keys" "$out"
git -C "$root" ls-files -z --cached --others --exclude-standard |
    tar -C "$root" --null --ignore-failed-read -T - -cf - | tar -C "$src" -xf -
product="$src/product/tarnwick"
export SOURCE_DATE_EPOCH=1700000000

# The authority, a code-signing certificate of its, and the key twice over:
# a PKCS#12 file under a password, and a token under a PIN.
secret() { od -An -N 12 -t x1 /dev/urandom | tr -d ' \n'; }
password=$(secret) pin=$(secret)
printf '%s\n' "$password" >"$keys/password"
printf '%s\n' "$pin" >"$keys/pin"
cat >"$keys/openssl.cnf" <<'EOF'
[req]
distinguished_name = name
[name]
[authority]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[signer]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
EOF
quietly() {
    "$@" >"$work/step.txt" 2>&1 || { cat "$work/step.txt"; fail "failed: $*"; }
}
(cd "$keys"
 quietly openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Throwaway Authority" \
     -config openssl.cnf -extensions authority -keyout ca.key -out ca.pem
 quietly openssl req -new -newkey rsa:2048 -nodes -subj "/CN=Kestrel Loom Software" \
     -config openssl.cnf -keyout signer.key -out signer.csr
 quietly openssl x509 -req -days 2 -in signer.csr -CA ca.pem -CAkey ca.key -set_serial 2 \
     -extfile openssl.cnf -extensions signer -out signer.pem
 quietly openssl pkcs12 -export -in signer.pem -inkey signer.key -certfile ca.pem \
     -passout file:password -out signer.p12
 quietly openssl pkcs8 -topk8 -nocrypt -in signer.key -out signer.pk8)
mkdir "$keys/tokens"
printf 'directories.tokendir = %s\nobjectstore.backend = file\n' "$keys/tokens" >"$keys/softhsm2.conf"
export SOFTHSM2_CONF="$keys/softhsm2.conf"
quietly softhsm2-util --init-token --free --label tarnwick-test --pin "$pin" --so-pin "$(secret)"
quietly softhsm2-util --import "$keys/signer.pk8" --token tarnwick-test --label signing --id 01 --pin "$pin"

# make_release NAME OPTION...: Tarnwick signed with the options, in
# $out/NAME; then what it signed verifies against the authority.
make_release() {
    name=$1
    shift
    status=0
    "$src/scripts/make-setup" --build-dir "$work/build" --jobs 2 "$@" \
        "$product" "$out/$name/TarnwickSetup.exe" >"$work/$name.txt" 2>&1 || status=$?
    [ "$status" -eq 0 ] || { cat "$work/$name.txt"; fail "$name: make-setup ended with $status"; }
    release="$out/$name/TarnwickSetup.exe"
    [ "$(cd "$release.signatures" && echo *)" = "kluninst.exe.pem setup.exe.pem tarnwick.exe.pem" ] ||
        fail "$name: signatures $(cd "$release.signatures" && echo *)"
    # The payload's programs, inflated from the chunks that setup.exe holds.
    mkdir "$out/$name/payload"
    python3 - "$work/build/products/tarnwick/generated" "$release" "$out/$name/payload" <<'EOF' ||
import re, sys, zlib
generated, setup, folder = sys.argv[1:]
table = open(generated + "/payload_table.cpp").read()
chunks = open(generated + "/payload_chunks.bin", "rb").read()
if chunks not in open(setup, "rb").read():
    sys.exit(setup + " does not hold the payload's chunks")
names = re.findall(r'"([^"]*)"', table.split("fileNames[] = {")[1].split("};")[0])
at = 0
for i, name in enumerate(names):
    lengths = table.split("fileChunkLengths%d[] = {" % i)[1].split("};")[0]
    data = b""
    for length in map(int, re.findall(r"\d+", lengths)):
        data += zlib.decompress(chunks[at:at + length])
        at += length
    if name.endswith(".exe"):
        open(folder + "/" + name, "wb").write(data)
EOF
        fail "$name: the payload could not be read"
    for program in "$release" "$out/$name/payload/tarnwick.exe" "$out/$name/payload/kluninst.exe"; do
        osslsigncode verify -CAfile "$keys/ca.pem" -in "$program" >"$work/verify.txt" 2>&1 ||
            { cat "$work/verify.txt"; fail "$name: $program does not verify"; }
    done
}
make_release pkcs12 --sign-pkcs12 "$keys/signer.p12" --sign-password-file "$keys/password"
make_release token --sign-pkcs11-module /usr/lib/softhsm/libsofthsm2.so \
    --sign-key "pkcs11:token=tarnwick-test;object=signing" --sign-cert "$keys/signer.pem" \
    --sign-password-file "$keys/pin"
for found in $(grep -rlF -e "$password" -e "$pin" "$work/build" "$out" "$work"/*.txt); do
    fail "a secret shows in $found"
done

check() {
    status=0
    "$src/scripts/check-release" --build-dir "$work/build" --jobs 2 "$product" "$1" \
        >"$work/check.txt" 2>&1 || status=$?
}
check "$out/token/TarnwickSetup.exe"
[ "$status" -eq 0 ] || { cat "$work/check.txt"; fail "check-release refused the release: $status"; }

mkdir "$out/changed"
cp -R "$out/token/TarnwickSetup.exe" "$out/token/TarnwickSetup.exe.signatures" "$out/changed"
changed="$out/changed/TarnwickSetup.exe"
at=$(($(wc -c <"$changed") / 2))
byte=$(od -An -t u1 -j "$at" -N 1 "$changed" | tr -d ' ')
printf "\\$(printf %o $(((byte + 1) % 256)))" | dd of="$changed" bs=1 seek="$at" conv=notrunc 2>/dev/null
check "$changed"
[ "$status" -eq 1 ] || { cat "$work/check.txt"; fail "check-release took a changed release: $status"; }
grep -q "^check-release: $changed differs .* at 0x$(printf %x "$at") (1 in all)" "$work/check.txt" ||
    { cat "$work/check.txt"; fail "check-release did not name the changed byte"; }

echo "signed_release_test: passed in $(($(date +%s) - start)) s ($(osslsigncode --version | head -n 1 | sed 's/,.*//'))"

#!/usr/bin/env bash
# A signed build, made with a throwaway certificate authority and code-signing certificate,
# and its setup.exe run under Wine. Checks with osslsigncode against that authority that:
#   setup.exe verifies (and does not against another authority);
#   the UnzDll.dll that the signed setup writes into Templates verifies, held there while
#   staged, and so does the Zav.exe it installs;
#   the signed setup installs the product as the unsigned one does: the tree, the seven links,
#   the four registry values, nothing left in Templates, and it ends with exit code 0.
#   signed_build.sh SOURCE_DIR BUILD_DIR TOOLCHAIN_FILE ARCH
# BUILD_DIR is the preset's build tree: its Wine template and end-to-end driver are used.
# The signed build lives in BUILD_DIR/signed, the keys only while the test runs.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source_dir="$1" main_build="$2" toolchain="$3" arch="$4"
# shellcheck source=../support/wine-host.sh
. "$here/../support/wine-host.sh"
zav_require_wine_host "$arch"

work="$main_build/signed"
keys="$work/keys"
build="$work/build"
session="$work/session"
log="$work/log.txt"
mkdir -p "$work"
cleanup() {
    "$here/../support/wine-session.sh" stop "$session" || true
    rm -rf "$keys"
}
trap cleanup EXIT

failed=0
fail() { echo "signed_build: $*" >&2; failed=1; }
run_logged() { "$@" >"$log" 2>&1 || { cat "$log" >&2; echo "signed_build: failed: $*" >&2; exit 1; }; }

# The authority, a code-signing certificate it issued (two days valid), and a stranger's
# authority that must not vouch for anything here.
rm -rf "$keys"; mkdir -p "$keys"
(
    cd "$keys"
    umask 077
    openssl rand -hex 16 >password.txt
    for ca in ca stranger; do
        openssl req -x509 -newkey rsa:2048 -nodes -keyout "$ca.key" -out "$ca.pem" -days 2 \
            -subj "/CN=ZAV throwaway $ca" -addext "basicConstraints=critical,CA:TRUE" \
            -addext "keyUsage=critical,keyCertSign,cRLSign"
    done
    openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/CN=ZAV throwaway signer"
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
    openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile signer.ext \
        -out signer.pem
    openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -out signer.p12 \
        -passout file:password.txt
) >"$log" 2>&1 || { cat "$log" >&2; echo "signed_build: openssl could not make the keys" >&2; exit 1; }

# Only the shipped modules: setup.exe brings UnzDll.dll, Zav.exe and zav.zip with it.
run_logged cmake -S "$source_dir" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DZAV_SIGN_PKCS12="$keys/signer.p12" -DZAV_SIGN_PASSWORD_FILE="$keys/password.txt"
run_logged cmake --build "$build" --target setup -j 2

verifies() { osslsigncode verify -CAfile "$2" -in "$1" >"$log" 2>&1; }
verify() {
    verifies "$1" "$keys/ca.pem" || { cat "$log" >&2; fail "$2 does not verify against the throwaway authority"; }
}
verify "$build/setup.exe" setup.exe
if verifies "$build/setup.exe" "$keys/stranger.pem"; then
    fail "setup.exe verifies against an authority that never signed it"
fi

# The signed setup under Wine, in a session of its own, driven by the end-to-end driver:
# stopped as soon as staging has written zav.zip (after UnzDll.dll, which is then whole),
# held while the staged library is looked at, then let go to the end of the installation.
"$here/../support/wine-session.sh" start "$session" "$main_build/wine/template" "$arch"
# shellcheck disable=SC1091
. "$session/env"
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }
templates="$(find "$WINEPREFIX/drive_c/users" -type d -name Templates | head -n1)"
hold="$work/hold"
rm -f "$hold"
"$ZAV_WINE" "$main_build/tests/zavdriver.exe" "$(winpath "$build/setup.exe")" start to-progress \
    "install-until:$(winpath "$templates/zav.zip")" "hold:$(winpath "$hold")" resume close:Zav.exe \
    </dev/null >"$work/driver.txt" 2>&1 &
driver=$!
for _ in $(seq 1 1200); do
    [ -e "$hold" ] || ! kill -0 "$driver" 2>/dev/null && break
    sleep 0.1
done
if [ -e "$hold" ]; then
    verify "$templates/UnzDll.dll" "the UnzDll.dll staged in Templates"
    rm -f "$hold"
else
    fail "the setup was never held with its files staged"
fi
wait "$driver" || fail "the driver failed: $(tr -d '\r' <"$work/driver.txt")"
grep -qx 'exit_code 0' < <(tr -d '\r' <"$work/driver.txt") || fail "the signed setup did not end with exit code 0"

installed="$WINEPREFIX/drive_c/Program Files/ZAV 1.00 beta 8"
verify "$installed/Zav.exe" "the installed Zav.exe"
# The product tree the signed archive holds, signed launcher included.
rm -rf "$work/tree"; mkdir -p "$work/tree"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$build/zav.zip" "$work/tree"
# shellcheck source=../support/installed-product.sh
. "$here/../support/installed-product.sh"
zav_check_installed "the signed setup" "$work/tree/ZAV 1.00 beta 8" || failed=1

[ "$failed" = 0 ] && echo "signed_build: setup.exe, the staged UnzDll.dll and the installed Zav.exe verify; installed whole"
exit "$failed"

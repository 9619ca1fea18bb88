#!/bin/sh
# Signs one module in place with Authenticode (SHA-256), for zav_sign (Signing.cmake).
#   sign.sh OSSLSIGNCODE PKCS12 PASSWORD_FILE DESCRIPTION FILE [TIMESTAMP_URL]
# A failed signing removes FILE: the next build links it again, instead of taking an
# unsigned file for a signed one.
set -eu
osslsigncode="$1" pkcs12="$2" password_file="$3" description="$4" file="$5" url="${6:-}"
signed="$file.signing"
rm -f "$signed"
set -- sign -pkcs12 "$pkcs12" -readpass "$password_file" -h sha256 -n "$description" \
    -in "$file" -out "$signed"
[ -z "$url" ] || set -- "$@" -ts "$url"
if ! "$osslsigncode" "$@" >"$signed.log" 2>&1; then
    cat "$signed.log" >&2
    rm -f "$file" "$signed" "$signed.log"
    exit 1
fi
rm -f "$signed.log"
mv "$signed" "$file"

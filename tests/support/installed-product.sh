# shellcheck shell=bash
# Sourced by the scripts that run an installation under Wine from outside (the signed-build
# test, the peer benchmark) and then look at what it left, from the Unix side and through
# Wine's reg.exe. Expects a Wine session's environment (WINEPREFIX, ZAV_WINE).
#   zav_check_installed WHO TREE   the product folder under Program Files equals TREE, the
#                                  seven links and the four registry values are there, and
#                                  nothing is left in the Templates folder; says what is wrong
#                                  on stderr and returns 1
zav_product="ZAV 1.00 beta 8"

zav_check_installed() {
    local who="$1" tree="$2" users="$WINEPREFIX/drive_c/users" links values link wrong=0
    local installed="$WINEPREFIX/drive_c/Program Files/$zav_product"
    diff -r "$tree" "$installed" >/dev/null || { echo "$who: the installed tree differs" >&2; wrong=1; }
    links="$(cd "$users" && find . -name '*.lnk' -path "*$zav_product*" | sort)"
    for link in "Desktop/$zav_product.lnk" "Start Menu/$zav_product.lnk" \
        "Programs/$zav_product/$zav_product.lnk" "Programs/$zav_product/Visit ZAV Web site.lnk" \
        "Programs/$zav_product/Vhat's new.lnk" "Programs/$zav_product/History.lnk" \
        "Programs/$zav_product/Manual.lnk"; do
        grep -qF "/$link" <<<"$links" || { echo "$who: no link $link" >&2; wrong=1; }
    done
    [ "$(grep -c . <<<"$links")" = 7 ] || { echo "$who: not seven links" >&2; wrong=1; }
    values="$("$ZAV_WINE" reg query "HKCU\\Software\\ZAV\\$zav_product\\Directories" 2>/dev/null | tr -d '\r')"
    grep -qE "Program Path +REG_SZ +C:\\\\Program Files\\\\$zav_product\$" <<<"$values" ||
        { echo "$who: no Program Path" >&2; wrong=1; }
    grep -qE 'Prev Cfg +REG_SZ +no$' <<<"$values" || { echo "$who: no Prev Cfg" >&2; wrong=1; }
    grep -qE 'Version +REG_DWORD +0x3f6$' <<<"$values" || { echo "$who: no Version" >&2; wrong=1; }
    grep -qE 'ShowReadme +REG_DWORD +0x1$' <<<"$values" || { echo "$who: no ShowReadme" >&2; wrong=1; }
    [ -z "$(find "$users" -path '*Templates*' \( -name UnzDll.dll -o -name zav.zip -o -name "$zav_product" \))" ] ||
        { echo "$who: staged files left in Templates" >&2; wrong=1; }
    return "$wrong"
}

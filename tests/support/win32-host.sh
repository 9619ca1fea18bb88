#!/usr/bin/env bash
# Sourced by the Wine scripts. Wine runs a 32-bit Windows program as a 32-bit Linux process,
# and some kernels run no 32-bit code at all (ia32 emulation switched off, as on some virtual
# machines). There the Windows tests cannot run: they report themselves skipped (exit 77,
# CTest's SKIP_RETURN_CODE), never passed. Emulating the 32-bit loader (qemu-user) is far too
# slow and flaky for a routine run, so a host that would do that counts as unable too, unless
# ZAV_ALLOW_EMULATED_WINE=1 asks for such a run on purpose.
zav_win32_skip=77

zav_win32_host_problem() {
    if [ "${ZAV_ALLOW_EMULATED_WINE:-0}" != 1 ] && zav_win32_emulated; then
        echo "32-bit x86 programs run here only under qemu-user emulation"
    elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
        echo "this kernel runs no 32-bit x86 code (ia32 emulation is off), so Wine cannot start"
    fi
}

zav_require_win32_host() {
    local problem
    problem="$(zav_win32_host_problem)"
    if [ -n "$problem" ]; then
        echo "SKIPPED: $problem; the Windows tests were built but not run" >&2
        exit "$zav_win32_skip"
    fi
}

# Whether this run goes through qemu-user emulation (asked for with ZAV_ALLOW_EMULATED_WINE=1).
zav_win32_emulated() {
    [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386
}

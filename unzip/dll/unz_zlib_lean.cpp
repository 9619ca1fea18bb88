// The DLL links only the inflating part of zlib (see CMakeLists.txt). Raw
// deflate, as ZIP stores it, carries no Adler-32, so inflate never calls
// this; it is here, small and correct, so that zlib's adler32.o stays out.
#include <zlib.h>

extern "C" uLong ZEXPORT adler32(uLong adler, const Bytef* buf, uInt len) {
    constexpr uLong kBase = 65521;
    if (buf == Z_NULL) {
        return 1;
    }
    uLong a = adler & 0xFFFF;
    uLong b = (adler >> 16) & 0xFFFF;
    while (len-- > 0) {
        a = (a + *buf++) % kBase;
        b = (b + a) % kBase;
    }
    return (b << 16) | a;
}

#include "shell/TextPath.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstring>

#include "shell/Text.h"

namespace text {

bool AppendPath(char* dst, std::size_t capacity, const char* more)
{
    // PathAppendA works in a MAX_PATH buffer; check the room first so it can neither
    // overrun a smaller buffer nor fail half-way in a larger one.
    std::size_t used = Length(dst, capacity);
    std::size_t extra = more ? std::strlen(more) : 0;
    std::size_t limit = capacity < MAX_PATH ? capacity : MAX_PATH;
    if (used >= limit || used + 1 + extra >= limit) return false;
    char work[MAX_PATH];
    std::memcpy(work, dst, used + 1);
    if (!PathAppendA(work, more ? more : "")) return false;
    return Copy(dst, capacity, work);
}

} // namespace text

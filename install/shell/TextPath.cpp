#include "shell/TextPath.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstring>
#include <cwchar>

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

AnsiPath ToAnsiPath(const wchar_t* wide, char* dst, std::size_t capacity)
{
    if (capacity == 0) return AnsiPath::TooLong;
    dst[0] = '\0';
    const std::size_t limit = capacity < MAX_PATH ? capacity : MAX_PATH;
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return AnsiPath::Unspellable;
    if (static_cast<std::size_t>(bytes) > limit) return AnsiPath::TooLong;
    WideCharToMultiByte(CP_ACP, 0, wide, -1, dst, bytes, nullptr, nullptr);
    // Back again: whatever the code page replaced no longer reads as the same path. A code page
    // spends at least one byte on each UTF-16 unit, so MAX_PATH units hold the way back.
    wchar_t back[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, dst, -1, back, MAX_PATH) || std::wcscmp(back, wide) != 0) {
        dst[0] = '\0';
        return AnsiPath::Unspellable;
    }
    return AnsiPath::Whole;
}

} // namespace text

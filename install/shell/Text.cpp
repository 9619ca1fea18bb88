#include "shell/Text.h"

namespace text {

bool Copy(char* dst, std::size_t capacity, const char* src)
{
    if (capacity == 0) return false;
    if (!src) src = "";
    std::size_t length = std::strlen(src);
    bool fits = length < capacity;
    std::size_t count = fits ? length : capacity - 1;
    std::memmove(dst, src, count);
    dst[count] = '\0';
    return fits;
}

std::size_t Length(const char* src, std::size_t capacity)
{
    const void* end = std::memchr(src, '\0', capacity);
    return end ? static_cast<std::size_t>(static_cast<const char*>(end) - src) : capacity;
}

bool Append(char* dst, std::size_t capacity, const char* src)
{
    if (capacity == 0) return false;
    std::size_t used = Length(dst, capacity);
    if (used == capacity) {
        dst[capacity - 1] = '\0';
        return false;
    }
    return Copy(dst + used, capacity - used, src);
}

bool FormatV(char* dst, std::size_t capacity, const char* format, std::va_list args)
{
    if (capacity == 0) return false;
    int written = std::vsnprintf(dst, capacity, format, args);
    if (written < 0) {
        dst[0] = '\0';
        return false;
    }
    return static_cast<std::size_t>(written) < capacity;
}

bool Format(char* dst, std::size_t capacity, const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    bool ok = FormatV(dst, capacity, format, args);
    va_end(args);
    return ok;
}

bool DoubleNulTerminated(char* dst, std::size_t capacity, const char* src)
{
    std::size_t length = src ? std::strlen(src) : 0;
    if (capacity < 2 || length + 2 > capacity) {
        if (capacity >= 2) dst[0] = dst[1] = '\0';
        return false;
    }
    std::memcpy(dst, src, length);
    dst[length] = '\0';
    dst[length + 1] = '\0';
    return true;
}

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

} // namespace

bool IsFullPath(const char* path)
{
    if (IsAsciiLetter(path[0]) && path[1] == ':' && IsSeparator(path[2])) return true;
    return IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] != '\0' && path[2] != '?' &&
           path[2] != '.' && !IsSeparator(path[2]);
}

} // namespace text

// Bounded text helpers: each takes the destination array itself, always terminates it,
// and reports whether the whole text fitted. No caller ever writes past a buffer. Portable:
// the path helper that needs the shell lives in TextPath.h.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace text {

// Copies src (nullptr counts as empty) into dst[0..capacity). False when it was cut.
bool Copy(char* dst, std::size_t capacity, const char* src);

// Appends src to the text in dst. False when it was cut (dst then holds what fitted).
bool Append(char* dst, std::size_t capacity, const char* src);

// printf-style formatting, bounded. False when the text was cut or the format failed.
bool Format(char* dst, std::size_t capacity, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
bool FormatV(char* dst, std::size_t capacity, const char* format, std::va_list args);

// Writes the text followed by a second NUL, the list form the shell's file operations take.
// False (and an empty list) when the text and both NULs do not fit.
bool DoubleNulTerminated(char* dst, std::size_t capacity, const char* src);

// Length of a text that may lack its NUL within capacity.
std::size_t Length(const char* src, std::size_t capacity);

// "X:\..." or "\\server\...": a path that names one file whatever the current drive,
// directory and search order are. Not "\folder", "X:folder", nor the device forms
// "\\?\..." and "\\.\...".
bool IsFullPath(const char* path);

template <std::size_t N>
bool Copy(char (&dst)[N], const char* src) { return Copy(dst, N, src); }

template <std::size_t N>
bool Append(char (&dst)[N], const char* src) { return Append(dst, N, src); }

template <std::size_t N, typename... Args>
bool Format(char (&dst)[N], const char* format, Args... args)
{
    return Format(dst, N, format, args...);
}

template <std::size_t N>
bool DoubleNulTerminated(char (&dst)[N], const char* src) { return DoubleNulTerminated(dst, N, src); }

} // namespace text

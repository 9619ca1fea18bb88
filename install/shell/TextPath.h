// The bounded path helper of the text helpers; apart from them because it needs the shell.
#pragma once

#include <cstddef>

namespace text {

// Appends a path element with one backslash between (as PathAppendA does), bounded both by
// the buffer and by MAX_PATH. On failure dst is left unchanged.
bool AppendPath(char* dst, std::size_t capacity, const char* more);

template <std::size_t N>
bool AppendPath(char (&dst)[N], const char* more) { return AppendPath(dst, N, more); }

// How a path the platform gives in UTF-16 went into the process's ANSI code page.
enum class AnsiPath {
    Whole,        // every letter, NUL included, within the buffer and MAX_PATH
    TooLong,      // MAX_PATH counts bytes, and a letter takes up to 4 of them in UTF-8
    Unspellable,  // the code page lacks a letter: "?" or a look-alike would name another file
};

// Converts a wide path into dst, never cut and never with a letter replaced; dst is empty
// unless the result is Whole.
AnsiPath ToAnsiPath(const wchar_t* wide, char* dst, std::size_t capacity);

template <std::size_t N>
AnsiPath ToAnsiPath(const wchar_t* wide, char (&dst)[N]) { return ToAnsiPath(wide, dst, N); }

} // namespace text

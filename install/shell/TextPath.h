// The bounded path helper of the text helpers; apart from them because it needs the shell.
#pragma once

#include <cstddef>

namespace text {

// Appends a path element with one backslash between (as PathAppendA does), bounded both by
// the buffer and by MAX_PATH. On failure dst is left unchanged.
bool AppendPath(char* dst, std::size_t capacity, const char* more);

template <std::size_t N>
bool AppendPath(char (&dst)[N], const char* more) { return AppendPath(dst, N, more); }

} // namespace text

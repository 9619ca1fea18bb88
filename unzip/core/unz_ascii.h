// ASCII case rules, shared by the core and the DLL. Entry names are ASCII
// only, and Windows compares them without regard to case: these compare
// them the same way, whatever the caller's locale.
#pragma once

#include <algorithm>
#include <string_view>

namespace unz {

constexpr char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

inline bool lessNoCase(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](char x, char y) { return asciiLower(x) < asciiLower(y); });
}

}  // namespace unz

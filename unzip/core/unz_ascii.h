// ASCII case rules of the core: Windows compares names without regard to
// case, and these compare ASCII letters the same way, whatever the locale.
// Other letters keep their case here; a clash among them is found by the
// file system when the DLL writes into its temporary folder.
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

}  // namespace unz

// Entry name policy. A name is decoded as the archive declares it (UTF-8
// when flag bit 11 is set, code page 437 otherwise) and accepted only if it
// can mean exactly one relative path on Windows, so the platform layer never
// has to interpret it: '/' as the only separator, no control or reserved
// character, no component that Windows would rewrite (trailing dot or
// space) or map to a device. The checked name is handed on in UTF-8.
#include "unz_ascii.h"
#include "unz_core.h"

#include <array>
#include <cstring>

namespace unz {
namespace {

// The upper half of code page 437 (the original IBM PC set), which names
// without the UTF-8 flag use; the lower half is ASCII.
constexpr std::array<char16_t, 128> kCp437High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

constexpr char32_t kInvalid = 0xFFFFFFFF;

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The code point at pos, advancing pos past it; kInvalid for anything but
// the shortest form of a scalar value (no overlong forms, no surrogates),
// so that no two byte sequences can mean the same name.
char32_t decodeUtf8(std::string_view s, std::size_t& pos) {
    const unsigned char lead = static_cast<unsigned char>(s[pos++]);
    if (lead < 0x80) {
        return lead;
    }
    // The lead byte gives the length; below each length's least value the
    // same character has a shorter form.
    std::size_t more = 0;
    char32_t cp = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        more = 1;
        cp = lead & 0x1F;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        more = 2;
        cp = lead & 0x0F;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        more = 3;
        cp = lead & 0x07;
        least = 0x10000;
    } else {
        return kInvalid;
    }
    for (; more > 0; --more) {
        if (pos == s.size() || !isContinuation(static_cast<unsigned char>(s[pos]))) {
            return kInvalid;
        }
        cp = (cp << 6) | (static_cast<unsigned char>(s[pos++]) & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return kInvalid;
    }
    return cp;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        // Code page 437 reaches no further than the BMP; valid UTF-8 input
        // is copied as it is and never comes here.
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isForbiddenChar(char32_t c) {
    // C0 controls, DEL and C1 controls: no file name holds them whole.
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
        return true;
    }
    // Characters Windows reserves; ':' also covers drive letters and streams.
    static constexpr char kReserved[] = "\\:*?\"<>|";
    return c < 0x80 && std::memchr(kReserved, static_cast<int>(c), sizeof kReserved - 1) != nullptr;
}

// Decodes raw into UTF-8, refusing what cannot be decoded or is forbidden.
bool decodeName(std::string_view raw, NameEncoding encoding, std::string& out) {
    out.clear();
    out.reserve(raw.size());
    for (std::size_t pos = 0; pos < raw.size();) {
        const std::size_t start = pos;
        char32_t c = 0;
        if (encoding == NameEncoding::Utf8) {
            c = decodeUtf8(raw, pos);
        } else {
            const unsigned char byte = static_cast<unsigned char>(raw[pos++]);
            c = byte < 0x80 ? byte : kCp437High[byte - 0x80];
        }
        if (c == kInvalid || isForbiddenChar(c)) {
            return false;
        }
        if (encoding == NameEncoding::Utf8) {
            out.append(raw.data() + start, pos - start);
        } else {
            appendUtf8(out, c);
        }
    }
    return true;
}

// Windows opens a device for these base names whatever the extension; COM
// and LPT also with a superscript digit (¹ ² ³, as code page 437 can spell ²).
bool isDeviceName(std::string_view component) {
    std::string_view base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') {
        base.remove_suffix(1);
    }
    static constexpr std::array<std::string_view, 7> kDevices = {
        "CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
    for (std::string_view device : kDevices) {
        if (equalsNoCase(base, device)) {
            return true;
        }
    }
    if (base.size() < 4) {
        return false;
    }
    const std::string_view stem = base.substr(0, 3);
    if (!equalsNoCase(stem, "COM") && !equalsNoCase(stem, "LPT")) {
        return false;
    }
    const std::string_view digit = base.substr(3);
    static constexpr std::array<std::string_view, 3> kSuperscripts = {"\xC2\xB9", "\xC2\xB2",
                                                                      "\xC2\xB3"};
    for (std::string_view superscript : kSuperscripts) {
        if (digit == superscript) {
            return true;
        }
    }
    return digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9';
}

// Length as Windows counts it: UTF-16 units, two for a character past the BMP.
std::size_t utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (char c : utf8) {
        const unsigned char byte = static_cast<unsigned char>(c);
        units += isContinuation(byte) ? 0 : (byte >= 0xF0 ? 2 : 1);
    }
    return units;
}

bool isAcceptableComponent(std::string_view component) {
    if (component.empty() || utf16Length(component) > kMaxComponentLength) {
        return false;
    }
    // Also rules out "." and "..": Windows strips trailing dots and spaces,
    // so such a component would not name what it says.
    char last = component.back();
    if (last == '.' || last == ' ') {
        return false;
    }
    return !isDeviceName(component);
}

}  // namespace

Status checkEntryName(std::string_view raw, NameEncoding encoding, const Limits& limits,
                      bool& isDirectory, std::string& cleaned) {
    if (raw.empty() || raw.size() > limits.maxNameLength) {
        return Status::BadName;
    }
    std::string decoded;
    if (!decodeName(raw, encoding, decoded)) {
        return Status::BadName;
    }
    isDirectory = decoded.back() == '/';
    std::string_view name = decoded;
    if (isDirectory) {
        name.remove_suffix(1);
    }
    // A leading '/' or "//" yields an empty component and is refused there.
    std::size_t start = 0;
    while (true) {
        std::size_t slash = name.find('/', start);
        std::size_t end = (slash == std::string_view::npos) ? name.size() : slash;
        if (!isAcceptableComponent(name.substr(start, end - start))) {
            return Status::BadName;
        }
        if (slash == std::string_view::npos) {
            break;
        }
        start = slash + 1;
    }
    cleaned.assign(name.data(), name.size());
    return Status::Ok;
}

}  // namespace unz

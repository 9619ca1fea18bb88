// Entry name policy. Names are accepted only if they can mean exactly one
// relative path on Windows, so the platform layer never has to interpret
// them: printable ASCII only, '/' as the only separator, no component that
// Windows would rewrite (trailing dot or space) or map to a device.
#include "unz_ascii.h"
#include "unz_core.h"

#include <array>
#include <cstring>

namespace unz {
namespace {

bool isForbiddenChar(unsigned char c) {
    // Below 0x20: control characters. Above 0x7E: DEL and non-ASCII, whose
    // meaning would depend on the caller's code page.
    if (c < 0x20 || c > 0x7E) {
        return true;
    }
    // Characters Windows reserves; ':' also covers drive letters and streams.
    static constexpr char kReserved[] = "\\:*?\"<>|";
    return std::memchr(kReserved, c, sizeof kReserved - 1) != nullptr;
}

// Windows opens a device for these base names whatever the extension.
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
    if (base.size() == 4 && base[3] >= '0' && base[3] <= '9') {
        std::string_view stem = base.substr(0, 3);
        if (equalsNoCase(stem, "COM") || equalsNoCase(stem, "LPT")) {
            return true;
        }
    }
    return false;
}

bool isAcceptableComponent(std::string_view component) {
    if (component.empty() || component.size() > kMaxComponentLength) {
        return false;
    }
    for (char c : component) {
        if (isForbiddenChar(static_cast<unsigned char>(c))) {
            return false;
        }
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

Status checkEntryName(std::string_view raw, const Limits& limits,
                      bool& isDirectory, std::string& cleaned) {
    if (raw.empty() || raw.size() > limits.maxNameLength) {
        return Status::BadName;
    }
    isDirectory = raw.back() == '/';
    std::string_view name = raw;
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

// Coverage-guided fuzz target for the portable unzip core (libFuzzer, run
// under ASan and UBSan). Besides the sanitizers it traps when the core hands
// the sink a path that could land outside the target, writes past a file's
// declared size, or writes more than the total output limit.
#include "unzip_memory_sink.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

// Length of the well-formed UTF-8 sequence at the start of s, or 0. Only
// its shape counts here: a sequence of this shape never holds an ASCII byte.
std::size_t sequenceLength(std::string_view s) {
    const unsigned char lead = static_cast<unsigned char>(s[0]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2
                               : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (length == 0 || length > s.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

// Independent of the core's own name check on purpose: this is the oracle.
// The sink gets UTF-8: whole sequences, and no ASCII control, '\' or ':'.
bool staysInside(std::string_view path) {
    if (path.empty()) {
        return false;
    }
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) {
            slash = path.size();
        }
        const std::string_view part = path.substr(start, slash - start);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        for (std::size_t i = 0; i < part.size();) {
            const unsigned char c = static_cast<unsigned char>(part[i]);
            const std::size_t length = sequenceLength(part.substr(i));
            if (length == 0 || c < 0x20 || c == 0x7F || c == '\\' || c == ':') {
                return false;
            }
            i += length;
        }
        start = slash + 1;
    }
    return true;
}

// Traps at the first path that could leave the target, before anything
// of it would be written.
class CheckingSink final : public unztest::MemorySink {
public:
    using MemorySink::MemorySink;
    bool createDirectory(const std::string& path) override {
        requireInside(path);
        return MemorySink::createDirectory(path);
    }
    bool createFile(const unz::FileInfo& info) override {
        requireInside(info.path);
        return MemorySink::createFile(info);
    }

private:
    static void requireInside(const std::string& path) {
        if (!staysInside(path)) {
            std::abort();
        }
    }
};

// Small enough that a bomb is refused quickly, large enough for the seeds.
constexpr std::uint64_t kMaxOutput = 16u << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    unz::Limits limits;
    limits.maxTotalOutput = kMaxOutput;
    // The sink's own cap lies above the limit: reaching it is a fault of the core.
    CheckingSink sink(2 * kMaxOutput);
    unz::MemorySource source(data, size);
    const unz::Result result = unz::expandArchive(source, sink, limits);

    const bool sound = !sink.capHit && !sink.wroteBeyondDeclared && !sink.fileOpen() &&
                       sink.totalBytes() <= kMaxOutput &&
                       result.bytesWritten == sink.totalBytes();
    if (!sound) {
        std::abort();
    }
    return 0;
}

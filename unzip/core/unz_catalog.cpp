// Reads and checks the archive's directory before any data is expanded.
// Everything read from the archive is treated as hostile: each length is
// checked against what is left of the enclosing structure before it is
// used, and nothing is allocated by a size taken from the archive beyond
// the fixed bounds of a 16-bit length field.
#include "unz_core.h"
#include "unz_format.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace unz {
namespace {

std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string foldCase(const std::string& s) {
    std::string folded = s;
    std::transform(folded.begin(), folded.end(), folded.begin(), asciiLower);
    return folded;
}

// True if an extra field block carries a ZIP64 record. Trailing bytes too
// short to form a header are ignored, as several writers pad this area.
bool hasZip64Extra(const std::uint8_t* extra, std::size_t len) {
    std::size_t pos = 0;
    while (len - pos >= fmt::kExtraHeaderSize) {
        std::uint16_t id = le16(extra + pos);
        std::uint16_t size = le16(extra + pos + 2);
        if (id == fmt::kExtraZip64) {
            return true;
        }
        pos += fmt::kExtraHeaderSize;
        if (size > len - pos) {
            break;
        }
        pos += size;
    }
    return false;
}

Result fail(Status status, long entry = -1) {
    Result result;
    result.status = status;
    result.failedEntry = entry;
    return result;
}

struct RawEntry {
    std::uint16_t rawNameLength = 0;
};

struct NameSlot {
    std::string spelling;
    bool isDirectory = false;
};

// Registers a name and its parent folders; a folder must always be spelled
// the same way, and a file name may be used only once, case-insensitively,
// because Windows would merge them.
class NameTable {
public:
    Status addEntry(const std::string& name, bool isDirectory) {
        for (std::size_t slash = name.find('/'); slash != std::string::npos;
             slash = name.find('/', slash + 1)) {
            Status status = add(name.substr(0, slash), true, true);
            if (status != Status::Ok) {
                return status;
            }
        }
        return add(name, isDirectory, isDirectory);
    }

    std::size_t directoryCount() const { return directoryCount_; }

    void collectDirectories(std::vector<std::string>& out) const {
        out.reserve(directoryCount_);
        // Folded keys sort every parent before its children.
        for (const auto& item : slots_) {
            if (item.second.isDirectory) {
                out.push_back(item.second.spelling);
            }
        }
    }

private:
    Status add(const std::string& name, bool isDirectory, bool mayRepeat) {
        auto inserted = slots_.emplace(foldCase(name), NameSlot{name, isDirectory});
        if (inserted.second) {
            if (isDirectory) {
                ++directoryCount_;
            }
            return Status::Ok;
        }
        const NameSlot& slot = inserted.first->second;
        if (mayRepeat && slot.isDirectory && slot.spelling == name) {
            return Status::Ok;
        }
        return Status::DuplicateName;
    }

    std::map<std::string, NameSlot> slots_;
    std::size_t directoryCount_ = 0;
};

class CatalogReader {
public:
    CatalogReader(Source& source, const Limits& limits, Catalog& catalog)
        : source_(source), limits_(limits), catalog_(catalog) {}

    Result run() {
        Status status = findEnd();
        if (status != Status::Ok) {
            return fail(status);
        }
        Result result = readCentral();
        if (result.status != Status::Ok) {
            return result;
        }
        result = readLocals();
        if (result.status != Status::Ok) {
            return result;
        }
        return checkOverlaps();
    }

private:
    Status readExact(std::uint64_t offset, void* buffer, std::size_t len) {
        std::uint64_t size = source_.size();
        if (offset > size || len > size - offset) {
            return Status::Truncated;
        }
        if (len == 0) {
            return Status::Ok;
        }
        return source_.readAt(offset, buffer, len) ? Status::Ok : Status::ReadFailed;
    }

    Status findEnd() {
        const std::uint64_t size = source_.size();
        if (size < fmt::kEndSize) {
            return Status::NotZip;
        }
        const std::size_t tailLen = static_cast<std::size_t>(
            std::min<std::uint64_t>(size, fmt::kEndSize + fmt::kMaxCommentLength));
        ByteBuffer tail(tailLen);
        if (!tail.ok()) {
            return Status::OutOfMemory;
        }
        Status status = readExact(size - tailLen, tail.data(), tailLen);
        if (status != Status::Ok) {
            return status;
        }
        // The record must end exactly at the end of the archive, comment
        // included; this skips signature bytes that sit inside a comment.
        std::size_t found = tailLen;
        for (std::size_t i = tailLen - fmt::kEndSize + 1; i-- > 0;) {
            if (le32(&tail[i]) == fmt::kSigEnd &&
                i + fmt::kEndSize + le16(&tail[i + 20]) == tailLen) {
                found = i;
                break;
            }
        }
        if (found == tailLen) {
            return Status::NotZip;
        }
        const std::uint8_t* end = &tail[found];
        endOffset_ = size - tailLen + found;

        const std::uint16_t disk = le16(end + 4);
        const std::uint16_t centralDisk = le16(end + 6);
        const std::uint16_t entriesOnDisk = le16(end + 8);
        const std::uint16_t entries = le16(end + 10);
        const std::uint32_t centralSize = le32(end + 12);
        const std::uint32_t centralOffset = le32(end + 16);

        if (entriesOnDisk == fmt::kMarker16 || entries == fmt::kMarker16 ||
            centralSize == fmt::kMarker32 || centralOffset == fmt::kMarker32 ||
            disk == fmt::kMarker16 || centralDisk == fmt::kMarker16) {
            return Status::Unsupported;
        }
        if (endOffset_ >= fmt::kZip64LocatorSize) {
            std::uint8_t sig[4];
            status = readExact(endOffset_ - fmt::kZip64LocatorSize, sig, sizeof sig);
            if (status != Status::Ok) {
                return status;
            }
            if (le32(sig) == fmt::kSigZip64Locator) {
                return Status::Unsupported;
            }
        }
        if (disk != 0 || centralDisk != 0 || entriesOnDisk != entries) {
            return Status::Unsupported;
        }
        // No leading data (self-extractor stubs) and no gap before the end.
        if (std::uint64_t{centralOffset} + centralSize != endOffset_) {
            return Status::Corrupt;
        }
        if (entries > limits_.maxEntries) {
            return Status::LimitExceeded;
        }
        if (std::uint64_t{entries} * fmt::kCentralSize > centralSize) {
            return Status::Corrupt;
        }
        entryCount_ = entries;
        centralOffset_ = centralOffset;
        return Status::Ok;
    }

    Result readCentral() {
        catalog_.entries.reserve(entryCount_);
        raw_.reserve(entryCount_);
        NameTable names;
        ByteBuffer variable(fmt::kMaxVariableLength);
        if (!variable.ok()) {
            return fail(Status::OutOfMemory);
        }
        std::uint64_t pos = centralOffset_;
        const std::uint64_t centralEnd = endOffset_;

        for (std::uint32_t i = 0; i < entryCount_; ++i) {
            const long index = static_cast<long>(i);
            if (centralEnd - pos < fmt::kCentralSize) {
                return fail(Status::Corrupt, index);
            }
            std::uint8_t h[fmt::kCentralSize];
            Status status = readExact(pos, h, sizeof h);
            if (status != Status::Ok) {
                return fail(status, index);
            }
            if (le32(h) != fmt::kSigCentral) {
                return fail(Status::Corrupt, index);
            }
            Entry e;
            e.flags = le16(h + 8);
            e.method = le16(h + 10);
            e.dosTime = le16(h + 12);
            e.dosDate = le16(h + 14);
            e.crc = le32(h + 16);
            e.compressedSize = le32(h + 20);
            e.uncompressedSize = le32(h + 24);
            const std::uint16_t nameLen = le16(h + 28);
            const std::uint16_t extraLen = le16(h + 30);
            const std::uint16_t commentLen = le16(h + 32);
            const std::uint16_t diskStart = le16(h + 34);
            e.localHeaderOffset = le32(h + 42);

            const std::uint64_t variableLen = std::uint64_t{nameLen} + extraLen + commentLen;
            if (centralEnd - pos - fmt::kCentralSize < variableLen) {
                return fail(Status::Corrupt, index);
            }
            if (nameLen == 0 || nameLen > limits_.maxNameLength) {
                return fail(Status::BadName, index);
            }
            // Name and extra are both bounded by their 16-bit length fields.
            status = readExact(pos + fmt::kCentralSize, variable.data(),
                               std::size_t{nameLen} + extraLen);
            if (status != Status::Ok) {
                return fail(status, index);
            }
            pos += fmt::kCentralSize + variableLen;

            if ((e.flags & (fmt::kFlagEncrypted | fmt::kFlagStrongEncryption |
                            fmt::kFlagMaskedHeaders)) != 0 ||
                e.method == fmt::kMethodAes) {
                return fail(Status::Encrypted, index);
            }
            if (e.method != fmt::kMethodStored && e.method != fmt::kMethodDeflate) {
                return fail(Status::UnsupportedMethod, index);
            }
            if (e.compressedSize == fmt::kMarker32 || e.uncompressedSize == fmt::kMarker32 ||
                e.localHeaderOffset == fmt::kMarker32 || diskStart == fmt::kMarker16 ||
                hasZip64Extra(variable.data() + nameLen, extraLen)) {
                return fail(Status::Unsupported, index);
            }
            if (diskStart != 0) {
                return fail(Status::Unsupported, index);
            }
            const std::string_view rawName(reinterpret_cast<const char*>(variable.data()),
                                           nameLen);
            status = checkEntryName(rawName, limits_, e.isDirectory, e.name);
            if (status != Status::Ok) {
                return fail(status, index);
            }
            if (e.isDirectory && (e.uncompressedSize != 0 || e.crc != 0)) {
                return fail(Status::SizeMismatch, index);
            }
            if (e.method == fmt::kMethodStored && e.compressedSize != e.uncompressedSize) {
                return fail(Status::SizeMismatch, index);
            }
            status = names.addEntry(e.name, e.isDirectory);
            if (status != Status::Ok) {
                return fail(status, index);
            }
            if (names.directoryCount() > limits_.maxDirectories) {
                return fail(Status::LimitExceeded, index);
            }
            catalog_.totalUncompressed += e.uncompressedSize;
            if (catalog_.totalUncompressed > limits_.maxTotalOutput) {
                return fail(Status::LimitExceeded, index);
            }
            raw_.push_back(RawEntry{nameLen});
            catalog_.entries.push_back(std::move(e));
        }
        if (pos != centralEnd) {
            return fail(Status::Corrupt);
        }
        names.collectDirectories(catalog_.directories);
        return Result{};
    }

    Result readLocals() {
        ByteBuffer variable(fmt::kMaxVariableLength);
        if (!variable.ok()) {
            return fail(Status::OutOfMemory);
        }
        for (std::size_t i = 0; i < catalog_.entries.size(); ++i) {
            const long index = static_cast<long>(i);
            Entry& e = catalog_.entries[i];
            // Local headers and data live strictly before the central directory.
            const std::uint64_t limit = centralOffset_;
            if (e.localHeaderOffset > limit || limit - e.localHeaderOffset < fmt::kLocalSize) {
                return fail(Status::Corrupt, index);
            }
            std::uint8_t h[fmt::kLocalSize];
            Status status = readExact(e.localHeaderOffset, h, sizeof h);
            if (status != Status::Ok) {
                return fail(status, index);
            }
            if (le32(h) != fmt::kSigLocal) {
                return fail(Status::Corrupt, index);
            }
            const std::uint16_t flags = le16(h + 6);
            const std::uint16_t method = le16(h + 8);
            const std::uint32_t crc = le32(h + 14);
            const std::uint32_t compressedSize = le32(h + 18);
            const std::uint32_t uncompressedSize = le32(h + 22);
            const std::uint16_t nameLen = le16(h + 26);
            const std::uint16_t extraLen = le16(h + 28);

            if ((flags & fmt::kFlagEncrypted) != 0) {
                return fail(Status::Encrypted, index);
            }
            const std::uint16_t mustAgree = fmt::kFlagDescriptor;
            if (method != e.method || ((flags ^ e.flags) & mustAgree) != 0 ||
                nameLen != raw_[i].rawNameLength) {
                return fail(Status::Corrupt, index);
            }
            const std::uint64_t headerEnd =
                e.localHeaderOffset + fmt::kLocalSize + std::uint64_t{nameLen} + extraLen;
            if (headerEnd > limit) {
                return fail(Status::Corrupt, index);
            }
            status = readExact(e.localHeaderOffset + fmt::kLocalSize, variable.data(),
                               std::size_t{nameLen} + extraLen);
            if (status != Status::Ok) {
                return fail(status, index);
            }
            // Same bytes as the central name: the checked name plus its '/'.
            if (std::memcmp(variable.data(), e.name.data(), e.name.size()) != 0 ||
                (e.isDirectory && variable[e.name.size()] != '/')) {
                return fail(Status::Corrupt, index);
            }
            if (hasZip64Extra(variable.data() + nameLen, extraLen)) {
                return fail(Status::Unsupported, index);
            }
            const bool hasDescriptor = (flags & fmt::kFlagDescriptor) != 0;
            if (!hasDescriptor) {
                if (compressedSize != e.compressedSize ||
                    uncompressedSize != e.uncompressedSize) {
                    return fail(Status::SizeMismatch, index);
                }
                if (crc != e.crc) {
                    return fail(Status::CrcMismatch, index);
                }
            } else {
                // Streaming writers leave these zero; if set they must agree.
                if ((compressedSize != 0 && compressedSize != e.compressedSize) ||
                    (uncompressedSize != 0 && uncompressedSize != e.uncompressedSize)) {
                    return fail(Status::SizeMismatch, index);
                }
                if (crc != 0 && crc != e.crc) {
                    return fail(Status::CrcMismatch, index);
                }
            }
            e.dataOffset = headerEnd;
            if (limit - headerEnd < e.compressedSize) {
                return fail(Status::Corrupt, index);
            }
            const std::uint64_t dataEnd = headerEnd + e.compressedSize;
            std::uint64_t descriptorLen = 0;
            if (hasDescriptor) {
                status = readDescriptor(e, dataEnd, limit - dataEnd, descriptorLen);
                if (status != Status::Ok) {
                    return fail(status, index);
                }
            }
            e.regionEnd = dataEnd + descriptorLen;
        }
        return Result{};
    }

    // The descriptor may or may not start with its signature; accept the
    // form whose values agree with the central directory.
    Status readDescriptor(const Entry& e, std::uint64_t offset, std::uint64_t room,
                          std::uint64_t& length) {
        std::uint8_t d[fmt::kDescriptorSize] = {};
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(room, sizeof d));
        Status status = readExact(offset, d, want);
        if (status != Status::Ok) {
            return status;
        }
        auto matches = [&e](const std::uint8_t* p) {
            return le32(p) == e.crc && le32(p + 4) == e.compressedSize &&
                   le32(p + 8) == e.uncompressedSize;
        };
        if (want >= fmt::kDescriptorSize && le32(d) == fmt::kSigDescriptor && matches(d + 4)) {
            length = fmt::kDescriptorSize;
            return Status::Ok;
        }
        if (want >= fmt::kDescriptorSize - 4 && matches(d)) {
            length = fmt::kDescriptorSize - 4;
            return Status::Ok;
        }
        return Status::Corrupt;
    }

    // Entries must occupy disjoint byte ranges; overlapping entries are the
    // usual trick to build bombs whose output dwarfs the archive.
    Result checkOverlaps() {
        std::vector<std::size_t> order(catalog_.entries.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            order[i] = i;
        }
        const auto& entries = catalog_.entries;
        std::sort(order.begin(), order.end(), [&entries](std::size_t a, std::size_t b) {
            return entries[a].localHeaderOffset < entries[b].localHeaderOffset;
        });
        for (std::size_t k = 1; k < order.size(); ++k) {
            const Entry& previous = entries[order[k - 1]];
            const Entry& current = entries[order[k]];
            if (previous.regionEnd > current.localHeaderOffset) {
                return fail(Status::Corrupt, static_cast<long>(order[k]));
            }
        }
        return Result{};
    }

    Source& source_;
    const Limits& limits_;
    Catalog& catalog_;
    std::vector<RawEntry> raw_;
    std::uint64_t endOffset_ = 0;
    std::uint64_t centralOffset_ = 0;
    std::uint32_t entryCount_ = 0;
};

}  // namespace

bool MemorySource::readAt(std::uint64_t offset, void* buffer, std::size_t len) {
    if (offset > size_ || len > size_ - offset) {
        return false;
    }
    if (len != 0) {
        std::memcpy(buffer, data_ + offset, len);
    }
    return true;
}

Result readCatalog(Source& source, const Limits& limits, Catalog& catalog) {
    catalog = Catalog{};
    return CatalogReader(source, limits, catalog).run();
}

}  // namespace unz

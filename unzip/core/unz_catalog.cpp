// Reads and checks the archive's directory before any data is expanded.
// Everything read from the archive is treated as hostile: each length is
// checked against what is left of the enclosing structure before it is
// used, and nothing is allocated by a size taken from the archive beyond
// the fixed bounds of a 16-bit length field.
#include "unz_ascii.h"
#include "unz_core.h"
#include "unz_format.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace unz {
namespace {

using fmt::le16;
using fmt::le32;

std::string foldCase(const std::string& s) {
    std::string folded = s;
    std::transform(folded.begin(), folded.end(), folded.begin(), asciiLower);
    return folded;
}

// True if an extra field block carries a ZIP64 record. Trailing bytes too
// short to form a header are ignored, as several writers pad this area.
bool hasZip64Extra(const std::uint8_t* extra, std::size_t len) {
    std::size_t pos = 0;
    while (fitsWithin(pos, fmt::extra::kHeaderSize, len)) {
        const std::uint16_t id = le16(extra + pos, fmt::extra::kIdOfs);
        const std::uint16_t size = le16(extra + pos, fmt::extra::kSizeOfs);
        if (id == fmt::extra::kZip64Id) {
            return true;
        }
        pos += fmt::extra::kHeaderSize;
        if (!fitsWithin(pos, size, len)) {
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

// Where a kind of header keeps the fields that both kinds have.
struct HeaderShape {
    std::uint32_t signature;
    std::size_t size;
    std::size_t flagsOfs, methodOfs, timeOfs, dateOfs, crcOfs;
    std::size_t compressedSizeOfs, uncompressedSizeOfs, nameLengthOfs, extraLengthOfs;
    std::size_t commentLengthOfs;  // 0: the header has no comment
};

constexpr HeaderShape kCentralShape{
    fmt::cdh::kSignature, fmt::cdh::kSize, fmt::cdh::kFlagsOfs, fmt::cdh::kMethodOfs,
    fmt::cdh::kTimeOfs, fmt::cdh::kDateOfs, fmt::cdh::kCrcOfs, fmt::cdh::kCompressedSizeOfs,
    fmt::cdh::kUncompressedSizeOfs, fmt::cdh::kNameLengthOfs, fmt::cdh::kExtraLengthOfs,
    fmt::cdh::kCommentLengthOfs};
constexpr HeaderShape kLocalShape{
    fmt::lfh::kSignature, fmt::lfh::kSize, fmt::lfh::kFlagsOfs, fmt::lfh::kMethodOfs,
    fmt::lfh::kTimeOfs, fmt::lfh::kDateOfs, fmt::lfh::kCrcOfs, fmt::lfh::kCompressedSizeOfs,
    fmt::lfh::kUncompressedSizeOfs, fmt::lfh::kNameLengthOfs, fmt::lfh::kExtraLengthOfs, 0};

// A header as decoded: the entry as it declares it, and the lengths of its
// name and extra field.
struct Header {
    Entry entry;
    std::uint16_t nameLength = 0;
    std::uint16_t extraLength = 0;
    std::uint16_t diskStart = 0;  // central headers only
};

Header decodeHeader(const HeaderShape& shape, const std::uint8_t* h) {
    Header header;
    Entry& e = header.entry;
    e.flags = le16(h, shape.flagsOfs);
    e.method = le16(h, shape.methodOfs);
    e.dosTime = le16(h, shape.timeOfs);
    e.dosDate = le16(h, shape.dateOfs);
    e.crc = le32(h, shape.crcOfs);
    e.compressedSize = le32(h, shape.compressedSizeOfs);
    e.uncompressedSize = le32(h, shape.uncompressedSizeOfs);
    header.nameLength = le16(h, shape.nameLengthOfs);
    header.extraLength = le16(h, shape.extraLengthOfs);
    return header;
}

Header decodeCentral(const std::uint8_t* h) {
    Header header = decodeHeader(kCentralShape, h);
    header.entry.localHeaderOffset = le32(h, fmt::cdh::kLocalHeaderOfs);
    header.diskStart = le16(h, fmt::cdh::kDiskStartOfs);
    return header;
}

// Everything one central header must satisfy on its own. variable holds its
// name and extra field. Fills in the checked name.
Status checkCentral(Header& header, const std::uint8_t* variable, const Limits& limits) {
    Entry& e = header.entry;
    if (header.nameLength == 0 || header.nameLength > limits.maxNameLength) {
        return Status::BadName;
    }
    if ((e.flags & (fmt::kFlagEncrypted | fmt::kFlagStrongEncryption |
                    fmt::kFlagMaskedHeaders)) != 0 ||
        e.method == fmt::kMethodAes) {
        return Status::Encrypted;
    }
    if (e.method != fmt::kMethodStored && e.method != fmt::kMethodDeflate) {
        return Status::UnsupportedMethod;
    }
    if (e.compressedSize == fmt::kMarker32 || e.uncompressedSize == fmt::kMarker32 ||
        e.localHeaderOffset == fmt::kMarker32 || header.diskStart == fmt::kMarker16 ||
        hasZip64Extra(variable + header.nameLength, header.extraLength)) {
        return Status::Unsupported;
    }
    if (header.diskStart != 0) {
        return Status::Unsupported;
    }
    const std::string_view rawName(reinterpret_cast<const char*>(variable), header.nameLength);
    const NameEncoding encoding =
        (e.flags & fmt::kFlagUtf8Name) != 0 ? NameEncoding::Utf8 : NameEncoding::Cp437;
    const Status status = checkEntryName(rawName, encoding, limits, e.isDirectory, e.name);
    if (status != Status::Ok) {
        return status;
    }
    if (e.isDirectory && (e.uncompressedSize != 0 || e.crc != 0)) {
        return Status::SizeMismatch;
    }
    if (e.method == fmt::kMethodStored && e.compressedSize != e.uncompressedSize) {
        return Status::SizeMismatch;
    }
    return Status::Ok;
}

// What a local header must agree on with its checked central entry, whose
// name was centralName as stored. variable holds its name and extra field.
Status checkLocal(const Header& header, const std::uint8_t* variable, const Entry& e,
                  const std::string& centralName) {
    const Entry& local = header.entry;
    if ((local.flags & fmt::kFlagEncrypted) != 0) {
        return Status::Encrypted;
    }
    const std::uint16_t mustAgree = fmt::kFlagDescriptor;
    if (local.method != e.method || ((local.flags ^ e.flags) & mustAgree) != 0 ||
        header.nameLength != centralName.size()) {
        return Status::Corrupt;
    }
    // Same bytes as the central name, which alone was checked and decoded.
    if (std::memcmp(variable, centralName.data(), centralName.size()) != 0) {
        return Status::Corrupt;
    }
    if (hasZip64Extra(variable + header.nameLength, header.extraLength)) {
        return Status::Unsupported;
    }
    if ((local.flags & fmt::kFlagDescriptor) == 0) {
        if (local.compressedSize != e.compressedSize ||
            local.uncompressedSize != e.uncompressedSize) {
            return Status::SizeMismatch;
        }
        return local.crc == e.crc ? Status::Ok : Status::CrcMismatch;
    }
    // Streaming writers leave these zero; if set they must agree.
    if ((local.compressedSize != 0 && local.compressedSize != e.compressedSize) ||
        (local.uncompressedSize != 0 && local.uncompressedSize != e.uncompressedSize)) {
        return Status::SizeMismatch;
    }
    return (local.crc == 0 || local.crc == e.crc) ? Status::Ok : Status::CrcMismatch;
}

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
        : source_(source), limits_(limits), catalog_(catalog),
          variable_(fmt::kMaxVariableLength) {}

    Result run() {
        Status status = findEnd();
        if (status != Status::Ok) {
            return fail(status);
        }
        if (!variable_.ok()) {
            return fail(Status::OutOfMemory);
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
        if (!fitsWithin(offset, len, source_.size())) {
            return Status::Truncated;
        }
        if (len == 0) {
            return Status::Ok;
        }
        return source_.readAt(offset, buffer, len) ? Status::Ok : Status::ReadFailed;
    }

    // Reads the header at offset, which must end, comment included, before
    // limit: its fixed part into fixed, its name and extra field into
    // variable_. end receives the offset just past it.
    Status readHeader(const HeaderShape& shape, std::uint64_t offset, std::uint64_t limit,
                      std::uint8_t* fixed, std::uint64_t& end) {
        if (!fitsWithin(offset, shape.size, limit)) {
            return Status::Corrupt;
        }
        Status status = readExact(offset, fixed, shape.size);
        if (status != Status::Ok) {
            return status;
        }
        if (le32(fixed, fmt::kSignatureOfs) != shape.signature) {
            return Status::Corrupt;
        }
        // Name and extra are both bounded by their 16-bit length fields.
        const std::size_t nameAndExtra =
            std::size_t{le16(fixed, shape.nameLengthOfs)} + le16(fixed, shape.extraLengthOfs);
        const std::size_t comment =
            shape.commentLengthOfs != 0 ? le16(fixed, shape.commentLengthOfs) : 0;
        const std::uint64_t variableOffset = offset + shape.size;
        if (!fitsWithin(variableOffset, std::uint64_t{nameAndExtra} + comment, limit)) {
            return Status::Corrupt;
        }
        status = readExact(variableOffset, variable_.data(), nameAndExtra);
        end = variableOffset + nameAndExtra + comment;
        return status;
    }

    Status findEnd() {
        namespace eocd = fmt::eocd;
        const std::uint64_t size = source_.size();
        if (size < eocd::kSize) {
            return Status::NotZip;
        }
        const std::size_t tailLen = static_cast<std::size_t>(
            std::min<std::uint64_t>(size, eocd::kSize + eocd::kMaxCommentLength));
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
        for (std::size_t i = tailLen - eocd::kSize + 1; i-- > 0;) {
            if (le32(&tail[i], fmt::kSignatureOfs) == eocd::kSignature &&
                i + eocd::kSize + le16(&tail[i], eocd::kCommentLengthOfs) == tailLen) {
                found = i;
                break;
            }
        }
        if (found == tailLen) {
            return Status::NotZip;
        }
        const std::uint8_t* end = &tail[found];
        endOffset_ = size - tailLen + found;

        const std::uint16_t disk = le16(end, eocd::kDiskOfs);
        const std::uint16_t centralDisk = le16(end, eocd::kCentralDiskOfs);
        const std::uint16_t entriesOnDisk = le16(end, eocd::kEntriesOnDiskOfs);
        const std::uint16_t entries = le16(end, eocd::kEntriesOfs);
        const std::uint32_t centralSize = le32(end, eocd::kCentralSizeOfs);
        const std::uint32_t centralOffset = le32(end, eocd::kCentralOffsetOfs);

        if (entriesOnDisk == fmt::kMarker16 || entries == fmt::kMarker16 ||
            centralSize == fmt::kMarker32 || centralOffset == fmt::kMarker32 ||
            disk == fmt::kMarker16 || centralDisk == fmt::kMarker16) {
            return Status::Unsupported;
        }
        if (endOffset_ >= fmt::zip64locator::kSize) {
            std::uint8_t sig[4];
            status = readExact(endOffset_ - fmt::zip64locator::kSize, sig, sizeof sig);
            if (status != Status::Ok) {
                return status;
            }
            if (le32(sig, fmt::kSignatureOfs) == fmt::zip64locator::kSignature) {
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
        if (std::uint64_t{entries} * fmt::cdh::kSize > centralSize) {
            return Status::Corrupt;
        }
        entryCount_ = entries;
        centralOffset_ = centralOffset;
        return Status::Ok;
    }

    Result readCentral() {
        catalog_.entries.reserve(entryCount_);
        centralNames_.reserve(entryCount_);
        NameTable names;
        std::uint64_t pos = centralOffset_;
        for (std::uint32_t i = 0; i < entryCount_; ++i) {
            std::uint8_t fixed[fmt::cdh::kSize] = {};
            Status status = readHeader(kCentralShape, pos, endOffset_, fixed, pos);
            Header header = decodeCentral(fixed);
            if (status == Status::Ok) {
                status = checkCentral(header, variable_.data(), limits_);
            }
            if (status == Status::Ok) {
                status = addEntry(names, header);
            }
            if (status != Status::Ok) {
                return fail(status, static_cast<long>(i));
            }
        }
        if (pos != endOffset_) {
            return fail(Status::Corrupt);
        }
        names.collectDirectories(catalog_.directories);
        return Result{};
    }

    // Takes a checked entry into the catalog, within the limits.
    Status addEntry(NameTable& names, Header& header) {
        Entry& e = header.entry;
        const Status status = names.addEntry(e.name, e.isDirectory);
        if (status != Status::Ok) {
            return status;
        }
        if (names.directoryCount() > limits_.maxDirectories) {
            return Status::LimitExceeded;
        }
        catalog_.totalUncompressed += e.uncompressedSize;
        if (catalog_.totalUncompressed > limits_.maxTotalOutput) {
            return Status::LimitExceeded;
        }
        centralNames_.emplace_back(reinterpret_cast<const char*>(variable_.data()),
                                   header.nameLength);
        catalog_.entries.push_back(std::move(e));
        return Status::Ok;
    }

    Result readLocals() {
        for (std::size_t i = 0; i < catalog_.entries.size(); ++i) {
            Entry& e = catalog_.entries[i];
            // Local headers and data live strictly before the central directory.
            std::uint8_t fixed[fmt::lfh::kSize] = {};
            std::uint64_t headerEnd = 0;
            Status status =
                readHeader(kLocalShape, e.localHeaderOffset, centralOffset_, fixed, headerEnd);
            if (status == Status::Ok) {
                status = checkLocal(decodeHeader(kLocalShape, fixed), variable_.data(), e,
                                    centralNames_[i]);
            }
            if (status == Status::Ok) {
                status = placeData(e, headerEnd);
            }
            if (status != Status::Ok) {
                return fail(status, static_cast<long>(i));
            }
        }
        return Result{};
    }

    // Sets where the entry's data starts and where its region (data and any
    // descriptor) ends, before the central directory.
    Status placeData(Entry& e, std::uint64_t headerEnd) {
        const std::uint64_t limit = centralOffset_;
        e.dataOffset = headerEnd;
        if (!fitsWithin(headerEnd, e.compressedSize, limit)) {
            return Status::Corrupt;
        }
        const std::uint64_t dataEnd = headerEnd + e.compressedSize;
        std::uint64_t descriptorLen = 0;
        if ((e.flags & fmt::kFlagDescriptor) != 0) {
            const Status status = readDescriptor(e, dataEnd, limit - dataEnd, descriptorLen);
            if (status != Status::Ok) {
                return status;
            }
        }
        e.regionEnd = dataEnd + descriptorLen;
        return Status::Ok;
    }

    // The descriptor may or may not start with its signature; accept the
    // form whose values agree with the central directory.
    Status readDescriptor(const Entry& e, std::uint64_t offset, std::uint64_t room,
                          std::uint64_t& length) {
        namespace dd = fmt::descriptor;
        std::uint8_t d[dd::kSignatureSize + dd::kValuesSize] = {};
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(room, sizeof d));
        Status status = readExact(offset, d, want);
        if (status != Status::Ok) {
            return status;
        }
        auto matches = [&e](const std::uint8_t* values) {
            return le32(values, dd::kCrcOfs) == e.crc &&
                   le32(values, dd::kCompressedSizeOfs) == e.compressedSize &&
                   le32(values, dd::kUncompressedSizeOfs) == e.uncompressedSize;
        };
        if (want >= sizeof d && le32(d, fmt::kSignatureOfs) == dd::kSignature &&
            matches(d + dd::kSignatureSize)) {
            length = sizeof d;
            return Status::Ok;
        }
        if (want >= dd::kValuesSize && matches(d)) {
            length = dd::kValuesSize;
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
    ByteBuffer variable_;  // the current header's name and extra field
    std::vector<std::string> centralNames_;  // as stored, with a folder's '/'
    std::uint64_t endOffset_ = 0;
    std::uint64_t centralOffset_ = 0;
    std::uint32_t entryCount_ = 0;
};

}  // namespace

bool MemorySource::readAt(std::uint64_t offset, void* buffer, std::size_t len) {
    if (!fitsWithin(offset, len, size_)) {
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

// ZIP record layouts (PKWARE APPNOTE), shared by the core's parts: each
// record's signature, fixed size and the byte offset of every field, so
// that a reader names the field it decodes instead of a bare number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace unz {
namespace fmt {

// Every record starts with its 32-bit signature.
constexpr std::size_t kSignatureOfs = 0;

// Local file header, in front of each entry's data.
namespace lfh {
constexpr std::uint32_t kSignature = 0x04034b50;
constexpr std::size_t kSize = 30;  // then name and extra field
constexpr std::size_t kVersionNeededOfs = 4;
constexpr std::size_t kFlagsOfs = 6;
constexpr std::size_t kMethodOfs = 8;
constexpr std::size_t kTimeOfs = 10;
constexpr std::size_t kDateOfs = 12;
constexpr std::size_t kCrcOfs = 14;
constexpr std::size_t kCompressedSizeOfs = 18;
constexpr std::size_t kUncompressedSizeOfs = 22;
constexpr std::size_t kNameLengthOfs = 26;
constexpr std::size_t kExtraLengthOfs = 28;
}  // namespace lfh

// Central directory header, one per entry.
namespace cdh {
constexpr std::uint32_t kSignature = 0x02014b50;
constexpr std::size_t kSize = 46;  // then name, extra field and comment
constexpr std::size_t kVersionMadeByOfs = 4;
constexpr std::size_t kVersionNeededOfs = 6;
constexpr std::size_t kFlagsOfs = 8;
constexpr std::size_t kMethodOfs = 10;
constexpr std::size_t kTimeOfs = 12;
constexpr std::size_t kDateOfs = 14;
constexpr std::size_t kCrcOfs = 16;
constexpr std::size_t kCompressedSizeOfs = 20;
constexpr std::size_t kUncompressedSizeOfs = 24;
constexpr std::size_t kNameLengthOfs = 28;
constexpr std::size_t kExtraLengthOfs = 30;
constexpr std::size_t kCommentLengthOfs = 32;
constexpr std::size_t kDiskStartOfs = 34;
constexpr std::size_t kInternalAttributesOfs = 36;
constexpr std::size_t kExternalAttributesOfs = 38;
constexpr std::size_t kLocalHeaderOfs = 42;
}  // namespace cdh

// End of central directory record, last in the archive but for its comment.
namespace eocd {
constexpr std::uint32_t kSignature = 0x06054b50;
constexpr std::size_t kSize = 22;  // then the comment
constexpr std::size_t kDiskOfs = 4;
constexpr std::size_t kCentralDiskOfs = 6;
constexpr std::size_t kEntriesOnDiskOfs = 8;
constexpr std::size_t kEntriesOfs = 10;
constexpr std::size_t kCentralSizeOfs = 12;
constexpr std::size_t kCentralOffsetOfs = 16;
constexpr std::size_t kCommentLengthOfs = 20;
constexpr std::size_t kMaxCommentLength = 0xFFFF;
}  // namespace eocd

// ZIP64 end of central directory locator, right in front of the end record.
namespace zip64locator {
constexpr std::uint32_t kSignature = 0x07064b50;
constexpr std::size_t kSize = 20;
}  // namespace zip64locator

// Data descriptor after an entry's data (flag bit 3). Its signature is
// optional; the offsets count from where the values start.
namespace descriptor {
constexpr std::uint32_t kSignature = 0x08074b50;
constexpr std::size_t kSignatureSize = 4;
constexpr std::size_t kValuesSize = 12;
constexpr std::size_t kCrcOfs = 0;
constexpr std::size_t kCompressedSizeOfs = 4;
constexpr std::size_t kUncompressedSizeOfs = 8;
}  // namespace descriptor

// One block of an extra field: id, size, then size bytes.
namespace extra {
constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kIdOfs = 0;
constexpr std::size_t kSizeOfs = 2;
constexpr std::uint16_t kZip64Id = 0x0001;
}  // namespace extra

// A header's name and extra field, each bounded by its 16-bit length.
constexpr std::size_t kMaxVariableLength = 2 * 0xFFFF;

constexpr std::uint16_t kFlagEncrypted = 1u << 0;
constexpr std::uint16_t kFlagDescriptor = 1u << 3;
constexpr std::uint16_t kFlagStrongEncryption = 1u << 6;
constexpr std::uint16_t kFlagUtf8Name = 1u << 11;
constexpr std::uint16_t kFlagMaskedHeaders = 1u << 13;

constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflate = 8;
constexpr std::uint16_t kMethodAes = 99;

// Values that mean "look in the ZIP64 records instead".
constexpr std::uint16_t kMarker16 = 0xFFFF;
constexpr std::uint32_t kMarker32 = 0xFFFFFFFF;

// Little-endian fields at a record's offset.
inline std::uint16_t le16(const std::uint8_t* record, std::size_t offset) {
    const std::uint8_t* p = record + offset;
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t le32(const std::uint8_t* record, std::size_t offset) {
    const std::uint8_t* p = record + offset;
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace fmt

// A heap buffer of fixed size, allocated without throwing: the core is built
// without exceptions, so callers check ok() and report Status::OutOfMemory.
class ByteBuffer {
public:
    explicit ByteBuffer(std::size_t size)
        : data_(new (std::nothrow) std::uint8_t[size != 0 ? size : 1]),
          size_(data_ ? size : 0) {}
    bool ok() const { return data_ != nullptr; }
    std::uint8_t* data() { return data_.get(); }
    const std::uint8_t* data() const { return data_.get(); }
    std::size_t size() const { return size_; }
    std::uint8_t& operator[](std::size_t i) { return data_[i]; }

private:
    std::unique_ptr<std::uint8_t[]> data_;
    std::size_t size_;
};

}  // namespace unz

// ZIP record layout constants (PKWARE APPNOTE), shared by the core's parts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace unz {
namespace fmt {

constexpr std::uint32_t kSigLocal = 0x04034b50;
constexpr std::uint32_t kSigCentral = 0x02014b50;
constexpr std::uint32_t kSigEnd = 0x06054b50;
constexpr std::uint32_t kSigZip64Locator = 0x07064b50;
constexpr std::uint32_t kSigDescriptor = 0x08074b50;

constexpr std::size_t kLocalSize = 30;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kDescriptorSize = 16;  // with its optional signature
constexpr std::size_t kExtraHeaderSize = 4;
constexpr std::size_t kMaxCommentLength = 0xFFFF;
// A header's name and extra field, each bounded by its 16-bit length.
constexpr std::size_t kMaxVariableLength = 2 * 0xFFFF;

constexpr std::uint16_t kFlagEncrypted = 1u << 0;
constexpr std::uint16_t kFlagDescriptor = 1u << 3;
constexpr std::uint16_t kFlagStrongEncryption = 1u << 6;
constexpr std::uint16_t kFlagMaskedHeaders = 1u << 13;

constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflate = 8;
constexpr std::uint16_t kMethodAes = 99;

constexpr std::uint16_t kExtraZip64 = 0x0001;

// Values that mean "look in the ZIP64 records instead".
constexpr std::uint16_t kMarker16 = 0xFFFF;
constexpr std::uint32_t kMarker32 = 0xFFFFFFFF;

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

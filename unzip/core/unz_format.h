// ZIP record layout constants (PKWARE APPNOTE), shared by the core's parts.
#pragma once

#include <cstddef>
#include <cstdint>

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
}  // namespace unz

#include "payload/ImageCheck.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr std::uint32_t Crc32Polynomial = 0xEDB88320u;  // reflected 0x04C11DB7
constexpr std::uint32_t Crc32Start = 0xFFFFFFFFu;
constexpr std::uint32_t Crc32FinalXor = 0xFFFFFFFFu;
constexpr unsigned Crc32TableSize = 256;
constexpr unsigned WordHighByteMask = 0xFF00u;

// Filled at each check rather than stored: 256 entries cost a few microseconds to make, and
// the program file's size beside its payload is counted.
void FillCrc32Table(std::uint32_t (&table)[Crc32TableSize])
{
    for (std::uint32_t i = 0; i < Crc32TableSize; ++i) {
        std::uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit) value = (value & 1u) ? (value >> 1) ^ Crc32Polynomial : value >> 1;
        table[i] = value;
    }
}

} // namespace

bool ImageIntact(const EmbeddedImage& image)
{
    std::uint32_t table[Crc32TableSize];
    FillCrc32Table(table);
    std::uint32_t crc = Crc32Start;
    unsigned highBytes = 0;
    for (std::size_t i = 0; i < image.byteCount; ++i) {
        const unsigned word = image.words[i];
        highBytes |= word;
        crc = table[(crc ^ word) & 0xFFu] ^ (crc >> 8);
    }
    return (highBytes & WordHighByteMask) == 0 && (crc ^ Crc32FinalXor) == image.crc32;
}

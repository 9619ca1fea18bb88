#include "payload/ImageCheck.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace {

constexpr std::uint32_t Crc32Polynomial = 0xEDB88320u;  // reflected 0x04C11DB7
constexpr std::uint32_t Crc32Start = 0xFFFFFFFFu;
constexpr std::uint32_t Crc32FinalXor = 0xFFFFFFFFu;
constexpr unsigned WordHighByteMask = 0xFF00u;

// Built by the compiler: the check runs once per installation and must not pay for a table.
constexpr std::array<std::uint32_t, 256> MakeCrc32Table()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit) value = (value & 1u) ? (value >> 1) ^ Crc32Polynomial : value >> 1;
        table[i] = value;
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> Crc32Table = MakeCrc32Table();

inline std::uint32_t Crc32Step(std::uint32_t crc, unsigned byte)
{
    return Crc32Table[(crc ^ byte) & 0xFFu] ^ (crc >> 8);
}

} // namespace

bool ImageIntact(const EmbeddedImage& image)
{
    std::uint32_t crc = Crc32Start;
    unsigned highBytes = 0;
    for (std::size_t i = 0; i < image.byteCount; ++i) {
        const unsigned word = image.words[i];
        highBytes |= word;
        crc = Crc32Step(crc, word & 0xFFu);
    }
    return (highBytes & WordHighByteMask) == 0 && (crc ^ Crc32FinalXor) == image.crc32;
}

// Small ZIP writer for tests: builds well-formed archives and, through the
// overrides, archives that lie. Offsets of every header are returned so a
// test can patch single fields afterwards.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace unztest {

using Bytes = std::vector<std::uint8_t>;

inline void put16(Bytes& b, std::size_t at, std::uint16_t v) {
    b.at(at) = static_cast<std::uint8_t>(v);
    b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}

inline void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

inline void add16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void add32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

inline void addBytes(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

inline std::uint32_t crcOf(const std::string& s) {
    return static_cast<std::uint32_t>(
        crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(s.data()),
              static_cast<uInt>(s.size())));
}

// Raw deflate, as stored in ZIP entries.
inline std::string deflateRaw(const std::string& data, int level = 6) {
    z_stream zs{};
    if (deflateInit2(&zs, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    std::string out(deflateBound(&zs, static_cast<uLong>(data.size())) + 16, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(&out[0]);
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    if (rc != Z_STREAM_END) {
        throw std::runtime_error("deflate");
    }
    return out;
}

constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflate = 8;
// General purpose flag bit 11: the entry's name is UTF-8 (without it, code page 437).
constexpr std::uint16_t kFlagUtf8Name = 1u << 11;

struct Item {
    std::string name;
    std::string data;               // uncompressed content
    std::uint16_t method = kDeflate;
    bool descriptor = false;        // flag bit 3, sizes after the data
    bool descriptorSignature = true;
    std::uint16_t extraFlags = 0;
    std::uint16_t dosTime = 0x6000;  // 12:00:00
    std::uint16_t dosDate = 0x5A21;  // 2025-01-01
    std::optional<std::string> payload;  // bytes written as data, as they are
    std::optional<std::uint32_t> crc;    // declared values (both headers)
    std::optional<std::uint32_t> compressedSize;
    std::optional<std::uint32_t> uncompressedSize;
    std::string localExtra;
    std::string centralExtra;
};

struct Image {
    Bytes bytes;
    std::vector<std::size_t> local;    // offset of each local header
    std::vector<std::size_t> central;  // offset of each central header
    std::size_t end = 0;               // offset of the end record
};

// Field offsets within headers, for patching.
constexpr std::size_t kLocFlags = 6, kLocMethod = 8, kLocCrc = 14, kLocCsize = 18,
                      kLocUsize = 22, kLocNameLen = 26, kLocExtraLen = 28;
constexpr std::size_t kCenFlags = 8, kCenMethod = 10, kCenCrc = 16, kCenCsize = 20,
                      kCenUsize = 24, kCenNameLen = 28, kCenExtraLen = 30, kCenDisk = 34,
                      kCenOffset = 42;
constexpr std::size_t kEndDisk = 4, kEndCdDisk = 6, kEndDiskEntries = 8, kEndEntries = 10,
                      kEndCdSize = 12, kEndCdOffset = 16, kEndCommentLen = 20;

inline Image buildZip(const std::vector<Item>& items, const std::string& comment = "") {
    Image img;
    struct Written {
        std::uint32_t crc, csize, usize, offset;
        std::uint16_t flags;
    };
    std::vector<Written> written;
    for (const Item& it : items) {
        const std::string payload =
            it.payload ? *it.payload
                       : (it.method == kDeflate ? deflateRaw(it.data) : it.data);
        Written w{};
        w.crc = it.crc.value_or(crcOf(it.data));
        w.csize = it.compressedSize.value_or(static_cast<std::uint32_t>(payload.size()));
        w.usize = it.uncompressedSize.value_or(static_cast<std::uint32_t>(it.data.size()));
        w.flags = static_cast<std::uint16_t>(it.extraFlags | (it.descriptor ? 8 : 0));
        w.offset = static_cast<std::uint32_t>(img.bytes.size());
        img.local.push_back(img.bytes.size());
        Bytes& b = img.bytes;
        add32(b, 0x04034b50);
        add16(b, 20);
        add16(b, w.flags);
        add16(b, it.method);
        add16(b, it.dosTime);
        add16(b, it.dosDate);
        add32(b, it.descriptor ? 0 : w.crc);
        add32(b, it.descriptor ? 0 : w.csize);
        add32(b, it.descriptor ? 0 : w.usize);
        add16(b, static_cast<std::uint16_t>(it.name.size()));
        add16(b, static_cast<std::uint16_t>(it.localExtra.size()));
        addBytes(b, it.name);
        addBytes(b, it.localExtra);
        addBytes(b, payload);
        if (it.descriptor) {
            if (it.descriptorSignature) {
                add32(b, 0x08074b50);
            }
            add32(b, w.crc);
            add32(b, w.csize);
            add32(b, w.usize);
        }
        written.push_back(w);
    }
    const std::size_t cdStart = img.bytes.size();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Item& it = items[i];
        const Written& w = written[i];
        img.central.push_back(img.bytes.size());
        Bytes& b = img.bytes;
        add32(b, 0x02014b50);
        add16(b, 20);
        add16(b, 20);
        add16(b, w.flags);
        add16(b, it.method);
        add16(b, it.dosTime);
        add16(b, it.dosDate);
        add32(b, w.crc);
        add32(b, w.csize);
        add32(b, w.usize);
        add16(b, static_cast<std::uint16_t>(it.name.size()));
        add16(b, static_cast<std::uint16_t>(it.centralExtra.size()));
        add16(b, 0);  // comment
        add16(b, 0);  // disk
        add16(b, 0);  // internal attributes
        add32(b, it.name.empty() || it.name.back() != '/' ? 0 : 0x10);
        add32(b, w.offset);
        addBytes(b, it.name);
        addBytes(b, it.centralExtra);
    }
    const std::size_t cdSize = img.bytes.size() - cdStart;
    img.end = img.bytes.size();
    Bytes& b = img.bytes;
    add32(b, 0x06054b50);
    add16(b, 0);
    add16(b, 0);
    add16(b, static_cast<std::uint16_t>(items.size()));
    add16(b, static_cast<std::uint16_t>(items.size()));
    add32(b, static_cast<std::uint32_t>(cdSize));
    add32(b, static_cast<std::uint32_t>(cdStart));
    add16(b, static_cast<std::uint16_t>(comment.size()));
    addBytes(b, comment);
    return img;
}

inline Item file(const std::string& name, const std::string& data,
                 std::uint16_t method = kDeflate) {
    Item it;
    it.name = name;
    it.data = data;
    it.method = method;
    return it;
}

inline Item folder(const std::string& name) {
    Item it;
    it.name = name;
    it.method = kStored;
    return it;
}

// The entry named as UTF-8 writers name it: flag bit 11 set in both headers. Without it
// the name is read as code page 437, as older writers (and Windows's own) store names.
inline Item utf8Named(Item it) {
    it.extraFlags |= kFlagUtf8Name;
    return it;
}

// The entry with its CRC and sizes in a data descriptor after its data, the descriptor
// with or without its optional signature.
inline Item described(Item it, bool signature = true) {
    it.descriptor = true;
    it.descriptorSignature = signature;
    return it;
}

// Deterministic filler: compressible text or incompressible noise.
inline std::string makeText(std::size_t len, std::uint32_t seed = 1) {
    static const char kWords[] = "lorem ipsum dolor sit amet zav setup payload ";
    std::string s;
    s.reserve(len);
    std::uint32_t x = seed;
    while (s.size() < len) {
        x = x * 1103515245u + 12345u;
        s += kWords[(x >> 16) % (sizeof kWords - 1)];
    }
    return s;
}

inline std::string makeNoise(std::size_t len, std::uint32_t seed = 7) {
    std::string s(len, '\0');
    std::uint32_t x = seed ? seed : 1;
    for (char& c : s) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x & 0xFF);
    }
    return s;
}

}  // namespace unztest

// Portable unzip core: reads a ZIP archive through a Source, checks every
// entry and expands Stored and Deflate entries into a Sink.
//
// The core is a security boundary. It never touches a file system itself;
// the Sink receives only names that passed checkEntryName() (relative,
// '/'-separated, decoded into UTF-8, no control or reserved character, no
// device names), and sizes that were
// declared in the central directory. Any refused or damaged entry fails the
// whole expansion: the caller is expected to discard whatever the Sink got.
//
// Memory use is bounded by the Limits below, never by sizes read from the
// archive: data moves in chunks of kChunkSize bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace unz {

enum class Status : int {
    Ok = 0,
    NotZip,             // no end-of-central-directory record at the end
    Truncated,          // a structure reaches past the end of the archive
    Corrupt,            // inconsistent headers, offsets, counts or overlaps
    Unsupported,        // ZIP64 or multi-disk archive
    Encrypted,          // encrypted entry or encrypted central directory
    UnsupportedMethod,  // compression other than Stored (0) and Deflate (8)
    BadName,            // entry name refused (escape, device, bad character)
    DuplicateName,      // two entries (or a file and a folder) collide
    SizeMismatch,       // data does not match the declared sizes
    CrcMismatch,        // CRC-32 of the expanded data is wrong
    BadData,            // the deflate stream is damaged
    LimitExceeded,      // too many entries or folders, or too much output
    ReadFailed,         // the Source could not read
    SinkFailed,         // the Sink refused an operation
    OutOfMemory,
    Internal,
};

const char* statusName(Status status);

// Hard bounds. Defaults suit an installer payload; tests lower them.
struct Limits {
    // Entry count field of the end record is 16 bits; 0xFFFF means ZIP64.
    std::uint32_t maxEntries = 65534;
    // Implicit and explicit folders together.
    std::uint32_t maxDirectories = 65534;
    // Longest entry name accepted, in bytes as stored (leaves room for a
    // target folder prefix within the Windows MAX_PATH of 260).
    std::size_t maxNameLength = 240;
    // Sum of declared uncompressed sizes; also bounds the bytes written.
    std::uint64_t maxTotalOutput = std::uint64_t{2} * 1024 * 1024 * 1024;
};

constexpr std::size_t kChunkSize = 64 * 1024;
// In UTF-16 units, as Windows counts a name's length.
constexpr std::size_t kMaxComponentLength = 255;

// The one bounds check: true if length bytes from offset lie inside a
// structure of size bytes. Never overflows, whatever the archive says.
constexpr bool fitsWithin(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
    return offset <= size && length <= size - offset;
}

// Random-access input. Reads are always within [0, size()).
class Source {
public:
    virtual ~Source() = default;
    virtual std::uint64_t size() const = 0;
    // Reads exactly len bytes at offset; false on an I/O error.
    virtual bool readAt(std::uint64_t offset, void* buffer, std::size_t len) = 0;
};

class MemorySource final : public Source {
public:
    MemorySource(const void* data, std::size_t size)
        : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}
    std::uint64_t size() const override { return size_; }
    bool readAt(std::uint64_t offset, void* buffer, std::size_t len) override;

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

struct FileInfo {
    std::string path;  // checked relative name in UTF-8, '/' separators, no trailing '/'
    std::uint32_t size = 0;  // declared uncompressed size; never exceeded
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
};

// Output side. Every call may fail by returning false, which ends the
// expansion with Status::SinkFailed.
class Sink {
public:
    virtual ~Sink() = default;
    // Parents always come before children. Called once per folder.
    virtual bool createDirectory(const std::string& path) = 0;
    // The parent folder was created before. Name never seen before.
    virtual bool createFile(const FileInfo& info) = 0;
    virtual bool write(const std::uint8_t* data, std::size_t len) = 0;
    // The file's size and CRC checked out.
    virtual bool finishFile() = 0;
    // The file is damaged or the expansion stops; discard it.
    virtual void abortFile() noexcept = 0;
};

// One entry of the central directory after all checks.
struct Entry {
    std::string name;  // as checked, in UTF-8, without the trailing '/' of folders
    bool isDirectory = false;
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::uint32_t localHeaderOffset = 0;
    std::uint64_t dataOffset = 0;  // first byte of the entry's data
    std::uint64_t regionEnd = 0;   // past the data and any data descriptor
};

struct Catalog {
    std::vector<Entry> entries;           // central directory order
    std::vector<std::string> directories; // every folder to create, parents first
    std::uint64_t totalUncompressed = 0;
};

struct Result {
    Status status = Status::Ok;
    // Index in central directory order of the entry that failed, or -1.
    long failedEntry = -1;
    std::uint32_t filesWritten = 0;
    std::uint32_t directoriesCreated = 0;
    std::uint64_t bytesWritten = 0;
};

// How an entry's name is written: in UTF-8 when the entry says so (flag bit
// 11), otherwise in code page 437, as the ZIP format has it.
enum class NameEncoding { Cp437, Utf8 };

// Checks one raw entry name. On success sets isDirectory and the name,
// decoded into UTF-8, without its trailing '/'.
Status checkEntryName(std::string_view raw, NameEncoding encoding, const Limits& limits,
                      bool& isDirectory, std::string& cleaned);

// Reads and checks the whole directory: end record, every central and
// local header, names, collisions, data ranges and overlaps. Reads no data.
Result readCatalog(Source& source, const Limits& limits, Catalog& catalog);

// Checks the archive, then creates every folder and streams every file
// into the sink, verifying size and CRC-32. Stops at the first problem.
Result expandArchive(Source& source, Sink& sink, const Limits& limits = Limits{});

}  // namespace unz

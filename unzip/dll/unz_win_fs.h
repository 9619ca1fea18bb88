// Win32 side of the DLL: handle owners, bounded paths, the archive source,
// the sink that writes into the temporary folder, and folder helpers.
#pragma once

#include "unz_core.h"
#include "unz_unique_handle.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace unzdll {

// A file from CreateFile and a search from FindFirstFile, the same owners as the setup's.
using FileHandle = UniqueHandle<InvalidEmpty<&CloseHandle>>;
using FindHandle = UniqueHandle<InvalidEmpty<&FindClose>>;

// A path for the wide file calls, so that what can be written does not
// depend on the caller's code page. It always fits MAX_PATH (in UTF-16
// units, the NUL included) and lives in a buffer of that size: every
// operation that would make it longer fails instead of cutting it, as does
// text that would not convert losslessly.
class Path {
public:
    static constexpr std::size_t kCapacity = MAX_PATH - 1;

    // A caller's NUL-terminated path in its ANSI code page (CP_ACP).
    bool assignAnsi(const char* text);
    // Appends '\' and a relative UTF-8 name whose '/' separators become '\'.
    bool append(std::string_view relative);
    // Appends '\' and a NUL-terminated name as the file system lists it.
    bool append(const wchar_t* name);
    // Drops trailing separators, keeping a root such as "C:\" intact.
    void trimTrailingSeparators();

    const wchar_t* c_str() const { return text_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

private:
    bool appendSeparator();
    bool appendConverted(UINT codePage, const char* text, std::size_t len);
    void truncate(std::size_t size) {
        size_ = size;
        text_[size] = L'\0';
    }

    wchar_t text_[kCapacity + 1] = {};
    std::size_t size_ = 0;
};

// Wide names (or whole paths) kept back to back, each with its NUL, in one
// growing buffer: one costs its own length, not a path buffer or an allocation.
class NamePool {
public:
    // Adds len units of text and a NUL; returns where the name starts.
    std::size_t add(const wchar_t* text, std::size_t len);
    const wchar_t* at(std::size_t offset) const { return units_.data() + offset; }
    // Drops every name added at or after offset.
    void truncate(std::size_t offset) { units_.resize(offset); }
    void clear() { units_.clear(); }

private:
    std::vector<wchar_t> units_;
};

// A folder's children (without "." and ".."), sorted by name so that every
// run moves things in the same order.
struct FolderListing {
    struct Entry {
        std::size_t nameAt;  // in names
        DWORD attributes;
    };
    std::vector<Entry> entries;
    NamePool names;

    const wchar_t* name(const Entry& entry) const { return names.at(entry.nameAt); }
};

bool listFolder(const Path& folder, FolderListing& out);

// Removes a file or a whole folder tree. Links (reparse points) are removed,
// never followed. True if nothing is left.
bool removeTree(const Path& path);

// "~unz", eight hexadecimal digits, ".tmp" and the NUL.
constexpr std::size_t kTempNameSize = 17;

// Creates a new folder "~unzXXXXXXXX.tmp" inside parent; name receives the
// last component and out the full path.
bool createUniqueFolder(const Path& parent, Path& out, wchar_t (&name)[kTempNameSize]);

// Eight hexadecimal digits and the NUL, for names of our own.
constexpr std::size_t kHex32Size = 9;
void formatHex32(std::uint32_t value, wchar_t (&out)[kHex32Size]);

// Names compare as the file system compares them: without regard to case.
bool equalsNoCase(const wchar_t* a, const wchar_t* b);

// Archive reader on a Win32 file handle.
class FileSource final : public unz::Source {
public:
    bool open(const Path& path);
    void close() { file_.Reset(); }
    std::uint64_t size() const override { return size_; }
    bool readAt(std::uint64_t offset, void* buffer, std::size_t len) override;

private:
    FileHandle file_;
    std::uint64_t size_ = 0;
};

// Writes the checked tree below root (the temporary folder).
class FolderSink final : public unz::Sink {
public:
    FolderSink(const Path& root, bool restoreTimes) : root_(root), restoreTimes_(restoreTimes) {}

    bool createDirectory(const std::string& path) override;
    bool createFile(const unz::FileInfo& info) override;
    bool write(const std::uint8_t* data, std::size_t len) override;
    bool finishFile() override;
    void abortFile() noexcept override;

    // Set when an entry's full path would not fit MAX_PATH.
    bool pathTooLong() const { return pathTooLong_; }

private:
    bool makePath(const std::string& relative, Path& out);

    Path root_;
    bool restoreTimes_;
    bool pathTooLong_ = false;
    FileHandle file_;
    Path filePath_;
    std::uint16_t dosTime_ = 0;
    std::uint16_t dosDate_ = 0;
};

}  // namespace unzdll

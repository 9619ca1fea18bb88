// Win32 side of the DLL: handle owners, bounded paths, the archive source,
// the sink that writes into the temporary folder, and folder helpers.
#pragma once

#include "unz_ascii.h"
#include "unz_core.h"
#include "unz_unique_handle.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace unzdll {

// A file from CreateFile and a search from FindFirstFile, the same owners as the setup's.
using FileHandle = UniqueHandle<InvalidEmpty<&CloseHandle>>;
using FindHandle = UniqueHandle<InvalidEmpty<&FindClose>>;

// A path that always fits the ANSI API limit (MAX_PATH including the NUL).
// Every operation that would make it longer fails instead of cutting it.
class Path {
public:
    static constexpr std::size_t kCapacity = MAX_PATH - 1;

    // Copies a caller's NUL-terminated string, reading at most kCapacity + 1 bytes.
    bool assign(const char* text);
    bool assign(std::string_view text);
    // Appends '\' and a relative name whose '/' separators become '\'.
    bool append(std::string_view relative);
    // Drops trailing separators, keeping a root such as "C:\" intact.
    void trimTrailingSeparators();

    const char* c_str() const { return text_.c_str(); }
    std::size_t size() const { return text_.size(); }
    bool empty() const { return text_.empty(); }

private:
    std::string text_;
};

struct DirEntry {
    std::string name;
    DWORD attributes = 0;
};

// Lists a folder's children (without "." and ".."), sorted by name ignoring
// ASCII case so that every run moves things in the same order.
bool listFolder(const Path& folder, std::vector<DirEntry>& out);

// Removes a file or a whole folder tree. Links (reparse points) are removed,
// never followed. True if nothing is left.
bool removeTree(const Path& path);

// Creates a new folder "~unzXXXXXXXX.tmp" inside parent; name receives the
// last component and out the full path.
bool createUniqueFolder(const Path& parent, Path& out, std::string& name);

// Names compare as Windows compares the ASCII names the core lets through.
using unz::equalsNoCase;

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

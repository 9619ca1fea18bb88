// Win32 side of the DLL: handle owners, bounded paths, the archive source,
// the sink that writes into the temporary folder, and folder helpers.
#pragma once

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

// A path for the wide file calls, so that what can be written does not
// depend on the caller's code page. It always fits MAX_PATH (in UTF-16
// units, the NUL included): every operation that would make it longer fails
// instead of cutting it, as does text that would not convert losslessly.
class Path {
public:
    static constexpr std::size_t kCapacity = MAX_PATH - 1;

    // A caller's NUL-terminated path in its ANSI code page (CP_ACP).
    bool assignAnsi(const char* text);
    // Appends '\' and a relative UTF-8 name whose '/' separators become '\'.
    bool append(std::string_view relative);
    // Appends '\' and a name as the file system lists it.
    bool append(const std::wstring& name);
    // Drops trailing separators, keeping a root such as "C:\" intact.
    void trimTrailingSeparators();

    const wchar_t* c_str() const { return text_.c_str(); }
    std::size_t size() const { return text_.size(); }
    bool empty() const { return text_.empty(); }

private:
    std::wstring text_;
};

struct DirEntry {
    std::wstring name;
    DWORD attributes = 0;
};

// Lists a folder's children (without "." and ".."), sorted by name so that
// every run moves things in the same order.
bool listFolder(const Path& folder, std::vector<DirEntry>& out);

// Removes a file or a whole folder tree. Links (reparse points) are removed,
// never followed. True if nothing is left.
bool removeTree(const Path& path);

// Creates a new folder "~unzXXXXXXXX.tmp" inside parent; name receives the
// last component and out the full path.
bool createUniqueFolder(const Path& parent, Path& out, std::wstring& name);

// Appends value as eight hexadecimal digits, for names of our own.
void appendHex32(std::wstring& out, std::uint32_t value);

// Names compare as the file system compares them: without regard to case.
bool equalsNoCase(const std::wstring& a, const std::wstring& b);

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

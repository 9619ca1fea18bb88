#include "unz_win_fs.h"

#include <algorithm>

namespace unzdll {
namespace {

constexpr int kUniqueNameAttempts = 64;
constexpr char kTempPrefix[] = "~unz";
constexpr char kTempSuffix[] = ".tmp";

bool lessNoCase(const DirEntry& a, const DirEntry& b) { return unz::lessNoCase(a.name, b.name); }

bool isDotOrDotDot(const char* name) {
    return (name[0] == '.' && name[1] == '\0') ||
           (name[0] == '.' && name[1] == '.' && name[2] == '\0');
}

void appendHex32(std::string& out, std::uint32_t value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (int shift = 28; shift >= 0; shift -= 4) {
        out += kDigits[(value >> shift) & 0xF];
    }
}

// The ANSI API takes paths in the system code page, where a double-byte
// character's trail byte can be 0x5C: only a whole character is a separator.
bool endsWithSeparator(const std::string& text) {
    const char* last = nullptr;
    for (const char* p = text.c_str(); *p != '\0'; p = CharNextA(p)) {
        last = p;
    }
    return last != nullptr && last + 1 == text.c_str() + text.size() &&
           (*last == '\\' || *last == '/');
}

}  // namespace

bool Path::assign(const char* text) {
    if (text == nullptr) {
        return false;
    }
    std::size_t len = 0;
    while (len <= kCapacity && text[len] != '\0') {
        ++len;
    }
    if (len > kCapacity) {
        return false;
    }
    text_.assign(text, len);
    return true;
}

bool Path::assign(std::string_view text) {
    if (text.size() > kCapacity) {
        return false;
    }
    text_.assign(text.data(), text.size());
    return true;
}

bool Path::append(std::string_view relative) {
    const bool needSeparator = !text_.empty() && !endsWithSeparator(text_);
    const std::size_t extra = (needSeparator ? 1 : 0) + relative.size();
    if (!unz::fitsWithin(text_.size(), extra, kCapacity)) {
        return false;
    }
    if (needSeparator) {
        text_ += '\\';
    }
    for (std::size_t i = 0; i < relative.size(); ++i) {
        const char c = relative[i];
        if (IsDBCSLeadByte(static_cast<BYTE>(c)) && i + 1 < relative.size()) {
            text_ += c;
            text_ += relative[++i];
        } else {
            text_ += (c == '/') ? '\\' : c;
        }
    }
    return true;
}

void Path::trimTrailingSeparators() {
    while (text_.size() > 1 && endsWithSeparator(text_)) {
        // "C:\" names the root; without its separator it would mean the
        // current folder of drive C.
        if (text_.size() == 3 && text_[1] == ':') {
            break;
        }
        text_.pop_back();
    }
}

bool listFolder(const Path& folder, std::vector<DirEntry>& out) {
    out.clear();
    Path pattern = folder;
    if (!pattern.append("*")) {
        return false;
    }
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA(pattern.c_str(), &data));
    if (!find.Valid()) {
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    do {
        if (!isDotOrDotDot(data.cFileName)) {
            out.push_back(DirEntry{data.cFileName, data.dwFileAttributes});
        }
    } while (FindNextFileA(find.Get(), &data));
    if (GetLastError() != ERROR_NO_MORE_FILES) {
        return false;
    }
    std::sort(out.begin(), out.end(), lessNoCase);
    return true;
}

bool removeTree(const Path& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesA(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
    const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!isFolder) {
        return DeleteFileA(path.c_str()) != FALSE;
    }
    bool clean = true;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        std::vector<DirEntry> children;
        clean = listFolder(path, children);
        for (const DirEntry& child : children) {
            Path childPath = path;
            clean = childPath.append(child.name) && removeTree(childPath) && clean;
        }
    }
    return RemoveDirectoryA(path.c_str()) != FALSE && clean;
}

bool createUniqueFolder(const Path& parent, Path& out, std::string& name) {
    static volatile LONG counter = 0;
    std::uint32_t seed = GetTickCount() ^ (GetCurrentProcessId() << 16) ^
                         (static_cast<std::uint32_t>(InterlockedIncrement(&counter)) * 0x9E3779B9u);
    for (int attempt = 0; attempt < kUniqueNameAttempts; ++attempt) {
        name = kTempPrefix;
        appendHex32(name, seed);
        name += kTempSuffix;
        out = parent;
        if (!out.append(name)) {
            return false;
        }
        if (CreateDirectoryA(out.c_str(), nullptr)) {
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
        seed = seed * 1664525u + 1013904223u;
    }
    return false;
}

bool FileSource::open(const Path& path) {
    file_.Reset(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file_.Valid()) {
        return false;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file_.Get(), &size) || size.QuadPart < 0) {
        file_.Reset();
        return false;
    }
    size_ = static_cast<std::uint64_t>(size.QuadPart);
    return true;
}

bool FileSource::readAt(std::uint64_t offset, void* buffer, std::size_t len) {
    if (!unz::fitsWithin(offset, len, size_)) {
        return false;
    }
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file_.Get(), position, nullptr, FILE_BEGIN)) {
        return false;
    }
    auto* out = static_cast<std::uint8_t*>(buffer);
    while (len > 0) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(len, unz::kChunkSize));
        DWORD got = 0;
        if (!ReadFile(file_.Get(), out, want, &got, nullptr) || got == 0) {
            return false;  // got == 0: the file shrank under us
        }
        out += got;
        len -= got;
    }
    return true;
}

bool FolderSink::makePath(const std::string& relative, Path& out) {
    out = root_;
    if (!out.append(relative)) {
        pathTooLong_ = true;
        return false;
    }
    return true;
}

bool FolderSink::createDirectory(const std::string& path) {
    Path full;
    return makePath(path, full) && CreateDirectoryA(full.c_str(), nullptr) != FALSE;
}

bool FolderSink::createFile(const unz::FileInfo& info) {
    if (file_.Valid() || !makePath(info.path, filePath_)) {
        return false;
    }
    // CREATE_NEW: the temporary folder is fresh, so any clash (for example a
    // short 8.3 alias of an earlier name) is an error, not an overwrite.
    file_.Reset(CreateFileA(filePath_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    dosTime_ = info.dosTime;
    dosDate_ = info.dosDate;
    return file_.Valid();
}

bool FolderSink::write(const std::uint8_t* data, std::size_t len) {
    while (len > 0) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(len, unz::kChunkSize));
        DWORD done = 0;
        if (!WriteFile(file_.Get(), data, want, &done, nullptr) || done == 0) {
            return false;
        }
        data += done;
        len -= done;
    }
    return true;
}

bool FolderSink::finishFile() {
    if (restoreTimes_) {
        FILETIME local;
        FILETIME utc;
        // An impossible DOS date just leaves the current time.
        if (DosDateTimeToFileTime(dosDate_, dosTime_, &local) &&
            LocalFileTimeToFileTime(&local, &utc)) {
            SetFileTime(file_.Get(), nullptr, nullptr, &utc);
        }
    }
    // The close call's own result counts: a write may fail only there.
    return !file_.Valid() || CloseHandle(file_.Detach()) != FALSE;
}

void FolderSink::abortFile() noexcept {
    if (file_.Valid()) {
        file_.Reset();
        DeleteFileA(filePath_.c_str());
    }
}

}  // namespace unzdll

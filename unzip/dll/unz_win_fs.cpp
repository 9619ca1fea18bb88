#include "unz_win_fs.h"

#include <algorithm>

namespace unzdll {
namespace {

constexpr int kUniqueNameAttempts = 64;
constexpr wchar_t kTempPrefix[] = L"~unz";
constexpr wchar_t kTempSuffix[] = L".tmp";
// A caller's ANSI path is read no further than this: enough for MAX_PATH
// characters of up to three bytes each, as UTF-8 spells the BMP.
constexpr std::size_t kMaxAnsiBytes = 3 * MAX_PATH;

bool isDotOrDotDot(const wchar_t* name) {
    return (name[0] == L'.' && name[1] == L'\0') ||
           (name[0] == L'.' && name[1] == L'.' && name[2] == L'\0');
}

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Appends len bytes of text in codePage to out, or fails (leaving out as it
// was) on a byte sequence the code page does not define: no name is ever
// written with a substitute character.
bool appendConverted(std::wstring& out, UINT codePage, const char* text, std::size_t len) {
    if (len == 0) {
        return true;
    }
    const int units = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text,
                                          static_cast<int>(len), nullptr, 0);
    if (units <= 0 || !unz::fitsWithin(out.size(), static_cast<std::size_t>(units),
                                       Path::kCapacity)) {
        return false;
    }
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(units));
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, static_cast<int>(len),
                            &out[at], units) != units) {
        out.resize(at);
        return false;
    }
    return true;
}

}  // namespace

bool Path::assignAnsi(const char* text) {
    if (text == nullptr) {
        return false;
    }
    std::size_t len = 0;
    while (len <= kMaxAnsiBytes && text[len] != '\0') {
        ++len;
    }
    text_.clear();
    return len <= kMaxAnsiBytes && appendConverted(text_, CP_ACP, text, len);
}

bool Path::append(std::string_view relative) {
    const std::size_t before = text_.size();
    if (!text_.empty() && !isSeparator(text_.back())) {
        text_ += L'\\';
    }
    if (text_.size() > kCapacity ||
        !appendConverted(text_, CP_UTF8, relative.data(), relative.size())) {
        text_.resize(before);
        return false;
    }
    for (std::size_t i = before; i < text_.size(); ++i) {
        if (text_[i] == L'/') {
            text_[i] = L'\\';
        }
    }
    return true;
}

bool Path::append(const std::wstring& name) {
    const bool needSeparator = !text_.empty() && !isSeparator(text_.back());
    if (!unz::fitsWithin(text_.size(), (needSeparator ? 1 : 0) + name.size(), kCapacity)) {
        return false;
    }
    if (needSeparator) {
        text_ += L'\\';
    }
    text_ += name;
    return true;
}

void Path::trimTrailingSeparators() {
    while (text_.size() > 1 && isSeparator(text_.back())) {
        // "C:\" names the root; without its separator it would mean the
        // current folder of drive C.
        if (text_.size() == 3 && text_[1] == L':') {
            break;
        }
        text_.pop_back();
    }
}

void appendHex32(std::wstring& out, std::uint32_t value) {
    for (int shift = 28; shift >= 0; shift -= 4) {
        const wchar_t digit = static_cast<wchar_t>((value >> shift) & 0xF);
        out += static_cast<wchar_t>(digit < 10 ? L'0' + digit : L'a' + digit - 10);
    }
}

bool equalsNoCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool listFolder(const Path& folder, std::vector<DirEntry>& out) {
    out.clear();
    Path pattern = folder;
    if (!pattern.append("*")) {
        return false;
    }
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW(pattern.c_str(), &data));
    if (!find.Valid()) {
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    do {
        if (!isDotOrDotDot(data.cFileName)) {
            out.push_back(DirEntry{data.cFileName, data.dwFileAttributes});
        }
    } while (FindNextFileW(find.Get(), &data));
    if (GetLastError() != ERROR_NO_MORE_FILES) {
        return false;
    }
    std::sort(out.begin(), out.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    return true;
}

bool removeTree(const Path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesW(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
    const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!isFolder) {
        return DeleteFileW(path.c_str()) != FALSE;
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
    return RemoveDirectoryW(path.c_str()) != FALSE && clean;
}

bool createUniqueFolder(const Path& parent, Path& out, std::wstring& name) {
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
        if (CreateDirectoryW(out.c_str(), nullptr)) {
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
    file_.Reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
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
    return makePath(path, full) && CreateDirectoryW(full.c_str(), nullptr) != FALSE;
}

bool FolderSink::createFile(const unz::FileInfo& info) {
    if (file_.Valid() || !makePath(info.path, filePath_)) {
        return false;
    }
    // CREATE_NEW: the temporary folder is fresh, so any clash (a short 8.3
    // alias of an earlier name, or one that differs from it only in the case
    // of letters beyond ASCII) is an error, not an overwrite.
    file_.Reset(CreateFileW(filePath_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
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
        DeleteFileW(filePath_.c_str());
    }
}

}  // namespace unzdll

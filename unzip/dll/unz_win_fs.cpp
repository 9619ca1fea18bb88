#include "unz_win_fs.h"

#include "UnzDll.h"

#include <algorithm>
#include <cwchar>
#include <initializer_list>
#include <iterator>

namespace unzdll {
namespace {

constexpr int kUniqueNameAttempts = 64;
constexpr wchar_t kTempPrefix[] = L"" UNZ_TEMP_PREFIX;
constexpr wchar_t kTempSuffix[] = L"" UNZ_TEMP_SUFFIX;
// A caller's ANSI path is read no further than this: enough for MAX_PATH
// characters of up to three bytes each, as UTF-8 spells the BMP.
constexpr std::size_t kMaxAnsiBytes = 3 * MAX_PATH;

bool isDotOrDotDot(const wchar_t* name) {
    return (name[0] == L'.' && name[1] == L'\0') ||
           (name[0] == L'.' && name[1] == L'.' && name[2] == L'\0');
}

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

// Appends len bytes of text in codePage, or fails (leaving the path as it
// was) on a byte sequence the code page does not define: no name is ever
// written with a substitute character.
bool Path::appendConverted(UINT codePage, const char* text, std::size_t len) {
    if (len == 0) {
        return true;
    }
    const int units = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text,
                                          static_cast<int>(len), nullptr, 0);
    if (units <= 0 || !unz::fitsWithin(size_, static_cast<std::size_t>(units), kCapacity) ||
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, static_cast<int>(len),
                            text_ + size_, units) != units) {
        text_[size_] = L'\0';
        return false;
    }
    truncate(size_ + static_cast<std::size_t>(units));
    return true;
}

// Adds the '\' before a further component, unless the path is empty or
// already ends in a separator.
bool Path::appendSeparator() {
    if (size_ == 0 || isSeparator(text_[size_ - 1])) {
        return true;
    }
    if (size_ >= kCapacity) {
        return false;
    }
    text_[size_] = L'\\';
    truncate(size_ + 1);
    return true;
}

bool Path::assignAnsi(const char* text) {
    truncate(0);
    if (text == nullptr) {
        return false;
    }
    std::size_t len = 0;
    while (len <= kMaxAnsiBytes && text[len] != '\0') {
        ++len;
    }
    return len <= kMaxAnsiBytes && appendConverted(CP_ACP, text, len);
}

bool Path::append(std::string_view relative) {
    const std::size_t before = size_;
    if (!appendSeparator() || !appendConverted(CP_UTF8, relative.data(), relative.size())) {
        truncate(before);
        return false;
    }
    for (std::size_t i = before; i < size_; ++i) {
        if (text_[i] == L'/') {
            text_[i] = L'\\';
        }
    }
    return true;
}

bool Path::append(const wchar_t* name) {
    const std::size_t before = size_;
    const std::size_t len = std::wcslen(name);
    if (!appendSeparator() || !unz::fitsWithin(size_, len, kCapacity)) {
        truncate(before);
        return false;
    }
    for (std::size_t i = 0; i < len; ++i) {
        text_[size_ + i] = name[i];
    }
    truncate(size_ + len);
    return true;
}

void Path::trimTrailingSeparators() {
    while (size_ > 1 && isSeparator(text_[size_ - 1])) {
        // "C:\" names the root; without its separator it would mean the
        // current folder of drive C.
        if (size_ == 3 && text_[1] == L':') {
            break;
        }
        truncate(size_ - 1);
    }
}

std::size_t NamePool::add(const wchar_t* text, std::size_t len) {
    const std::size_t at = units_.size();
    units_.resize(at + len + 1);  // value-initialised: the last unit is the NUL
    std::copy(text, text + len, units_.begin() + static_cast<std::ptrdiff_t>(at));
    return at;
}

void formatHex32(std::uint32_t value, wchar_t (&out)[kHex32Size]) {
    for (std::size_t i = 0; i + 1 < kHex32Size; ++i) {
        const wchar_t digit = static_cast<wchar_t>((value >> (28 - 4 * i)) & 0xF);
        out[i] = static_cast<wchar_t>(digit < 10 ? L'0' + digit : L'a' + digit - 10);
    }
    out[kHex32Size - 1] = L'\0';
}

bool equalsNoCase(const wchar_t* a, const wchar_t* b) {
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

bool listFolder(const Path& folder, FolderListing& out) {
    out.entries.clear();
    out.names.clear();
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
            const std::size_t at = out.names.add(data.cFileName, std::wcslen(data.cFileName));
            out.entries.push_back(FolderListing::Entry{at, data.dwFileAttributes});
        }
    } while (FindNextFileW(find.Get(), &data));
    if (GetLastError() != ERROR_NO_MORE_FILES) {
        return false;
    }
    // By UTF-16 code units, as a plain ordinal comparison orders them.
    std::sort(out.entries.begin(), out.entries.end(),
              [&out](const FolderListing::Entry& a, const FolderListing::Entry& b) {
                  const wchar_t* x = out.name(a);
                  const wchar_t* y = out.name(b);
                  while (*x != L'\0' && *x == *y) {
                      ++x;
                      ++y;
                  }
                  return *x < *y;
              });
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
        FolderListing children;
        clean = listFolder(path, children);
        for (const FolderListing::Entry& child : children.entries) {
            Path childPath = path;
            clean = childPath.append(children.name(child)) && removeTree(childPath) && clean;
        }
    }
    return RemoveDirectoryW(path.c_str()) != FALSE && clean;
}

bool createUniqueFolder(const Path& parent, Path& out, wchar_t (&name)[kTempNameSize]) {
    static_assert(kHex32Size - 1 == UNZ_TEMP_HEX_DIGITS, "the published name");
    static_assert(std::size(kTempPrefix) - 1 + (kHex32Size - 1) + std::size(kTempSuffix) ==
                  kTempNameSize);
    static volatile LONG counter = 0;
    std::uint32_t seed = GetTickCount() ^ (GetCurrentProcessId() << 16) ^
                         (static_cast<std::uint32_t>(InterlockedIncrement(&counter)) * 0x9E3779B9u);
    for (int attempt = 0; attempt < kUniqueNameAttempts; ++attempt) {
        wchar_t hex[kHex32Size];
        formatHex32(seed, hex);
        std::size_t at = 0;
        for (const wchar_t* part : {kTempPrefix, static_cast<const wchar_t*>(hex), kTempSuffix}) {
            for (; *part != L'\0'; ++part) {
                name[at++] = *part;
            }
        }
        name[at] = L'\0';
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

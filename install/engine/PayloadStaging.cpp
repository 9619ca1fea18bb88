#include "engine/PayloadStaging.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cstddef>
#include <memory>
#include <new>

#include "engine/ProfileFolder.h"
#include "payload/ImageCheck.h"
#include "shell/FolderIdentity.h"
#include "shell/Owners.h"
#include "shell/SetupState.h"
#include "shell/Text.h"
#include "shell/TextPath.h"

namespace {

// Each path starts as the staging folder and gets the file name appended.
template <std::size_t N>
bool BuildStagingPath(char (&path)[N], const char* fileName)
{
    return text::Copy(path, g_setup.stagingDir) && text::AppendPath(path, fileName);
}

// One WriteFile call takes a whole image, so its size must fit a DWORD (always, on i686).
constexpr bool FitsOneWrite(unsigned long long byteCount)
{
    return byteCount <= MAXDWORD;
}

} // namespace

bool PayloadIntact()
{
    return ImageIntact(LibraryImage) && ImageIntact(ArchiveImage);
}

bool IsInStagingFolder(const char* path)
{
    char staging[MAX_PATH];
    if (!FindShellFolder(CSIDL_TEMPLATES, staging)) return false;
    // The staging folder as a prefix that ends at a folder boundary of path.
    PathRemoveBackslashA(staging);
    const int length = lstrlenA(staging);
    if (length == 0) return false;
    if (lstrlenA(path) >= length &&
        CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path, length, staging, length) == CSTR_EQUAL &&
        (path[length] == '\0' || path[length] == '\\'))
        return true;
    // Or the staging folder under another name: a drive letter mapped onto it, a share, a link.
    FolderIdentity stagingFolder;
    return IdentifyFolder(staging, stagingFolder) && LiesWithin(path, stagingFolder);
}

int StagePayload()
{
    g_setup.libraryStaged = false;
    g_setup.archiveStaged = false;
    // Without the Templates folder the paths would point at the current directory.
    if (!FindProfileFolder(CSIDL_TEMPLATES, g_setup.stagingDir)) return 1;
    if (!BuildStagingPath(g_setup.unzipLibraryPath, StagedLibraryName)) return 1;
    if (!BuildStagingPath(g_setup.archivePath, StagedArchiveName)) return 1;

    if (WriteEmbeddedImage(g_setup.unzipLibraryPath, LibraryImage) != 0) return 1;
    g_setup.libraryStaged = true;
    if (WriteEmbeddedImage(g_setup.archivePath, ArchiveImage) != 0) return 1;
    g_setup.archiveStaged = true;
    return 0;
}

int WriteEmbeddedImage(const char* path, const EmbeddedImage& image)
{
    if (!FitsOneWrite(image.byteCount)) return 1;
    const DWORD byteCount = static_cast<DWORD>(image.byteCount);

    // Unpacked before the file is touched, so a failed allocation leaves any earlier file as
    // it was instead of an empty one.
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[byteCount ? byteCount : 1]);
    if (!buffer) return 1;
    for (DWORD i = 0; i < byteCount; ++i) buffer[i] = static_cast<unsigned char>(image.words[i] & 0xFFu);

    FileHandle file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file.Valid()) return 1;

    DWORD written = 0;
    const bool complete = WriteFile(file.Get(), buffer.get(), byteCount, &written, nullptr) && written == byteCount;
    file.Reset();
    if (complete) return 0;

    // A partial library or archive must not be mistaken for a good one by a later step.
    DeleteFileA(path);
    return 1;
}

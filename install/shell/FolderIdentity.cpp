#include "shell/FolderIdentity.h"

#include <shlwapi.h>

#include <cstring>

#include "shell/Owners.h"
#include "shell/Text.h"

bool SameFolder(const FolderIdentity& a, const FolderIdentity& b)
{
    // A serial of 0 means the volume did not say: Wine reports 0 until its mount manager
    // answers, and the number then changes within one run. The index still tells, and a
    // false match only refuses a deletion.
    const bool sameVolume = a.volumeSerial == b.volumeSerial || a.volumeSerial == 0 || b.volumeSerial == 0;
    return sameVolume && a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
}

bool ToFolderAbove(char (&path)[MAX_PATH])
{
    // By names, multi-byte aware; the length must shrink, so a walk up always ends.
    std::size_t before = std::strlen(path);
    return PathRemoveFileSpecA(path) && std::strlen(path) < before;
}

bool IdentifyFolder(const char* path, FolderIdentity& identity)
{
    // No access asked: only the folder's information is read, so nobody's sharing is in the way.
    // Backup semantics is what lets CreateFile open a folder at all.
    FileHandle folder(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder.Valid()) return false;
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(folder.Get(), &information)) return false;
    if (!(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    // A file system without indexes reports zero for every folder: that tells nothing.
    if (information.nFileIndexHigh == 0 && information.nFileIndexLow == 0) return false;
    identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
    return true;
}

bool LiesWithin(const char* path, const FolderIdentity& folder)
{
    char current[MAX_PATH];
    DWORD length = GetFullPathNameA(path, MAX_PATH, current, nullptr);
    if (length == 0 || length >= MAX_PATH) return false;
    for (;;) {
        FolderIdentity identity;
        if (IdentifyFolder(current, identity) && SameFolder(identity, folder)) return true;
        if (!ToFolderAbove(current)) return false;
    }
}

bool FinalPath(const char* path, char (&final)[MAX_PATH])
{
    using Query = DWORD(WINAPI*)(HANDLE file, LPSTR path, DWORD capacity, DWORD flags);
    static const auto query = reinterpret_cast<Query>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA")));
    final[0] = '\0';
    if (!query) return false;
    FileHandle entry(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!entry.Valid()) return false;
    char answer[MAX_PATH];
    DWORD length = query(entry.Get(), answer, MAX_PATH, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= MAX_PATH) return false;
    // The answer comes as "\\?\X:\..." or "\\?\UNC\server\share\..."; without the prefix it
    // is shorter still, so it fits.
    constexpr char DevicePrefix[] = "\\\\?\\";
    constexpr char NetworkPrefix[] = "\\\\?\\UNC\\";
    constexpr std::size_t DevicePrefixLength = sizeof DevicePrefix - 1;
    constexpr std::size_t NetworkPrefixLength = sizeof NetworkPrefix - 1;
    if (std::strncmp(answer, NetworkPrefix, NetworkPrefixLength) == 0)
        return text::Copy(final, "\\\\") && text::Append(final, answer + NetworkPrefixLength);
    if (std::strncmp(answer, DevicePrefix, DevicePrefixLength) == 0) return text::Copy(final, answer + DevicePrefixLength);
    return text::Copy(final, answer);
}

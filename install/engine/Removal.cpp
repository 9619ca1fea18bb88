#include "engine/Removal.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

#include "engine/ProfileFolder.h"
#include "engine/Shortcuts.h"
#include "registry/Registry.h"
#include "shell/FolderIdentity.h"
#include "shell/Owners.h"
#include "shell/SetupState.h"
#include "shell/Text.h"
#include "shell/TextPath.h"

namespace {

// Folders that a removal never deletes, nor any folder that contains one of them, are all
// those the platform names for the user and the system (the current user's and the common
// ones): a path read from the registry is only as trustworthy as whoever wrote it. The
// platform's folder ids run below this bound; ids it does not know, or that name no folder on
// disk, are skipped.
constexpr int FolderIdLimit = 0x40;

// Wildcards would widen a deletion; a colon past the drive names a stream or a device.
bool HasForbiddenCharacter(const char* path)
{
    for (const char* c = path; *c; ++c) {
        unsigned char ch = static_cast<unsigned char>(*c);
        if (ch < 0x20 || std::strchr("*?\"<>|", ch)) return true;
        if (ch == ':' && c != path + 1) return true;
    }
    return false;
}

// Paths are walked a character at a time: in a double-byte code page the second byte of a
// letter can be '\\' ("\x83\x5C" is one letter in code page 932). A character of one byte is
// returned as itself, any longer one as 0, which is no separator, dot or space.
char CharacterAt(const char* at, const char*& next)
{
    next = CharNextA(at);
    return next - at == 1 ? *at : '\0';
}

// The first backslash from `from` on that is a character of its own, or null.
const char* NextSeparator(const char* from)
{
    const char* next = from;
    for (const char* c = from; *c; c = next)
        if (CharacterAt(c, next) == '\\') return c;
    return nullptr;
}

bool EndsWithSeparator(const char* path)
{
    char last = '\0';
    const char* next = path;
    for (const char* c = path; *c; c = next) last = CharacterAt(c, next);
    return last == '\\';
}

// Length of "C:\" or "\\server\share\" at the start of a full path; 0 for an incomplete
// network root.
std::size_t RootLength(const char* full)
{
    if (full[0] == '\0' || full[1] == '\0') return 0;
    if (full[1] == ':') return 3;
    const char* serverEnd = NextSeparator(full + 2);
    if (!serverEnd || serverEnd == full + 2) return 0;
    const char* shareEnd = NextSeparator(serverEnd + 1);
    if (!shareEnd || shareEnd == serverEnd + 1) return 0;
    return static_cast<std::size_t>(shareEnd - full) + 1;
}

// Full, long-named form without a trailing backslash (a root keeps its own), so that two
// spellings of one folder compare equal. False when it does not fit.
bool ResolveFolder(const char* path, char (&resolved)[MAX_PATH])
{
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return false;
    DWORD longLength = GetLongPathNameA(full, resolved, MAX_PATH);
    if (longLength == 0 || longLength >= MAX_PATH) text::Copy(resolved, full);
    // Trailing backslashes go, up to the root's own.
    char* end = resolved + RootLength(resolved);
    const char* next = end;
    for (const char* c = end; *c; c = next)
        if (CharacterAt(c, next) != '\\') end = resolved + (next - resolved);
    *end = '\0';
    return true;
}

bool SameTextIgnoringCase(const char* a, const char* b, std::size_t length)
{
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a, static_cast<int>(length), b,
                          static_cast<int>(length)) == CSTR_EQUAL;
}

// True when `folder` is `other` or one of the folders above it.
bool IsSameOrAbove(const char* folder, const char* other)
{
    std::size_t length = std::strlen(folder);
    std::size_t otherLength = std::strlen(other);
    if (length == 0 || otherLength < length) return false;
    if (otherLength > length && other[length] != '\\' && !EndsWithSeparator(folder)) return false;
    return SameTextIgnoringCase(folder, other, length);
}

// The path has a name below its root, and no name that the file system would quietly
// shorten (trailing dots and spaces are dropped, turning one name into another).
bool HasCleanNamesBelowRoot(const char* resolved)
{
    std::size_t root = RootLength(resolved);
    std::size_t length = std::strlen(resolved);
    if (root == 0 || length <= root) return false;
    char previous = '\\';  // the root ends in one
    const char* next = resolved + root;
    for (const char* c = resolved + root;; c = next) {
        const bool end = *c == '\0';
        const char current = end ? '\0' : CharacterAt(c, next);
        if (end || current == '\\') {
            // An empty name, or one that the file system would shorten.
            if (previous == '\\' || previous == '.' || previous == ' ') return false;
            if (end) return true;
        }
        previous = current;
    }
}

// A protected folder in the code page. One whose path does not fit MAX_PATH bytes there stands
// for the nearest folder above it that fits: no path we are given (which fits) lies between the
// two, so whatever would reach the folder reaches that one too. Letters the code page lacks
// come out as "?" or look-alikes, which still compare as the folders above them.
bool ProtectedFolder(int csidl, char (&folder)[MAX_PATH])
{
    folder[0] = '\0';
    wchar_t wide[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(g_setup.mainWindow, csidl, nullptr, SHGFP_TYPE_CURRENT, wide))) return false;
    while (wide[0] != L'\0') {
        if (WideCharToMultiByte(CP_ACP, 0, wide, -1, folder, MAX_PATH, nullptr, nullptr) > 0) return true;
        wchar_t* last = std::wcsrchr(wide, L'\\');
        if (!last) break;
        *last = L'\0';
    }
    folder[0] = '\0';
    return false;
}

// A folder about to be deleted, by spelling and, when it exists, by identity: another drive
// letter, a share or a link can name a protected folder in a spelling no comparison of text
// would catch. The protected folders share most of the folders above them, and each look at a
// folder opens it, so each is compared once: a walk up stops at a folder already compared,
// whose own folders above were compared with it.
struct Candidate {
    static constexpr int ComparedCapacity = 128;  // beyond it, folders are simply compared again

    const char* resolved;
    FolderIdentity identity;
    bool identified;
    int comparedCount;
    char compared[ComparedCapacity][MAX_PATH];
};

bool AlreadyCompared(Candidate& candidate, const char* folder)
{
    for (int i = 0; i < candidate.comparedCount; ++i)
        if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, candidate.compared[i], -1, folder, -1) == CSTR_EQUAL)
            return true;
    if (candidate.comparedCount < Candidate::ComparedCapacity)
        text::Copy(candidate.compared[candidate.comparedCount++], folder);
    return false;
}

// Whether the candidate is the folder, or one of the folders above it, by identity.
bool IsFolderOrAbove(Candidate& candidate, const char* folder)
{
    char current[MAX_PATH];
    DWORD length = GetFullPathNameA(folder, MAX_PATH, current, nullptr);
    if (length == 0 || length >= MAX_PATH) return false;
    do {
        if (AlreadyCompared(candidate, current)) return false;
        FolderIdentity identity;
        if (IdentifyFolder(current, identity) && SameFolder(identity, candidate.identity)) return true;
    } while (ToFolderAbove(current));
    return false;
}

// Deleting the candidate would delete the folder: it is that folder or one above it.
bool WouldDelete(Candidate& candidate, const char* folder, const char* resolvedFolder)
{
    if (IsSameOrAbove(candidate.resolved, resolvedFolder)) return true;
    return candidate.identified && IsFolderOrAbove(candidate, folder);
}

// The folders that only the newer known-folder list names (Downloads, Saved Games, Links and
// the like), enumerated from the platform. Without the list, none are added.
bool TouchesKnownFolder(Candidate& candidate)
{
    // Balanced here, so the check holds whether or not the caller's thread has COM.
    struct Com {
        HRESULT result = CoInitialize(nullptr);
        ~Com() { if (SUCCEEDED(result)) CoUninitialize(); }
    } com;
    ComPtr<IKnownFolderManager> manager;
    if (FAILED(CoCreateInstance(CLSID_KnownFolderManager, nullptr, CLSCTX_INPROC_SERVER, IID_IKnownFolderManager,
                                manager.PutVoid())))
        return false;
    KNOWNFOLDERID* ids = nullptr;
    UINT count = 0;
    if (FAILED(manager->GetFolderIds(&ids, &count)) || !ids) return false;
    bool touches = false;
    for (UINT i = 0; i < count && !touches; ++i) {
        ComPtr<IKnownFolder> known;
        wchar_t* wide = nullptr;
        if (FAILED(manager->GetFolder(ids[i], known.Put())) || FAILED(known->GetPath(KF_FLAG_DONT_VERIFY, &wide)))
            continue;
        char folder[MAX_PATH];
        char protectedFolder[MAX_PATH];
        // A folder the code page cannot name cannot be a path we were given either.
        BOOL defaulted = FALSE;
        bool named = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, folder, MAX_PATH, nullptr,
                                         &defaulted) > 0 && !defaulted;
        CoTaskMemFree(wide);
        touches = named && ResolveFolder(folder, protectedFolder) && WouldDelete(candidate, folder, protectedFolder);
    }
    CoTaskMemFree(ids);
    return touches;
}

// Nothing of ours lives inside the system's own folder, whatever the spelling.
bool InsideSystemFolder(const Candidate& candidate, const char* windows, const char* resolvedWindows)
{
    if (IsSameOrAbove(resolvedWindows, candidate.resolved)) return true;
    FolderIdentity system;
    return IdentifyFolder(windows, system) && LiesWithin(candidate.resolved, system);
}

bool TouchesProtectedFolder(const char* resolved)
{
    // On the heap: 33 KB are too much for the stack, and a static would be carried in the
    // program file. Without the memory nothing can be shown safe.
    std::unique_ptr<Candidate> owned(new (std::nothrow) Candidate);
    if (!owned) return true;
    Candidate& candidate = *owned;
    candidate.resolved = resolved;
    candidate.comparedCount = 0;
    candidate.identified = IdentifyFolder(resolved, candidate.identity);
    char folder[MAX_PATH];
    char protectedFolder[MAX_PATH];
    for (int id = 0; id < FolderIdLimit; ++id) {
        // A folder not made yet is still the platform's: deleting its parent is no safer.
        if (!ProtectedFolder(id | CSIDL_FLAG_DONT_VERIFY, folder) || !ResolveFolder(folder, protectedFolder))
            continue;
        if (WouldDelete(candidate, folder, protectedFolder)) return true;
        if (id == CSIDL_WINDOWS && InsideSystemFolder(candidate, folder, protectedFolder)) return true;
    }
    DWORD length = GetTempPathA(MAX_PATH, folder);
    if (length > 0 && length < MAX_PATH && ResolveFolder(folder, protectedFolder) &&
        WouldDelete(candidate, folder, protectedFolder))
        return true;
    return TouchesKnownFolder(candidate);
}

// Everything one removal deletes, worked out and checked before anything is touched; an
// empty path means there is nothing of that kind to delete.
struct RemovalPlan {
    char programFolder[MAX_PATH];
    char desktopLink[MAX_PATH];
    char startMenuLink[MAX_PATH];
    char programGroup[MAX_PATH];
    bool programPathUnread;  // why the plan failed, when it did for that
};

void PlanLink(int csidl, const char* name, char (&link)[MAX_PATH])
{
    char folder[MAX_PATH];
    // No such folder, or none the code page names whole: no shortcut was made in it. Nor is one
    // made whose path does not fit MAX_PATH bytes (FormatLinkPath refuses it for both sides).
    if (!FindShellFolder(csidl, folder) || !FormatLinkPath(link, folder, name)) link[0] = '\0';
}

bool PlanRemoval(RemovalPlan& plan)
{
    const char* name = g_setup.selectedVersionName;
    if (!IsUsableVersionName(name)) return false;

    // Without a recorded path, or with an empty one, there is no folder to delete; a recorded
    // one must be safe. One that is there but cannot be read whole (too long, of another type)
    // still names a folder: removing the record would leave that folder unreachable.
    if (ReadInstalledProgramPath() != 0) {
        if (IsInstalledProgramPathRecorded()) {
            plan.programPathUnread = true;
            return false;
        }
    } else if (g_setup.programDir[0] != '\0' && !IsSafeFolderToDelete(g_setup.programDir, plan.programFolder)) {
        return false;
    }
    PlanLink(CSIDL_DESKTOPDIRECTORY, name, plan.desktopLink);
    PlanLink(CSIDL_STARTMENU, name, plan.startMenuLink);

    char programs[MAX_PATH];
    if (FindShellFolder(CSIDL_PROGRAMS, programs)) {
        char group[MAX_PATH];
        if (!FormatGroupPath(group, programs, name)) return false;
        if (!IsSafeFolderToDelete(group, plan.programGroup)) return false;
    }
    return true;
}

bool IsDotEntry(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

// Something that is already gone needs no deleting (a listing may still name an entry that
// this walk has just deleted).
bool Deleted(BOOL result)
{
    if (result) return true;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// A link is removed as itself, whichever kind of entry it poses as; what it points to is
// never entered.
bool RemoveLink(const char* path, DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (RemoveDirectoryA(path)) return true;
        return Deleted(DeleteFileA(path));
    }
    if (DeleteFileA(path)) return true;
    return Deleted(RemoveDirectoryA(path));
}

// Read-only entries are deleted too, as the shell's delete does.
void AllowDeletion(const char* path, DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
}

// The path the platform ends up at for an entry, links followed; false when it cannot say
// (before Windows Vista there is no such query, and no links to files either).
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
    DWORD length = query(entry.Get(), final, MAX_PATH, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= MAX_PATH) {
        final[0] = '\0';
        return false;
    }
    return true;
}

// Wine shows a Unix link to a file as a plain file, and deleting it there deletes what it
// points to. So a file is deleted only where the platform, following links, finds it: in the
// folder being walked, under the name it was listed by.
bool IsReachedDirectly(const char* folderFinal, const char* file, const char* name)
{
    if (folderFinal[0] == '\0') return true;  // nothing to compare with
    char expected[MAX_PATH];
    char final[MAX_PATH];
    if (!text::Copy(expected, folderFinal) || !text::AppendPath(expected, name)) return false;
    if (!FinalPath(file, final)) return false;
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, expected, -1, final, -1) == CSTR_EQUAL;
}

// A folder is deleted in two walks: the first only tries whether each entry could go, the
// second deletes. So a program still running from the folder, or any file of it held open,
// leaves the folder whole rather than half deleted.
enum class Walk { Try, Delete };

// Whether the file could be deleted now: opening it for deletion fails while someone holds it
// without sharing deletion, and marking it fails while it runs as a program. The mark is taken
// back at once. A read-only file cannot be marked; deleting clears that attribute first.
bool CanDeleteFile(const char* path, DWORD attributes)
{
    FileHandle file(CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    if (!file.Valid()) return false;
    if (attributes & FILE_ATTRIBUTE_READONLY) return true;
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    if (!SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition, sizeof disposition)) return false;
    disposition.DeleteFile = FALSE;
    return SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// A folder held open without sharing deletion (a program's current folder) cannot go either.
bool CanDeleteFolder(const char* path)
{
    FileHandle folder(CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return folder.Valid();
}

bool DeleteEntry(const char* path, const char* name, DWORD listedAttributes, const char* folderFinal, Walk walk);

// Deletes a real folder and everything below it (or tries whether it could), walking the tree
// itself so that no link inside is ever followed. Stops at the first entry that cannot go.
bool DeleteTree(const char* folder, DWORD attributes, Walk walk)
{
    char pattern[MAX_PATH];
    if (!text::Copy(pattern, folder) || !text::AppendPath(pattern, "*")) return false;
    char folderFinal[MAX_PATH];
    FinalPath(folder, folderFinal);
    {
        WIN32_FIND_DATAA found;
        FindSearch search(FindFirstFileA(pattern, &found));
        if (!search.Valid()) return false;  // even an empty folder lists "." and ".."
        do {
            if (IsDotEntry(found.cFileName)) continue;
            // A name the code page cannot spell is reached by its short alias.
            const char* name = found.cFileName;
            if (std::strchr(name, '?') && found.cAlternateFileName[0] != '\0') name = found.cAlternateFileName;
            char entry[MAX_PATH];
            if (!text::Copy(entry, folder) || !text::AppendPath(entry, name)) return false;
            if (!DeleteEntry(entry, name, found.dwFileAttributes, folderFinal, walk)) return false;
        } while (FindNextFileA(search.Get(), &found));
        if (GetLastError() != ERROR_NO_MORE_FILES) return false;
    }
    if (walk == Walk::Try) return CanDeleteFolder(folder);
    AllowDeletion(folder, attributes);
    return Deleted(RemoveDirectoryA(folder));
}

bool DeleteEntry(const char* path, const char* name, DWORD listedAttributes, const char* folderFinal, Walk walk)
{
    // The entry as it is now, not only as listed: a folder swapped for a link since the
    // listing must not be entered either.
    DWORD current = GetFileAttributesA(path);
    DWORD attributes = listedAttributes | (current == INVALID_FILE_ATTRIBUTES ? 0 : current);
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return walk == Walk::Try || RemoveLink(path, attributes);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return DeleteTree(path, attributes, walk);
    if (!IsReachedDirectly(folderFinal, path, name)) return false;
    if (walk == Walk::Try) return CanDeleteFile(path, attributes);
    AllowDeletion(path, attributes);
    return Deleted(DeleteFileA(path));
}

// A planned folder, deleted only while it is still a real folder and not a link, and only
// when all of it can go.
bool DeleteFolder(const char* folder)
{
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return false;
    return DeleteTree(folder, attributes, Walk::Try) && DeleteTree(folder, attributes, Walk::Delete);
}

bool IsPresent(const char* path) { return path[0] != '\0' && PathFileExistsA(path); }

} // namespace

bool IsSafeFolderToDelete(const char* path, char (&resolved)[MAX_PATH])
{
    resolved[0] = '\0';
    if (!path || !text::IsFullPath(path) || HasForbiddenCharacter(path)) return false;
    char candidate[MAX_PATH];
    if (!ResolveFolder(path, candidate)) return false;
    if (!text::IsFullPath(candidate) || !HasCleanNamesBelowRoot(candidate)) return false;
    if (TouchesProtectedFolder(candidate)) return false;
    // Only a real folder is deleted whole; a link to a folder elsewhere is not followed.
    DWORD attributes = GetFileAttributesA(candidate);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)))
        return false;
    return text::Copy(resolved, candidate);
}

RemovalResult RemoveInstalledVersion()
{
    RemovalPlan plan{};
    if (!PlanRemoval(plan)) return plan.programPathUnread ? RemovalResult::ProgramPathUnread : RemovalResult::Kept;

    bool ok = true;
    if (IsPresent(plan.programFolder) && !DeleteFolder(plan.programFolder)) return RemovalResult::ProgramInUse;
    if (IsPresent(plan.desktopLink) && !DeleteFileA(plan.desktopLink)) ok = false;
    if (IsPresent(plan.startMenuLink) && !DeleteFileA(plan.startMenuLink)) ok = false;
    if (IsPresent(plan.programGroup) && !DeleteFolder(plan.programGroup)) return RemovalResult::Kept;
    if (!ok) return RemovalResult::Kept;

    DeleteVersionKey();
    DeleteProductKey();
    // The record is gone exactly when its program path can no longer be read.
    bool gone = ReadInstalledProgramPath() != 0 && !IsInstalledProgramPathRecorded();
    return gone ? RemovalResult::Removed : RemovalResult::Kept;
}

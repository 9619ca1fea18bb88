#include "engine/Removal.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cstring>

#include "engine/ProfileFolder.h"
#include "engine/Shortcuts.h"
#include "registry/Registry.h"
#include "shell/FolderIdentity.h"
#include "shell/Owners.h"
#include "shell/SetupState.h"
#include "shell/Text.h"
#include "shell/TextPath.h"

namespace {

// Everything one removal deletes, worked out and checked before anything is touched; an
// empty path means there is nothing of that kind to delete.
struct RemovalPlan {
    char programFolder[MAX_PATH];
    char desktopLink[MAX_PATH];
    char startMenuLink[MAX_PATH];
    char programGroup[MAX_PATH];
};

void PlanLink(int csidl, const char* name, char (&link)[MAX_PATH])
{
    char folder[MAX_PATH];
    // No such folder, or none the code page names whole: no shortcut was made in it. Nor is one
    // made whose path does not fit MAX_PATH bytes (FormatLinkPath refuses it for both sides).
    if (!FindShellFolder(csidl, folder) || !FormatLinkPath(link, folder, name)) link[0] = '\0';
}

Refusal PlanRemoval(RemovalPlan& plan)
{
    const char* name = g_setup.selectedVersionName;
    if (!IsUsableVersionName(name)) return Refusal::UnusableName;

    // Without a recorded path, or with an empty one, there is no folder to delete; a recorded
    // one must be safe. One that is there but cannot be read whole (too long, of another type,
    // cut by a NUL) still names a folder: removing the record would leave that folder
    // unreachable.
    if (ReadInstalledProgramPath() != 0) {
        if (IsInstalledProgramPathRecorded()) return Refusal::ProgramPathUnread;
    } else if (g_setup.programDir[0] != '\0') {
        Refusal refusal = CheckProgramFolderToDelete(g_setup.programDir, name, plan.programFolder);
        if (refusal != Refusal::None) return refusal;
    }
    PlanLink(CSIDL_DESKTOPDIRECTORY, name, plan.desktopLink);
    PlanLink(CSIDL_STARTMENU, name, plan.startMenuLink);

    char programs[MAX_PATH];
    if (FindShellFolder(CSIDL_PROGRAMS, programs)) {
        char group[MAX_PATH];
        if (!FormatGroupPath(group, programs, name)) return Refusal::UnusableName;
        if (CheckFolderToDelete(group, name, plan.programGroup) != Refusal::None) return Refusal::UnsafeProgramGroup;
    }
    return Refusal::None;
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

RemovalResult RemoveInstalledVersion()
{
    RemovalPlan plan{};
    Refusal refusal = PlanRemoval(plan);
    if (refusal != Refusal::None) return {RemovalOutcome::Refused, refusal};

    bool ok = true;
    if (IsPresent(plan.programFolder) && !DeleteFolder(plan.programFolder)) return {RemovalOutcome::ProgramInUse};
    if (IsPresent(plan.desktopLink) && !DeleteFileA(plan.desktopLink)) ok = false;
    if (IsPresent(plan.startMenuLink) && !DeleteFileA(plan.startMenuLink)) ok = false;
    if (IsPresent(plan.programGroup) && !DeleteFolder(plan.programGroup)) return {RemovalOutcome::Kept};
    if (!ok) return {RemovalOutcome::Kept};

    DeleteVersionKey();
    DeleteProductKey();
    // The record is gone exactly when its program path can no longer be read.
    bool gone = ReadInstalledProgramPath() != 0 && !IsInstalledProgramPathRecorded();
    return {gone ? RemovalOutcome::Removed : RemovalOutcome::Kept};
}

#include "engine/RemovalSafety.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

#include "registry/Registry.h"
#include "shell/FolderIdentity.h"
#include "shell/Owners.h"
#include "shell/Product.h"
#include "shell/Text.h"
#include "shell/TextPath.h"

namespace {

// Folders that a removal never deletes, nor any folder that contains one of them, are all
// those the platform names for the user and the system (the current user's and the common
// ones). The platform's folder ids run below this bound; ids it does not know, or that name no
// folder on disk, are skipped.
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

bool SameText(const char* a, const char* b)
{
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a, -1, b, -1) == CSTR_EQUAL;
}

// True when `folder` is `other` or one of the folders above it.
bool IsSameOrAbove(const char* folder, const char* other)
{
    std::size_t length = std::strlen(folder);
    std::size_t otherLength = std::strlen(other);
    if (length == 0 || otherLength < length) return false;
    if (otherLength > length && other[length] != '\\' && !EndsWithSeparator(folder)) return false;
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, folder, static_cast<int>(length), other,
                          static_cast<int>(length)) == CSTR_EQUAL;
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
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, wide))) return false;
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
        if (SameText(candidate.compared[i], folder)) return true;
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

// Deleting the candidate would delete the folder: it is that folder or one above it, along
// the folder's own path or along the path its links finally lead to. A folder that is a link
// (Wine's Documents into the Unix home, a junction on Windows) lives where it leads, and
// deleting a folder above its target deletes it as surely.
bool WouldDelete(Candidate& candidate, const char* folder, const char* resolvedFolder)
{
    if (IsSameOrAbove(candidate.resolved, resolvedFolder)) return true;
    char final[MAX_PATH];
    const bool leads = FinalPath(folder, final);
    if (leads && IsSameOrAbove(candidate.resolved, final)) return true;
    if (!candidate.identified) return false;
    return IsFolderOrAbove(candidate, folder) || (leads && IsFolderOrAbove(candidate, final));
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

bool TouchesProtectedFolder(Candidate& candidate)
{
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

// Another version's recorded program folder lies in the candidate; paths that name no full
// path name nothing to keep.
bool HoldsProgramFolder(const char*, const char* path, void* context)
{
    Candidate& candidate = *static_cast<Candidate*>(context);
    char resolved[MAX_PATH];
    return text::IsFullPath(path) && ResolveFolder(path, resolved) && WouldDelete(candidate, path, resolved);
}

// The version's own folder: its last name is the version's, or the launcher is in it.
bool IsTheVersionsOwn(const char* resolved, const char* versionName)
{
    if (SameText(PathFindFileNameA(resolved), versionName)) return true;
    char launcher[MAX_PATH];
    if (!text::Copy(launcher, resolved) || !text::AppendPath(launcher, LauncherFileName)) return false;
    DWORD attributes = GetFileAttributesA(launcher);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

enum class FolderKind { Any, ProgramFolder };

Refusal CheckFolder(const char* path, const char* versionName, FolderKind kind, char (&resolved)[MAX_PATH])
{
    resolved[0] = '\0';
    if (!path || !text::IsFullPath(path) || HasForbiddenCharacter(path)) return Refusal::UnusablePath;
    char full[MAX_PATH];
    if (!ResolveFolder(path, full)) return Refusal::UnusablePath;
    if (!text::IsFullPath(full)) return Refusal::UnusablePath;
    const std::size_t root = RootLength(full);
    if (root > 0 && std::strlen(full) <= root) return Refusal::WholeDrive;
    if (!HasCleanNamesBelowRoot(full)) return Refusal::UnusablePath;

    // On the heap: 33 KB are too much for the stack, and a static would be carried in the
    // program file. Without the memory nothing can be shown safe.
    std::unique_ptr<Candidate> owned(new (std::nothrow) Candidate);
    if (!owned) return Refusal::ProtectedFolder;
    Candidate& candidate = *owned;
    candidate.resolved = full;
    candidate.comparedCount = 0;
    candidate.identified = IdentifyFolder(full, candidate.identity);
    if (TouchesProtectedFolder(candidate)) return Refusal::ProtectedFolder;

    // What is not there needs no deleting; what is must be a real folder, not a link to a
    // folder elsewhere, nor a file.
    DWORD attributes = GetFileAttributesA(full);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return Refusal::NotAFolder;
        if (AnyOtherProgramPath(versionName, HoldsProgramFolder, &candidate)) return Refusal::HoldsOtherVersion;
        if (kind == FolderKind::ProgramFolder && !IsTheVersionsOwn(full, versionName)) return Refusal::NotTheProduct;
    }
    return text::Copy(resolved, full) ? Refusal::None : Refusal::UnusablePath;
}

} // namespace

Refusal CheckFolderToDelete(const char* path, const char* versionName, char (&resolved)[MAX_PATH])
{
    return CheckFolder(path, versionName, FolderKind::Any, resolved);
}

Refusal CheckProgramFolderToDelete(const char* path, const char* versionName, char (&resolved)[MAX_PATH])
{
    return CheckFolder(path, versionName, FolderKind::ProgramFolder, resolved);
}

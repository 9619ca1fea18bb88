#include "engine/Shortcuts.h"

#include <objbase.h>
#include <shlobj.h>

#include "engine/ProfileFolder.h"
#include "shell/Owners.h"
#include "shell/SetupState.h"
#include "shell/Text.h"
#include "shell/TextPath.h"

namespace {

constexpr const char LinkPathFormat[] = "%s\\%s.lnk";
constexpr const char GroupPathFormat[] = "%s\\%s";

// Captions and targets of the program group, in the order they are made.
struct GroupShortcut {
    const char* caption;
    const char* target;
};
constexpr GroupShortcut GroupShortcuts[] = {
    {ProductVersionName, LauncherFileName},
    {"Visit ZAV Web site", WebLinkFileName},
    {"Vhat's new", ReadmeFileName},
    {"History", HistoryFileName},
    {"Manual", ManualFileName},
};

// IPersistFile::Save takes the path in a buffer of the platform's path size.
constexpr int WideLinkCapacity = MAX_PATH;

void MakeSingleProgramShortcut(int csidl)
{
    // Without its folder the link is skipped: never written relative to where we run.
    if (!FindProfileFolder(csidl, g_setup.folderPath)) return;
    // A cut link path would name another file: skip this link instead.
    if (!FormatLinkPath(g_setup.linkPath, g_setup.folderPath, ProductVersionName))
        return;
    MakeProgramShortcut(LauncherFileName);
}

} // namespace

// A link or group path fits MAX_PATH bytes whatever the buffer: the removal plans them in
// buffers of that size, so a longer one, made here, could never be removed.
bool FormatLinkPath(char* link, std::size_t capacity, const char* folder, const char* name)
{
    return text::Format(link, capacity < MAX_PATH ? capacity : MAX_PATH, LinkPathFormat, folder, name);
}

bool FormatGroupPath(char* group, std::size_t capacity, const char* programsFolder, const char* name)
{
    return text::Format(group, capacity < MAX_PATH ? capacity : MAX_PATH, GroupPathFormat, programsFolder, name);
}

HRESULT CreateShortcut(const char* target, const char* linkFile, const char* description)
{
    ComPtr<IShellLinkA> link;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkA, link.PutVoid());
    if (FAILED(result)) return result;
    link->SetPath(target);
    link->SetDescription(description);

    ComPtr<IPersistFile> file;
    result = link->QueryInterface(IID_IPersistFile, file.PutVoid());
    if (FAILED(result)) return result;

    wchar_t widePath[WideLinkCapacity];
    if (MultiByteToWideChar(CP_ACP, 0, linkFile, -1, widePath, WideLinkCapacity) == 0)
        return HRESULT_FROM_WIN32(GetLastError());
    return file->Save(widePath, TRUE);
}

HRESULT MakeProgramShortcut(const char* targetFileName)
{
    if (!text::Copy(g_setup.scratchPath, g_setup.programDir) ||
        !text::AppendPath(g_setup.scratchPath, targetFileName))
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    return CreateShortcut(g_setup.scratchPath, g_setup.linkPath, g_setup.programDir);
}

void MakeDesktopShortcut()
{
    MakeSingleProgramShortcut(CSIDL_DESKTOPDIRECTORY);
}

void MakeStartMenuShortcut()
{
    MakeSingleProgramShortcut(CSIDL_STARTMENU);
}

void MakeProgramGroup()
{
    if (!FindProfileFolder(CSIDL_PROGRAMS, g_setup.folderPath)) return;
    // The product started at the end inherits this directory.
    SetCurrentDirectoryA(g_setup.folderPath);
    char group[sizeof g_setup.linkPath];
    if (!FormatGroupPath(group, g_setup.folderPath, ProductVersionName)) return;
    // By its full path, so that it can never land elsewhere; an existing group is simply used.
    CreateDirectoryA(group, nullptr);
    for (const GroupShortcut& shortcut : GroupShortcuts) {
        if (!FormatLinkPath(g_setup.linkPath, group, shortcut.caption)) continue;
        MakeProgramShortcut(shortcut.target);
    }
}

#include "pages/DestinationPage.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "display/FolderPicker.h"
#include "display/SizeText.h"
#include "engine/InstallSequence.h"
#include "engine/PayloadStaging.h"
#include "engine/ProfileFolder.h"
#include "engine/RemovalSafety.h"
#include "registry/Registry.h"
#include "shell/Controls.h"
#include "shell/FolderIdentity.h"
#include "shell/MainWindow.h"
#include "shell/Owners.h"
#include "shell/SetupState.h"
#include "shell/Text.h"

namespace {

// Where the two space figures are drawn, in the page's client area.
constexpr int SpaceFigureX = 190;
constexpr int NeededSpaceY = 119;
constexpr int FreeSpaceY = 139;

constexpr const char ChangePrompt[] = "Please select the directory for install:";
constexpr const char SetupWarningCaption[] = "Setup warning";
constexpr const char InvalidDirectoryText[] =
    "Selected directory is not valid!\n\nPlease select another directory.";
constexpr const char NoFreeSpaceText[] =
    "There is not free space for install!\n\nPlease select another directory.";
constexpr const char PathTooLongText[] =
    "Selected directory path is too long for install!\n\nPlease select another directory.";
constexpr const char StagingFolderText[] =
    "Selected directory holds the temporary files of Setup!\n\nPlease select another directory.";
constexpr const char OtherVersionFolderText[] =
    "Selected directory is inside the directory of another ZAV version!\n\nPlease select another directory.";

constexpr int EditX = 10;
constexpr int EditY = 75;
constexpr int EditWidth = 300;
constexpr int EditHeight = 18;

constexpr int ChangeX = 320;
constexpr int ChangeY = 73;
constexpr int ChangeWidth = 80;
constexpr int ChangeHeight = 21;

constexpr int CheckX = 10;
constexpr int StartMenuCheckY = 175;
constexpr int DesktopCheckY = 200;
constexpr int GroupCheckY = 225;
constexpr int CheckWidth = 200;
constexpr int CheckHeight = 20;

constexpr const char ChangeCaption[] = "Change";
constexpr const char StartMenuCaption[] = "Make Shortcut in Start Menu";
constexpr const char DesktopCaption[] = "Make Shortcut on Desktop";
constexpr const char GroupCaption[] = "Make group in Program Menu";

struct PageLabel {
    int x;
    int y;
    const char* text;
};

constexpr PageLabel Labels[] = {
    {10, 10, "ZAV will be installed to directory listed bellow. If you can change install"},
    {10, 24, "directory, please push button Change. ZAV directory will be created."},
    {10, 54, "Install directory:"},
    {10, NeededSpaceY, "Needed space for installation:"},
    {10, FreeSpaceY, "Free space on destination disk:"},
};

void MeasureFreeSpace()
{
    g_setup.freeSpace = DiskFreeSpace(g_setup.installBaseDir);
    // A figure too long for the field (beyond 10^10 GB) is cut.
    text::Copy(g_setup.freeSpaceText, FormatSize(g_setup.freeSpace));
}

// The version's recorded folder holds `folder`, and removing the version would delete it.
bool HoldsFolder(const char* name, const char* recorded, void* folder)
{
    FolderIdentity programFolder;
    char deletable[MAX_PATH];
    // A relative path would name a folder by the current directory, not by the record.
    return text::IsFullPath(recorded) && IdentifyFolder(recorded, programFolder) &&
           LiesWithin(static_cast<const char*>(folder), programFolder) &&
           CheckProgramFolderToDelete(recorded, name, deletable) == Refusal::None;
}

// Whether folder is, or lies inside, the program folder of another recorded version, under any
// spelling: removing that version deletes its folder, and this installation with it. A record
// naming a folder that removal would never delete (a drive, a profile) endangers nothing, and
// must not shut the user out of everything below it.
bool InsideAnotherVersion(const char* folder)
{
    return AnyOtherProgramPath(ProductVersionName, HoldsFolder, const_cast<char*>(folder));
}

// The folder that holds this version's recorded program folder, when the update can go in
// place there: the recorded path is full and plain, names an existing folder of the product's
// own name (the installation always goes into installBaseDir\ProductVersionName), and the
// folder above it would itself be accepted by Change.
bool InstalledCopyBase(char (&base)[MAX_PATH])
{
    char recorded[RegistryTextCapacity];
    if (!g_setup.thisVersionInstalled || ReadThisVersionProgramPath(recorded) != 0) return false;
    PathRemoveBackslashA(recorded);
    // A relative or dotted path would be resolved against the current directory.
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(recorded, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH || lstrcmpiA(full, recorded) != 0) return false;
    DWORD attributes = GetFileAttributesA(recorded);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (lstrcmpiA(PathFindFileNameA(recorded), ProductVersionName) != 0) return false;
    if (!PathRemoveFileSpecA(recorded) || !text::Copy(base, recorded)) return false;
    return ProgramTreeFits(base) && !IsInStagingFolder(base) && !InsideAnotherVersion(base);
}

// An installed copy of this version is updated where it stands; anything else goes into
// Program Files.
void FindDefaultDestination()
{
    if (InstalledCopyBase(g_setup.installBaseDir)) return;
    // Empty when the code page cannot name it whole: the installation then refuses to start.
    FindShellFolder(CSIDL_PROGRAM_FILES, g_setup.installBaseDir);
}

LRESULT OnCreate(HWND page)
{
    g_setup.destinationEdit =
        CreateControl(page, "edit", nullptr, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL,
                      EditX, EditY, EditWidth, EditHeight, DestinationEditId);
    // Disabled rather than read-only: the destination changes only through Change.
    EnableWindow(g_setup.destinationEdit, FALSE);
    g_setup.changeButton = CreateControl(page, "button", ChangeCaption, WS_CHILD | WS_VISIBLE, ChangeX,
                                         ChangeY, ChangeWidth, ChangeHeight, ChangeButtonId);

    FindDefaultDestination();
    SendMessageA(g_setup.destinationEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(g_setup.installBaseDir));

    text::Copy(g_setup.neededSpaceText, FormatSize(g_setup.neededSpace));
    MeasureFreeSpace();

    g_setup.startMenuCheck = CreateTickedCheckBox(page, StartMenuCaption, CheckX, StartMenuCheckY, CheckWidth,
                                                  CheckHeight, StartMenuCheckId, g_setup.wantStartMenuShortcut);
    g_setup.desktopCheck = CreateTickedCheckBox(page, DesktopCaption, CheckX, DesktopCheckY, CheckWidth,
                                                CheckHeight, DesktopCheckId, g_setup.wantDesktopShortcut);
    g_setup.groupCheck = CreateTickedCheckBox(page, GroupCaption, CheckX, GroupCheckY, CheckWidth, CheckHeight,
                                              GroupCheckId, g_setup.wantProgramGroup);
    return 0;
}

void ShowWarning(const char* text)
{
    MessageBoxA(g_setup.mainWindow, text, SetupWarningCaption, MB_OK | MB_ICONWARNING);
}

// Why the installation cannot stand in the chosen folder, or null when it can.
const char* RefusalOf(const char* folder)
{
    if (!ProgramTreeFits(folder)) return PathTooLongText;
    // Staging writes into that folder and its clean-up deletes the product folder there.
    if (IsInStagingFolder(folder)) return StagingFolderText;
    if (InsideAnotherVersion(folder)) return OtherVersionFolderText;
    // Exactly the needed space is enough; an unknown free space counts as none.
    if (DiskFreeSpace(folder) < g_setup.neededSpace) return NoFreeSpaceText;
    return nullptr;
}

// Asks until the user accepts a folder where the installation can stand, or cancels (false).
bool ChooseDestination()
{
    for (;;) {
        switch (BrowseForDirectory(ChangePrompt, CSIDL_DESKTOP)) {
        case BrowseCancelled:
            return false;
        case BrowseNoPath:
            ShowWarning(InvalidDirectoryText);
            continue;
        case BrowsePathTooLong:
            ShowWarning(PathTooLongText);
            continue;
        }
        const char* refusal = RefusalOf(g_setup.browsedDir);
        if (!refusal) return true;
        ShowWarning(refusal);
    }
}

// Draws the new free-space figure at once, over the old one, without repainting the page.
void RedrawFreeSpace(HWND page)
{
    RECT client;
    GetClientRect(page, &client);
    WindowDC dc(page);
    if (!dc) return;
    PageText text(dc.Get(), client);
    // Blank the whole rest of the figure's line: a row of spaces would be narrower than the
    // figures of large disks and leave their ends standing beside a shorter new one.
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc.Get(), &metrics);
    RECT line = {SpaceFigureX, FreeSpaceY, client.right, FreeSpaceY + metrics.tmHeight};
    ExtTextOutA(dc.Get(), SpaceFigureX, FreeSpaceY, ETO_OPAQUE, &line, "", 0, nullptr);
    text.Draw(SpaceFigureX, FreeSpaceY, g_setup.freeSpaceText);
}

LRESULT OnChange(HWND page)
{
    if (!ChooseDestination()) return 0;

    SendMessageA(g_setup.destinationEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(g_setup.browsedDir));
    text::Copy(g_setup.installBaseDir, g_setup.browsedDir);
    // The progress page's edit may not exist (yet); the destination changes all the same.
    if (g_setup.installDirEdit)
        SendMessageA(g_setup.installDirEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(g_setup.installBaseDir));

    MeasureFreeSpace();
    RedrawFreeSpace(page);
    return 0;
}

LRESULT OnCommand(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case StartMenuCheckId: return ToggleCheckBox(g_setup.startMenuCheck, g_setup.wantStartMenuShortcut);
    case DesktopCheckId: return ToggleCheckBox(g_setup.desktopCheck, g_setup.wantDesktopShortcut);
    case GroupCheckId: return ToggleCheckBox(g_setup.groupCheck, g_setup.wantProgramGroup);
    case ChangeButtonId: return OnChange(page);
    }
    return DefWindowProcA(page, msg, wParam, lParam);
}

} // namespace

void PaintDestinationPage(HDC dc, const RECT& client)
{
    PageText text(dc, client);
    for (const PageLabel& label : Labels) text.Draw(label.x, label.y, label.text);
    text.Draw(SpaceFigureX, NeededSpaceY, g_setup.neededSpaceText);
    text.Draw(SpaceFigureX, FreeSpaceY, g_setup.freeSpaceText);
}

LRESULT CALLBACK DestinationPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    static constexpr PageHandlers handlers = {OnCreate, PaintDestinationPage, OnCommand};
    return HandlePageMessage(handlers, page, msg, wParam, lParam);
}

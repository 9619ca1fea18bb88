// The maintenance page, window class "installprev": shown in front of the wizard while
// versions are recorded, to remove any of them or go on to install.
#pragma once

#include <windows.h>

constexpr int RemoveButtonId = 5;
constexpr int MaintenanceInstallButtonId = 6;
constexpr int InstalledListId = 7;

constexpr const char MaintenanceInstallText[] = "Install or upgrade zav version.";
constexpr const char MaintenanceRemoveText[] = "Remove any of zav version.";
constexpr const char RemovedMessageText[] = "Program has been successfully removed!";
// Told when a removal stops; the version stays recorded, so that it can be removed again.
constexpr const char ProgramInUseText[] =
    "ZAV or one of its files is in use!\n\nPlease close ZAV and try to remove it again.";
// Told when a removal refuses to act, nothing deleted: the first line, then why in a few words.
constexpr const char NotRemovedText[] = "The program folder was not removed!";
constexpr const char UnusableNameReason[] = "The version's name in the registry is not a usable name.";
constexpr const char ProgramPathUnreadReason[] = "Its path in the registry cannot be read.";
constexpr const char UnusablePathReason[] = "Its path in the registry is not the full path of a folder.";
constexpr const char WholeDriveReason[] = "Its path in the registry names a whole drive.";
constexpr const char NotAFolderReason[] = "Its path names a file or a link, not a folder.";
constexpr const char ProtectedFolderReason[] = "It is, or holds, a folder of Windows or of your own.";
constexpr const char HoldsOtherVersionReason[] = "It holds the program folder of another installed version.";
constexpr const char NotTheProductReason[] = "It is not named after the version and holds no Zav.exe.";
constexpr const char UnsafeProgramGroupReason[] =
    "Its program group in the Start menu is not a folder that may be removed.";

// Draws what the page paints onto dc (the page's own, or any other) for its client area.
void PaintMaintenancePage(HDC dc, const RECT& client);

LRESULT CALLBACK MaintenancePageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);

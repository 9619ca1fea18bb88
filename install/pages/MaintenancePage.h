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
constexpr const char ProgramPathUnreadText[] =
    "The program folder could not be removed!\n\nIts path in the registry cannot be read.";

// Draws what the page paints onto dc (the page's own, or any other) for its client area.
void PaintMaintenancePage(HDC dc, const RECT& client);

LRESULT CALLBACK MaintenancePageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);

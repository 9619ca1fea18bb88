#include "pages/MaintenancePage.h"

#include "engine/Removal.h"
#include "registry/Registry.h"
#include "shell/Controls.h"
#include "shell/MainWindow.h"
#include "shell/Navigation.h"
#include "shell/Owners.h"
#include "shell/SetupState.h"
#include "shell/Text.h"

namespace {

constexpr int ControlLeft = 10;
constexpr int ButtonWidth = 100;
constexpr int ButtonHeight = 23;
constexpr int InstallButtonTop = 35;
constexpr int RemoveButtonTop = 110;
constexpr int ListTop = 150;  // fixed, not relative to the client rectangle
constexpr int ListWidth = 400;
constexpr int ListHeight = 90;
constexpr DWORD ButtonStyle = WS_CHILD | WS_VISIBLE;
constexpr DWORD ListStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_NOTIFY;

constexpr int TextLeft = 10;
constexpr int InstallTextTop = 10;
constexpr int RemoveTextStep = 75;  // the remove line stands 25 pixels above its button too
constexpr COLORREF TextColor = RGB(0, 0, 0);

constexpr const char InstallButtonText[] = "Install";
constexpr const char RemoveButtonText[] = "Remove";

// The welcome list's fixed first row, "No previous configuration".
constexpr LRESULT NoConfigurationRowIndex = 0;

// Copies a row's text; false when there is no such row or it would not fit.
bool RowText(HWND list, LRESULT row, char (&textOut)[PathCapacity])
{
    textOut[0] = '\0';
    LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
    if (length == LB_ERR || length >= PathCapacity) return false;
    return SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(textOut)) !=
           LB_ERR;
}

// Deletes the removed version's own row. Only an exact (case-insensitive, as registry key
// names are) match counts, so "ZAV 1.0" never takes "ZAV 1.00 beta 8" with it, and the
// fixed first row is never deleted.
void DeleteWelcomeRow(const char* name)
{
    HWND list = g_setup.previousConfigList;
    if (!list) return;
    LRESULT found = SendMessageA(list, LB_FINDSTRINGEXACT, NoConfigurationRowIndex,
                                 reinterpret_cast<LPARAM>(name));
    if (found != LB_ERR && found != NoConfigurationRowIndex)
        SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(found), 0);
}

// With only the fixed row left there is nothing to choose: the list and its prompt go.
void HideWelcomeListWhenEmpty()
{
    HWND list = g_setup.previousConfigList;
    if (!list || SendMessageA(list, LB_GETCOUNT, 0, 0) != 1) return;
    ShowWindow(list, SW_HIDE);
    g_setup.previousVersionsExist = false;
}

// selectedVersionName served as the removal's argument; afterwards it names the previous
// configuration again, which is what the welcome list shows as chosen (none without a
// list). Should the chosen row have been the one deleted, the choice falls back to row 0.
void RestoreWelcomeChoice()
{
    g_setup.selectedVersionName[0] = '\0';
    HWND list = g_setup.previousConfigList;
    if (!list) return;
    LRESULT row = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (row == LB_ERR) {
        SendMessageA(list, LB_SETCURSEL, NoConfigurationRowIndex, 0);
        if (g_setup.runAfterCheck) EnableWindow(g_setup.runAfterCheck, TRUE);
        return;
    }
    if (row != NoConfigurationRowIndex) RowText(list, row, g_setup.selectedVersionName);
}

LRESULT OnCreate(HWND page)
{
    RECT client;
    GetClientRect(page, &client);
    int left = client.left + ControlLeft;
    g_setup.maintenanceInstallButton =
        CreateControl(page, "button", InstallButtonText, ButtonStyle, left, client.top + InstallButtonTop,
                      ButtonWidth, ButtonHeight, MaintenanceInstallButtonId);
    g_setup.removeButton = CreateControl(page, "button", RemoveButtonText, ButtonStyle, left,
                                         client.top + RemoveButtonTop, ButtonWidth, ButtonHeight,
                                         RemoveButtonId);
    g_setup.installedList = CreateControl(page, "listbox", nullptr, ListStyle, left, ListTop, ListWidth,
                                          ListHeight, InstalledListId);
    ListInstalledVersions();
    SendMessageA(g_setup.installedList, LB_SETCURSEL, 0, 0);
    return 0;
}

LRESULT OnPaint(HWND page)
{
    PaintDC paint(page);
    HDC dc = paint.Get();
    RECT client;
    GetClientRect(page, &client);
    RECT textRect = {client.left + TextLeft, client.top + InstallTextTop, client.right, client.bottom};
    SetTextColor(dc, TextColor);
    SetBkColor(dc, g_setup.backgroundColor);
    SelectedObject font(dc, g_setup.guiFont);
    DrawTextA(dc, MaintenanceInstallText, -1, &textRect, 0);
    textRect.top += RemoveTextStep;
    DrawTextA(dc, MaintenanceRemoveText, -1, &textRect, 0);
    return 0;
}

LRESULT OnRemove()
{
    HWND list = g_setup.installedList;
    LRESULT row = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (row == LB_ERR) return 0;
    char removedName[PathCapacity];
    if (!RowText(list, row, removedName)) return 0;

    text::Copy(g_setup.selectedVersionName, removedName);
    if (!RemoveInstalledVersion()) {
        RestoreWelcomeChoice();
        return 0;
    }

    SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(row), 0);
    DeleteWelcomeRow(removedName);
    if (SendMessageA(list, LB_GETCOUNT, 0, 0) > 0)
        SendMessageA(list, LB_SETCURSEL, 0, 0);
    else
        EnableWindow(g_setup.removeButton, FALSE);
    HideWelcomeListWhenEmpty();
    RestoreWelcomeChoice();
    MessageBoxA(g_setup.mainWindow, RemovedMessageText, removedName, MB_ICONINFORMATION);
    return 0;
}

LRESULT OnCommand(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case RemoveButtonId: return OnRemove();
    case MaintenanceInstallButtonId: return EnterWizardFromMaintenance();
    case InstalledListId: return 0;
    case DestroyCommandId: DestroyWindow(page); return 0;
    }
    return DefWindowProcA(page, msg, wParam, lParam);
}

} // namespace

LRESULT CALLBACK MaintenancePageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:  return OnCreate(page);
    case WM_PAINT:   return OnPaint(page);
    case WM_COMMAND: return OnCommand(page, msg, wParam, lParam);
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(page, msg, wParam, lParam);
}

#include "pages/MaintenancePage.h"

#include "registry/Registry.h"
#include "shell/Controls.h"
#include "shell/MainWindow.h"
#include "shell/Navigation.h"
#include "shell/PreviousConfiguration.h"
#include "shell/SetupState.h"

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

constexpr const char InstallButtonText[] = "Install";
constexpr const char RemoveButtonText[] = "Remove";

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

// A failure the user can do something about is told; the record stays, and so does its row.
LRESULT TellNotRemoved(RemovalResult result, const char* name)
{
    const char* text = nullptr;
    if (result == RemovalResult::ProgramInUse) text = ProgramInUseText;
    if (result == RemovalResult::ProgramPathUnread) text = ProgramPathUnreadText;
    if (text) MessageBoxA(g_setup.mainWindow, text, name, MB_ICONWARNING);
    return 0;
}

LRESULT OnRemove()
{
    HWND list = g_setup.installedList;
    LRESULT row = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (row == LB_ERR) return 0;
    char removedName[PathCapacity];
    if (!ReadListRow(list, row, removedName)) return 0;
    RemovalResult result = RemoveRecordedVersion(removedName);
    if (result != RemovalResult::Removed) return TellNotRemoved(result, removedName);

    SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(row), 0);
    if (SendMessageA(list, LB_GETCOUNT, 0, 0) > 0)
        SendMessageA(list, LB_SETCURSEL, 0, 0);
    else
        EnableWindow(g_setup.removeButton, FALSE);
    MessageBoxA(g_setup.mainWindow, RemovedMessageText, removedName, MB_ICONINFORMATION);
    return 0;
}

LRESULT OnCommand(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case RemoveButtonId: return OnRemove();
    case MaintenanceInstallButtonId: return EnterWizardFromMaintenance();
    case InstalledListId: return 0;
    }
    return DefWindowProcA(page, msg, wParam, lParam);
}

} // namespace

void PaintMaintenancePage(HDC dc, const RECT& client)
{
    PageText text(dc, client);
    int left = client.left + TextLeft;
    text.Draw(left, client.top + InstallTextTop, MaintenanceInstallText);
    text.Draw(left, client.top + InstallTextTop + RemoveTextStep, MaintenanceRemoveText);
}

LRESULT CALLBACK MaintenancePageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    static constexpr PageHandlers handlers = {OnCreate, PaintMaintenancePage, OnCommand};
    return HandlePageMessage(handlers, page, msg, wParam, lParam);
}

#include "pages/MaintenancePage.h"

#include "engine/Removal.h"
#include "registry/Registry.h"
#include "shell/Controls.h"
#include "shell/MainWindow.h"
#include "shell/Navigation.h"
#include "shell/PreviousConfiguration.h"
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

// Why a removal refused, in the user's words.
struct RefusalReason {
    Refusal refusal;
    const char* reason;
};
constexpr RefusalReason RefusalReasons[] = {
    {Refusal::UnusableName, UnusableNameReason},
    {Refusal::ProgramPathUnread, ProgramPathUnreadReason},
    {Refusal::UnusablePath, UnusablePathReason},
    {Refusal::WholeDrive, WholeDriveReason},
    {Refusal::NotAFolder, NotAFolderReason},
    {Refusal::ProtectedFolder, ProtectedFolderReason},
    {Refusal::HoldsOtherVersion, HoldsOtherVersionReason},
    {Refusal::NotTheProduct, NotTheProductReason},
    {Refusal::UnsafeProgramGroup, UnsafeProgramGroupReason},
};
constexpr const char RefusalFormat[] = "%s\n\n%s";
constexpr int RefusalTextCapacity = 256;  // the longest first line and reason fit with room

// A removal that stopped before anything was deleted is told; the record stays, and so does
// its row.
LRESULT TellNotRemoved(const RemovalResult& result, const char* name)
{
    char refused[RefusalTextCapacity];
    const char* message = nullptr;
    if (result.outcome == RemovalOutcome::ProgramInUse) message = ProgramInUseText;
    if (result.outcome == RemovalOutcome::Refused)
        for (const RefusalReason& why : RefusalReasons)
            if (why.refusal == result.refusal && text::Format(refused, RefusalFormat, NotRemovedText, why.reason))
                message = refused;
    if (message) MessageBoxA(g_setup.mainWindow, message, name, MB_ICONWARNING);
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
    if (result.outcome != RemovalOutcome::Removed) return TellNotRemoved(result, removedName);

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

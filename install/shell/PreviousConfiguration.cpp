#include "shell/PreviousConfiguration.h"

#include "engine/Removal.h"
#include "registry/Registry.h"
#include "shell/Controls.h"
#include "shell/SetupState.h"
#include "shell/Text.h"

namespace {

// The welcome list's fixed first row, "No previous configuration".
constexpr LRESULT NoConfigurationRowIndex = 0;

// The product may start after installation only when no configuration is carried over.
void AllowRunAfterInstall(bool allowed)
{
    if (g_setup.runAfterCheck) EnableWindow(g_setup.runAfterCheck, allowed ? TRUE : FALSE);
}

// Deletes the removed version's own row. Only an exact (case-insensitive, as registry key
// names are) match counts, so "ZAV 1.0" never takes "ZAV 1.00 beta 8" with it, and the
// fixed first row is never deleted.
void DeleteConfigurationRow(HWND list, const char* name)
{
    LRESULT found = SendMessageA(list, LB_FINDSTRINGEXACT, NoConfigurationRowIndex,
                                 reinterpret_cast<LPARAM>(name));
    if (found != LB_ERR && found != NoConfigurationRowIndex)
        SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(found), 0);
}

// With only the fixed row left there is nothing to choose: the list and its prompt go.
void HideListWhenEmpty(HWND list)
{
    if (SendMessageA(list, LB_GETCOUNT, 0, 0) != 1) return;
    ShowWindow(list, SW_HIDE);
    g_setup.previousVersionsExist = false;
}

// selectedVersionName served as the removal's argument; afterwards it names the previous
// configuration again, which is what the welcome list shows as chosen (none without a
// list). Should the chosen row have been the one deleted, the choice falls back to row 0.
void RestoreChosenConfiguration()
{
    ResetChosenConfiguration();
    HWND list = g_setup.previousConfigList;
    if (!list) return;
    if (SendMessageA(list, LB_GETCURSEL, 0, 0) == LB_ERR)
        SendMessageA(list, LB_SETCURSEL, NoConfigurationRowIndex, 0);
    TakeChosenConfiguration();
}

} // namespace

void ResetChosenConfiguration()
{
    g_setup.selectedVersionName[0] = '\0';
}

void OfferPreviousConfigurations()
{
    ListPreviousConfigurations(true);
    SendMessageA(g_setup.previousConfigList, LB_SETCURSEL, NoConfigurationRowIndex, 0);
    g_setup.previousVersionsExist = true;
}

LRESULT TakeChosenConfiguration()
{
    HWND list = g_setup.previousConfigList;
    if (!list) return 0;
    LRESULT row = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (row == LB_ERR) return 0;

    if (row == NoConfigurationRowIndex) {
        ResetChosenConfiguration();
        AllowRunAfterInstall(true);
        return 0;
    }
    char name[sizeof g_setup.selectedVersionName];
    if (!ReadListRow(list, row, name)) return 0;
    text::Copy(g_setup.selectedVersionName, name);
    AllowRunAfterInstall(false);
    return 0;
}

RemovalResult RemoveRecordedVersion(const char* name)
{
    text::Copy(g_setup.selectedVersionName, name);
    RemovalResult result = RemoveInstalledVersion();
    HWND list = g_setup.previousConfigList;
    if (result.outcome == RemovalOutcome::Removed && list) {
        DeleteConfigurationRow(list, name);
        HideListWhenEmpty(list);
    }
    RestoreChosenConfiguration();
    return result;
}

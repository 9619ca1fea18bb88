#include "pages/WelcomePage.h"

#include "registry/Registry.h"
#include "shell/Controls.h"
#include "shell/MainWindow.h"
#include "shell/Owners.h"
#include "shell/SetupState.h"
#include "shell/Text.h"

namespace {

constexpr DWORD PreviousConfigListStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_NOTIFY;

constexpr const char WelcomeText[] = "Welcome to ZAV instalation program!";
constexpr const char InstalledVersionText[] = "The installed version is:";
constexpr const char ContinueText[] = "Click next to continue.";
constexpr const char SelectPreviousText[] = "Please select previous version for configuration:";

// Status line and advice for an installed copy of this version, by versionRelation.
constexpr const char* const StatusTexts[] = {
    "This version is already installed on your computer and it is newer.",
    "This version is already installed on your computer, but it is the same.",
    "This version is already installed on your computer, but it is older.",
};
constexpr const char* const AdviceTexts[] = {
    "Your version is newer, please do not install this version!",
    "It is not necessary to install this version!",
    "Your version will be updated.",
};

// Text positions in the client area.
constexpr int TextLeft = 10;
constexpr int WelcomeTop = 10;
constexpr int LineStep = 30;                // from the welcome line to the installed-version line
constexpr int ContinueBottomOffset = 25;    // "Click next to continue." stands this far above the bottom
constexpr int StatusTop = 100;
constexpr int AdviceTop = 130;
constexpr int SelectPreviousTop = 90;
constexpr int VersionNameShiftX = 120;      // the version name stands right of its label
constexpr int VersionNameShiftY = -2;       // and a little higher, for the taller bold font
constexpr int VersionNameMinGap = 4;        // room between a wide label and the moved name

const char* StatusText(std::uint8_t relation)
{
    return StatusTexts[relation <= RecordedVersionIsOlder ? relation : RecordedVersionIsOlder];
}

const char* AdviceText(std::uint8_t relation)
{
    return AdviceTexts[relation <= RecordedVersionIsOlder ? relation : RecordedVersionIsOlder];
}

void DrawLine(HDC dc, const char* line, RECT& where, UINT format = 0)
{
    DrawTextA(dc, line, -1, &where, format);
}

// The name stands a fixed distance right of its label; only where the system's font makes
// the label reach past that point does the name move right, clear of the label's end.
int VersionNameLeft(HDC dc, const RECT& label)
{
    RECT box = label;
    DrawTextA(dc, InstalledVersionText, -1, &box, DT_CALCRECT);
    int fixed = label.left + VersionNameShiftX;
    return box.right > fixed ? box.right + VersionNameMinGap : fixed;
}

HWND CreatePreviousConfigList(HWND page, const RECT& client)
{
    return CreateControl(page, "listbox", nullptr, PreviousConfigListStyle,
                         client.left + PreviousConfigListX, PreviousConfigListY, PreviousConfigListWidth,
                         PreviousConfigListHeight, PreviousConfigListId);
}

LRESULT OnCreate(HWND page)
{
    RECT client;
    GetClientRect(page, &client);

    if (IsThisVersionRecorded()) {
        g_setup.thisVersionInstalled = true;
        g_setup.versionRelation = CompareInstalledVersion();
    } else {
        g_setup.thisVersionInstalled = false;
        if (ListPreviousConfigurations(false)) {
            g_setup.previousConfigList = CreatePreviousConfigList(page, client);
            ListPreviousConfigurations(true);
            SendMessageA(g_setup.previousConfigList, LB_SETCURSEL, 0, 0);
            g_setup.previousVersionsExist = true;
        } else {
            g_setup.previousVersionsExist = false;
        }
    }

    g_setup.selectedVersionName[0] = '\0';
    return 0;
}

LRESULT OnPaint(HWND page)
{
    PaintDC paint(page);
    HDC dc = paint.Get();
    RECT client;
    GetClientRect(page, &client);

    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, g_setup.backgroundColor);
    SelectedObject font(dc, g_setup.guiFont);

    RECT text = {client.left + TextLeft, client.top + WelcomeTop, client.right, client.bottom};
    DrawLine(dc, WelcomeText, text);
    text.top += LineStep;
    DrawLine(dc, InstalledVersionText, text);
    RECT versionName = text;
    versionName.left = VersionNameLeft(dc, text);

    text = {client.left + TextLeft, client.bottom - ContinueBottomOffset, client.right, client.bottom};
    DrawLine(dc, ContinueText, text);

    if (g_setup.thisVersionInstalled) {
        text = {client.left + TextLeft, client.top + StatusTop, client.right, client.bottom};
        DrawLine(dc, StatusText(g_setup.versionRelation), text);
        SelectObject(dc, g_setup.boldFont);
        text.top = client.top + AdviceTop;
        // In the larger bold font an advice may be wider than the page; it then wraps onto
        // the free rows below instead of being cut off at the page's edge.
        DrawLine(dc, AdviceText(g_setup.versionRelation), text, DT_WORDBREAK);
    } else {
        if (g_setup.previousVersionsExist) {
            text = {client.left + TextLeft, client.top + SelectPreviousTop, client.right, client.bottom};
            DrawLine(dc, SelectPreviousText, text);
        }
        SelectObject(dc, g_setup.boldFont);
    }

    versionName.top += VersionNameShiftY;
    DrawLine(dc, ProductVersionName, versionName);
    return 0;
}

// A row of the list was chosen: row 0 means no configuration is carried over, which leaves
// the product free to start after installation; any other row names the version to take from.
LRESULT OnPreviousConfigChosen()
{
    HWND list = g_setup.previousConfigList;
    LRESULT row = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (row == LB_ERR) return 0;

    if (row == 0) {
        g_setup.selectedVersionName[0] = '\0';
        if (g_setup.runAfterCheck) EnableWindow(g_setup.runAfterCheck, TRUE);
        return 0;
    }

    LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
    if (length == LB_ERR || length >= static_cast<LRESULT>(sizeof g_setup.selectedVersionName)) return 0;
    char name[sizeof g_setup.selectedVersionName];
    if (SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(name)) ==
        LB_ERR)
        return 0;
    text::Copy(g_setup.selectedVersionName, name);
    if (g_setup.runAfterCheck) EnableWindow(g_setup.runAfterCheck, FALSE);
    return 0;
}

LRESULT OnCommand(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case PreviousConfigListId: return OnPreviousConfigChosen();
    case DestroyCommandId: DestroyWindow(page); return 0;
    }
    return DefWindowProcA(page, msg, wParam, lParam);
}

} // namespace

LRESULT CALLBACK WelcomePageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:  return OnCreate(page);
    case WM_PAINT:   return OnPaint(page);
    case WM_COMMAND: return OnCommand(page, msg, wParam, lParam);
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(page, msg, wParam, lParam);
}

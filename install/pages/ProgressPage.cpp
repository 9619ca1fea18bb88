#include "pages/ProgressPage.h"

#include "shell/Controls.h"
#include "shell/MainWindow.h"
#include "shell/Owners.h"
#include "shell/SetupState.h"

namespace {

constexpr int EditX = 10;
constexpr int EditY = 30;
constexpr int EditWidth = 400;
constexpr int EditHeight = 18;
constexpr DWORD EditStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;

constexpr int CheckX = 10;
constexpr int RunAfterCheckY = 70;
constexpr int ReadmeCheckY = 100;
constexpr int CheckWidth = 200;
constexpr int CheckHeight = 20;

constexpr int TextLeft = 10;
constexpr int TextTop = 10;
constexpr int ClosingLineBottomOffset = 25;

constexpr const char DestinationLineText[] = "ZAV will be installed to directory:";
constexpr const char ClosingLineText[] = "Click install to continue.";
constexpr const char RunAfterCaption[] = "Run ZAV after installation";
constexpr const char ReadmeCaption[] = "View readme file";

void CreateProgressDisplay(HWND page)
{
    // The page's context only serves to make the records' off-screen surfaces compatible.
    WindowDC dc(page);
    g_setup.progressBar.Create(dc.Get(), ProgressBarX, ProgressBarY, ProgressDisplayWidth,
                               ProgressDisplayHeight, ProgressTotalAmount, page);
    g_setup.progressBar.troughOutlineColor = g_setup.backgroundColor;
    g_setup.statusLabel.Create(dc.Get(), StatusLabelX, StatusLabelY, ProgressDisplayWidth,
                               ProgressDisplayHeight, InitialStatusText, page);
    g_setup.statusLabel.backColor = g_setup.backgroundColor;
    g_setup.statusLabel.textColor = PageTextColor;
}

LRESULT OnCreate(HWND page)
{
    g_setup.progressPage = page;

    g_setup.installDirEdit =
        CreateControl(page, "edit", nullptr, EditStyle, EditX, EditY, EditWidth, EditHeight,
                      InstallDirEditId);
    // Disabled rather than read-only: the path can be neither changed nor selected.
    EnableWindow(g_setup.installDirEdit, FALSE);
    SendMessageA(g_setup.installDirEdit, WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(g_setup.installBaseDir));

    g_setup.runAfterCheck = CreateTickedCheckBox(page, RunAfterCaption, CheckX, RunAfterCheckY, CheckWidth,
                                                 CheckHeight, RunAfterCheckId, g_setup.runAfterInstall);
    g_setup.readmeCheck = CreateTickedCheckBox(page, ReadmeCaption, CheckX, ReadmeCheckY, CheckWidth, CheckHeight,
                                               ReadmeCheckId, g_setup.viewReadme);

    CreateProgressDisplay(page);
    g_setup.progressControlsMade = true;
    g_setup.progressVisible = false;
    return 0;
}

LRESULT OnCommand(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case RunAfterCheckId: return ToggleCheckBox(g_setup.runAfterCheck, g_setup.runAfterInstall);
    case ReadmeCheckId: return ToggleCheckBox(g_setup.readmeCheck, g_setup.viewReadme);
    }
    return DefWindowProcA(page, msg, wParam, lParam);
}

} // namespace

void PaintProgressPage(HDC dc, const RECT& client)
{
    PageText text(dc, client);
    text.Draw(TextLeft, TextTop, DestinationLineText);
    text.Draw(TextLeft, client.bottom - ClosingLineBottomOffset, ClosingLineText);
    // The install sequence draws the records itself between its steps; this repaints them
    // whenever the page is uncovered meanwhile.
    if (g_setup.progressVisible) {
        g_setup.statusLabel.Draw(dc);
        g_setup.progressBar.Draw(dc);
    }
}

LRESULT CALLBACK ProgressPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    static constexpr PageHandlers handlers = {OnCreate, PaintProgressPage, OnCommand};
    return HandlePageMessage(handlers, page, msg, wParam, lParam);
}

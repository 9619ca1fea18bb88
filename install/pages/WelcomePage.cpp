#include "pages/WelcomePage.h"

#include "registry/Registry.h"
#include "shell/Controls.h"
#include "shell/MainWindow.h"
#include "shell/PreviousConfiguration.h"
#include "shell/SetupState.h"

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
            OfferPreviousConfigurations();
        } else {
            g_setup.previousVersionsExist = false;
        }
    }

    ResetChosenConfiguration();
    return 0;
}

LRESULT OnCommand(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case PreviousConfigListId: return TakeChosenConfiguration();
    }
    return DefWindowProcA(page, msg, wParam, lParam);
}

} // namespace

void PaintWelcomePage(HDC dc, const RECT& client)
{
    PageText text(dc, client);
    int left = client.left + TextLeft;
    text.Draw(left, client.top + WelcomeTop, WelcomeText);
    RECT label = {left, client.top + WelcomeTop + LineStep, client.right, client.bottom};
    text.Draw(label.left, label.top, InstalledVersionText);
    int versionNameLeft = VersionNameLeft(dc, label);  // measured in the label's own font
    text.Draw(left, client.bottom - ContinueBottomOffset, ContinueText);

    if (g_setup.thisVersionInstalled) {
        text.Draw(left, client.top + StatusTop, StatusText(g_setup.versionRelation));
        SelectObject(dc, g_setup.boldFont);  // PageText puts the context's own font back
        // In the larger bold font an advice may be wider than the page; it then wraps onto
        // the free rows below instead of being cut off at the page's edge.
        text.Draw(left, client.top + AdviceTop, AdviceText(g_setup.versionRelation), DT_WORDBREAK);
    } else {
        if (g_setup.previousVersionsExist)
            text.Draw(left, client.top + SelectPreviousTop, SelectPreviousText);
        SelectObject(dc, g_setup.boldFont);
    }

    text.Draw(versionNameLeft, label.top + VersionNameShiftY, ProductVersionName);
}

LRESULT CALLBACK WelcomePageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    static constexpr PageHandlers handlers = {OnCreate, PaintWelcomePage, OnCommand};
    return HandlePageMessage(handlers, page, msg, wParam, lParam);
}

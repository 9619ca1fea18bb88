#include "shell/Navigation.h"

#include <cstdlib>

#include "engine/InstallSequence.h"
#include "shell/MainWindow.h"
#include "shell/SetupState.h"

namespace {

// Counts every change of the page shown, so that a press can tell whether the one before it
// opened a new page.
unsigned pageChanges = 0;

// While the install sequence runs, button commands that reach the main window anyway (sent by
// another program, or dispatched by a modal loop inside the sequence) do nothing.
bool installRunning = false;

// The last left-button press on one of the three buttons.
struct Press {
    bool seen;
    DWORD time;
    POINT position;
    unsigned pageChangesBefore;
};
Press lastPress{};
WNDPROC buttonProc = nullptr;  // the button class's own procedure, shared by the three

// The press being handled, with the time and place it was taken from the queue. Measured as
// the platform measures a double-click: from press to press, inside the double-click
// rectangle centred on the first press.
bool IsHurriedPress()
{
    DWORD position = GetMessagePos();
    Press press{true, static_cast<DWORD>(GetMessageTime()),
                {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))}, pageChanges};
    bool hurried = lastPress.seen && lastPress.pageChangesBefore != pageChanges &&
                   press.time - lastPress.time < GetDoubleClickTime() &&
                   std::abs(press.position.x - lastPress.position.x) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
                   std::abs(press.position.y - lastPress.position.y) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
    lastPress = press;
    return hurried;
}

// A push button takes the second press of a double-click (WM_LBUTTONDBLCLK) as a press of
// its own; the one that follows a page change is swallowed, and its release then finds the
// button not pressed and does nothing.
LRESULT CALLBACK HurriedPressFilter(HWND button, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if ((msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK) && IsHurriedPress()) return 0;
    return CallWindowProcA(buttonProc, button, msg, wParam, lParam);
}

// The next visible and enabled button among the siblings of `button`, in creation order and
// wrapping round; the main window when there is none.
HWND FocusAfterDisabling(HWND button)
{
    HWND parent = GetParent(button);
    HWND sibling = button;
    for (;;) {
        sibling = GetWindow(sibling, GW_HWNDNEXT);
        if (!sibling) sibling = GetWindow(button, GW_HWNDFIRST);
        if (!sibling || sibling == button) break;
        char className[16] = "";
        GetClassNameA(sibling, className, sizeof className);
        if (lstrcmpiA(className, "Button") == 0 && IsWindowVisible(sibling) && IsWindowEnabled(sibling))
            return sibling;
    }
    return parent ? GetAncestor(parent, GA_ROOT) : nullptr;
}

// The sequence runs inside this click and nothing is dispatched meanwhile, so every click
// and key made during it waits in the queue; none of them may start another attempt.
void RunInstallSequenceWithoutInput()
{
    HWND buttons[] = {g_setup.backButton, g_setup.nextButton, g_setup.cancelButton};
    bool wasEnabled[3];
    HWND focus = GetFocus();
    for (int i = 0; i < 3; ++i) {
        wasEnabled[i] = IsWindowEnabled(buttons[i]) != FALSE;
        EnableButton(buttons[i], false);
    }

    installRunning = true;
    int result = RunInstallSequence();
    installRunning = false;
    // On success the setup is ending: its buttons stay as they are, out of reach.
    if (result == 0) return;

    DropQueuedInput();
    for (int i = 0; i < 3; ++i) EnableButton(buttons[i], wasEnabled[i]);
    if (focus && IsWindow(focus) && IsWindowEnabled(focus) && IsWindowVisible(focus)) SetFocus(focus);
}

} // namespace

void ShowPage(int newIndex)
{
    if (newIndex < 0 || newIndex >= PageCount) return;
    ShowWindow(g_setup.pageWindows[g_setup.currentPage], SW_HIDE);
    g_setup.currentPage = newIndex;
    ++pageChanges;
    ShowWindow(g_setup.pageWindows[g_setup.currentPage], SW_SHOWNORMAL);
    UpdateNavigationButtons();
}

int UpdateNavigationButtons()
{
    switch (g_setup.currentPage) {
    case WelcomePageIndex:
        EnableButton(g_setup.nextButton, true);
        EnableButton(g_setup.backButton, false);
        break;
    case LicensePageIndex:
        EnableButton(g_setup.backButton, true);
        EnableButton(g_setup.nextButton, g_setup.licenseAccepted);
        break;
    case DestinationPageIndex:
        SetWindowTextA(g_setup.nextButton, NextCaption);
        break;
    case ProgressPageIndex:
        SetWindowTextA(g_setup.nextButton, InstallCaption);
        break;
    }
    return 0;
}

void EnableButton(HWND button, bool enabled)
{
    if (!button) return;
    bool hadFocus = GetFocus() == button;
    EnableWindow(button, enabled ? TRUE : FALSE);
    if (!enabled && hadFocus) SetFocus(FocusAfterDisabling(button));
}

void IgnoreHurriedPresses(HWND button)
{
    if (!button) return;
    lastPress = {};  // a new main window starts without a press behind it
    WNDPROC previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HurriedPressFilter)));
    if (!buttonProc) buttonProc = previous;
}

void DropQueuedInput()
{
    struct Range {
        UINT first;
        UINT last;
    };
    constexpr Range InputRanges[] = {
        {WM_KEYFIRST, WM_KEYLAST},
        {WM_MOUSEFIRST, WM_MOUSELAST},
        {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK},
    };
    MSG msg;
    // A message of one range may stand in front of another's; repeat until all are empty.
    for (bool dropped = true; dropped;) {
        dropped = false;
        for (const Range& range : InputRanges)
            while (PeekMessageA(&msg, nullptr, range.first, range.last, PM_REMOVE)) dropped = true;
    }
}

LRESULT OnBackCommand()
{
    if (installRunning) return 0;
    if (g_setup.currentPage > WelcomePageIndex) ShowPage(g_setup.currentPage - 1);
    return 0;
}

LRESULT OnNextCommand()
{
    if (installRunning) return 0;
    if (g_setup.currentPage == ProgressPageIndex) {
        RunInstallSequenceWithoutInput();
        return 0;
    }
    ShowPage(g_setup.currentPage + 1);
    return 0;
}

LRESULT OnCancelCommand()
{
    if (installRunning) return 0;
    int answer = MessageBoxA(g_setup.mainWindow, ExitQuestionText, ExitQuestionCaption,
                             MB_ICONQUESTION | MB_YESNO);
    if (answer != IDNO) SendMessageA(g_setup.mainWindow, WM_DESTROY, 0, 0);
    return 0;
}

LRESULT EnterWizardFromMaintenance()
{
    ShowWindow(g_setup.maintenancePage, SW_HIDE);
    ++pageChanges;
    ShowWindow(g_setup.pageWindows[WelcomePageIndex], SW_SHOWNORMAL);
    EnableButton(g_setup.nextButton, true);
    return 0;
}

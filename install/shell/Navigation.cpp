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

// The last left-button press this thread took from its queue.
struct Press {
    bool seen;
    DWORD time;
    POINT position;
    unsigned pageChangesBefore;
};
Press lastPress{};
HHOOK hurriedPressHook = nullptr;

// Measured as the platform measures a double-click: from press to press, inside the
// double-click rectangle centred on the first press.
bool IsSecondPressOfDoubleClick(const MSG& press)
{
    if (!lastPress.seen || press.time - lastPress.time >= GetDoubleClickTime()) return false;
    return std::abs(press.pt.x - lastPress.position.x) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
           std::abs(press.pt.y - lastPress.position.y) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
}

// Sees every message as it leaves the queue, whichever loop takes it (ours, a message box's).
// A press that would land on the page its predecessor just opened is turned into WM_NULL; its
// release is harmless, as no control was pressed.
LRESULT CALLBACK DropHurriedPress(int code, WPARAM removal, LPARAM lParam)
{
    if (code == HC_ACTION && removal == PM_REMOVE) {
        MSG& msg = *reinterpret_cast<MSG*>(lParam);
        if (msg.message == WM_LBUTTONDOWN || msg.message == WM_LBUTTONDBLCLK) {
            bool hurried = IsSecondPressOfDoubleClick(msg) && lastPress.pageChangesBefore != pageChanges;
            lastPress = {true, msg.time, msg.pt, pageChanges};
            if (hurried) msg.message = WM_NULL;
        }
    }
    return CallNextHookEx(hurriedPressHook, code, removal, lParam);
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

void StartHurriedPressGuard()
{
    if (hurriedPressHook) return;
    lastPress = {};
    hurriedPressHook = SetWindowsHookExA(WH_GETMESSAGE, DropHurriedPress, nullptr, GetCurrentThreadId());
}

void StopHurriedPressGuard()
{
    if (hurriedPressHook) UnhookWindowsHookEx(hurriedPressHook);
    hurriedPressHook = nullptr;
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

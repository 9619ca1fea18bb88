#include <gtest/gtest.h>

#include <string>

#include "shell/MainWindow.h"
#include "shell/Navigation.h"
#include "shell/SetupState.h"
#include "support/Files.h"
#include "support/Hooks.h"
#include "support/InstallSupport.h"
#include "support/Registry.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

class NavigationTest : public ProductKeyTest {
protected:
    void ExpectState(int page, bool backEnabled, bool nextEnabled, const char* nextCaption)
    {
        EXPECT_EQ(g_setup.currentPage, page);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(IsWindowVisible(g_setup.pageWindows[i]) != FALSE, i == page) << "page " << i;
        EXPECT_EQ(IsWindowEnabled(g_setup.backButton) != FALSE, backEnabled);
        EXPECT_EQ(IsWindowEnabled(g_setup.nextButton) != FALSE, nextEnabled);
        EXPECT_EQ(WindowText(g_setup.nextButton), nextCaption);
    }

    // Walks to a page with the license accepted, into a folder of this test with no
    // shortcuts and nothing to start or open, should an installation begin.
    void WalkTo(int page, const std::string& destination)
    {
        g_setup.licenseAccepted = true;
        while (g_setup.currentPage < page) Press(NextButtonId);
        lstrcpynA(g_setup.installBaseDir, destination.c_str(), sizeof g_setup.installBaseDir);
        g_setup.wantDesktopShortcut = g_setup.wantStartMenuShortcut = g_setup.wantProgramGroup = false;
        g_setup.runAfterInstall = g_setup.viewReadme = false;
    }
};

// Queues the mouse messages of a double-click in the middle of a button, in the order the
// system delivers them, and lets them be dispatched.
void DoubleClick(HWND button)
{
    RECT client;
    GetClientRect(button, &client);
    LPARAM middle = MAKELPARAM(client.right / 2, client.bottom / 2);
    PostMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    PostMessageA(button, WM_LBUTTONUP, 0, middle);
    PostMessageA(button, WM_LBUTTONDBLCLK, MK_LBUTTON, middle);
    PostMessageA(button, WM_LBUTTONUP, 0, middle);
    PumpMessages();
}

// The staged library's load, which fails; the first attempt queues a click on "Install" and
// the keys that press the focused button, and notes what the buttons take meanwhile.
using LoadLibraryFn = HMODULE(WINAPI*)(LPCSTR);
LoadLibraryFn realLoadLibrary = nullptr;
int installAttempts = 0;
bool buttonsTookInput = false;
HWND focusDuringAttempt = nullptr;
HMODULE WINAPI FailLoadAfterQueuingInput(LPCSTR path)
{
    if (!path || lstrcmpiA(path, g_setup.unzipLibraryPath) != 0) return realLoadLibrary(path);
    if (++installAttempts == 1) {
        for (HWND button : {g_setup.backButton, g_setup.nextButton, g_setup.cancelButton})
            if (IsWindowEnabled(button)) buttonsTookInput = true;
        focusDuringAttempt = GetFocus();
        PostMessageA(g_setup.nextButton, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        PostMessageA(g_setup.nextButton, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        PostMessageA(g_setup.nextButton, WM_KEYDOWN, VK_SPACE, 0x00390001);
        PostMessageA(g_setup.nextButton, WM_KEYUP, VK_SPACE, 0xC0390001);
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

} // namespace

TEST_F(NavigationTest, WalksForwardAndBackThroughTheStateTable)
{
    Wizard wizard;
    ExpectState(0, false, true, "Next >");

    Press(NextButtonId);  // W -> L, Next follows licenseAccepted (not yet accepted)
    ExpectState(1, true, false, "Next >");

    g_setup.licenseAccepted = true;
    Press(BackButtonId);  // L -> W
    ExpectState(0, false, true, "Next >");
    Press(NextButtonId);  // W -> L, accepted before: Next enabled at once
    ExpectState(1, true, true, "Next >");

    Press(NextButtonId);  // L -> D
    ExpectState(2, true, true, "Next >");
    Press(NextButtonId);  // D -> P
    ExpectState(3, true, true, "Install");
    Press(BackButtonId);  // P -> D, caption back
    ExpectState(2, true, true, "Next >");
    Press(NextButtonId);  // D -> P again
    ExpectState(3, true, true, "Install");
    Press(BackButtonId);
    Press(BackButtonId);  // D -> L, Next enabled from licenseAccepted
    ExpectState(1, true, true, "Next >");
}

TEST_F(NavigationTest, BackOnTheFirstPageIsIgnored)
{
    Wizard wizard;
    OnBackCommand();
    ExpectState(0, false, true, "Next >");
}

TEST_F(NavigationTest, CancelAnsweredNoChangesNothing)
{
    Wizard wizard;
    g_setup.licenseAccepted = true;
    Press(NextButtonId);
    Press(NextButtonId);
    Press(NextButtonId);
    ExpectState(3, true, true, "Install");

    MessageBoxAnswerer answerer(IDNO);
    Press(CancelButtonId);
    const MessageBoxCall asked{g_setup.mainWindow,
                               "Setup is not complete. If you quit the program will not be installed\n\nExit setup?",
                               "Exit Setup", MB_ICONQUESTION | MB_YESNO, IDNO};
    EXPECT_EQ(answerer.Calls(), std::vector<MessageBoxCall>{asked});

    ExpectState(3, true, true, "Install");
    EXPECT_TRUE(IsWindow(g_setup.mainWindow));
    EXPECT_FALSE(QuitPosted());
}

TEST_F(NavigationTest, CancelAnsweredYesTearsDownAndEndsTheLoop)
{
    Wizard wizard;
    HWND pages[4];
    for (int i = 0; i < 4; ++i) pages[i] = g_setup.pageWindows[i];

    MessageBoxAnswerer answerer(IDYES);
    Press(CancelButtonId);
    ASSERT_EQ(answerer.Calls().size(), 1u);
    EXPECT_EQ(answerer.Calls()[0].answer, IDYES);
    for (HWND page : pages) EXPECT_FALSE(IsWindow(page));
    EXPECT_TRUE(QuitPosted());
}

TEST_F(NavigationTest, NextOnTheProgressPageRunsTheInstallation)
{
    std::string destination = MakeTempFolder("navigation");
    Wizard wizard;
    WalkTo(3, destination);
    ExpectState(3, true, true, "Install");

    MessageBoxAnswerer answerer(IDOK);
    Press(NextButtonId);

    ASSERT_EQ(answerer.Calls().size(), 1u);
    EXPECT_EQ(answerer.Calls()[0].text, "Program was successfully installed!");
    EXPECT_TRUE(DirectoryExists(destination + "\\ZAV 1.00 beta 8"));
    EXPECT_TRUE(QuitPosted());
    RemoveTree(destination);
}

TEST_F(NavigationTest, TheSecondPressOfADoubleClickNeverActsOnThePageTheFirstOpened)
{
    std::string destination = MakeTempFolder("navigation-double");
    struct Case {
        const char* what;
        int page;
        int button;
        int expectedPage;
    };
    const Case cases[] = {
        {"Next on the destination page", DestinationPageIndex, NextButtonId, ProgressPageIndex},
        {"Next on the license page", LicensePageIndex, NextButtonId, DestinationPageIndex},
        {"Back on the progress page", ProgressPageIndex, BackButtonId, DestinationPageIndex},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Wizard wizard;
        WalkTo(c.page, destination);
        MessageBoxAnswerer answerer(IDOK);

        DoubleClick(GetDlgItem(g_setup.mainWindow, c.button));

        EXPECT_EQ(g_setup.currentPage, c.expectedPage);
        EXPECT_TRUE(answerer.Calls().empty());
        EXPECT_FALSE(DirectoryExists(destination + "\\ZAV 1.00 beta 8")) << "installed";
        EXPECT_FALSE(QuitPosted());
    }
    RemoveStagedLeftovers();
    RemoveTree(destination);
}

TEST_F(NavigationTest, InputQueuedDuringAFailedInstallationIsDropped)
{
    std::string destination = MakeTempFolder("navigation-queued");
    Wizard wizard;
    WalkTo(ProgressPageIndex, destination);
    SetFocus(g_setup.nextButton);
    installAttempts = 0;
    buttonsTookInput = false;
    MessageBoxAnswerer answerer(IDOK);
    {
        ImportPatch load("kernel32.dll", "LoadLibraryA", reinterpret_cast<void*>(&FailLoadAfterQueuingInput));
        ASSERT_TRUE(load.Active());
        realLoadLibrary = reinterpret_cast<LoadLibraryFn>(load.Original());

        Press(NextButtonId);
        PumpMessages();
    }

    EXPECT_EQ(installAttempts, 1);
    EXPECT_FALSE(buttonsTookInput);
    EXPECT_TRUE(focusDuringAttempt && IsWindowEnabled(focusDuringAttempt)) << "focus on a disabled control";
    ExpectState(ProgressPageIndex, true, true, "Install");
    EXPECT_TRUE(IsWindowEnabled(g_setup.cancelButton));
    EXPECT_EQ(GetFocus(), g_setup.nextButton);
    EXPECT_FALSE(QuitPosted());
    RemoveStagedLeftovers();
    RemoveTree(destination);
}

TEST_F(NavigationTest, ADisabledButtonHandsTheFocusOnToAnEnabledOne)
{
    struct Case {
        const char* what;
        bool licenseAccepted;
        int page;
        int pressed;  // has the focus, and is disabled by its own press
        int focusAfter;
    };
    const Case cases[] = {
        {"Next into the license page", false, WelcomePageIndex, NextButtonId, CancelButtonId},
        {"Back into the welcome page", true, LicensePageIndex, BackButtonId, NextButtonId},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Wizard wizard;
        g_setup.licenseAccepted = true;
        while (g_setup.currentPage < c.page) Press(NextButtonId);
        g_setup.licenseAccepted = c.licenseAccepted;
        HWND pressed = GetDlgItem(g_setup.mainWindow, c.pressed);
        SetFocus(pressed);
        ASSERT_EQ(GetFocus(), pressed);

        Press(c.pressed);

        EXPECT_FALSE(IsWindowEnabled(pressed));
        EXPECT_EQ(GetFocus(), GetDlgItem(g_setup.mainWindow, c.focusAfter));
    }
}

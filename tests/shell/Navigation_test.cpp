#include <gtest/gtest.h>

#include <string>

#include "shell/MainWindow.h"
#include "shell/Navigation.h"
#include "shell/SetupState.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

class NavigationTest : public ::testing::Test {
protected:
    void SetUp() override { ResetProductKey(); }
    void TearDown() override { ResetProductKey(); }

    void Press(int id) { SendCommand(g_setup.mainWindow, id, GetDlgItem(g_setup.mainWindow, id)); }

    void ExpectState(int page, bool backEnabled, bool nextEnabled, const char* nextCaption)
    {
        EXPECT_EQ(g_setup.currentPage, page);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(IsWindowVisible(g_setup.pageWindows[i]) != FALSE, i == page) << "page " << i;
        EXPECT_EQ(IsWindowEnabled(g_setup.backButton) != FALSE, backEnabled);
        EXPECT_EQ(IsWindowEnabled(g_setup.nextButton) != FALSE, nextEnabled);
        EXPECT_EQ(WindowText(g_setup.nextButton), nextCaption);
    }
};

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
    ASSERT_EQ(answerer.Calls().size(), 1u);
    const MessageBoxCall& call = answerer.Calls()[0];
    EXPECT_EQ(call.owner, g_setup.mainWindow);
    EXPECT_EQ(call.text, "Setup is not complete. If you quit the program will not be installed\n\nExit setup?");
    EXPECT_EQ(call.caption, "Exit Setup");
    EXPECT_EQ(call.style, static_cast<UINT>(MB_ICONQUESTION | MB_YESNO));
    EXPECT_EQ(call.answer, IDNO);

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
    g_setup.licenseAccepted = true;
    Press(NextButtonId);
    Press(NextButtonId);
    Press(NextButtonId);
    ExpectState(3, true, true, "Install");
    // Into a folder of this test, with nothing to start or open at the end.
    lstrcpynA(g_setup.installBaseDir, destination.c_str(), sizeof g_setup.installBaseDir);
    g_setup.wantDesktopShortcut = g_setup.wantStartMenuShortcut = g_setup.wantProgramGroup = false;
    g_setup.runAfterInstall = g_setup.viewReadme = false;

    MessageBoxAnswerer answerer(IDOK);
    Press(NextButtonId);

    ASSERT_EQ(answerer.Calls().size(), 1u);
    EXPECT_EQ(answerer.Calls()[0].text, "Program was successfully installed!");
    EXPECT_TRUE(DirectoryExists(destination + "\\ZAV 1.00 beta 8"));
    EXPECT_TRUE(QuitPosted());
    RemoveTree(destination);
}

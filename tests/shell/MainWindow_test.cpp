#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "shell/MainWindow.h"
#include "shell/SetupState.h"
#include "support/Canvas.h"
#include "support/Hooks.h"
#include "support/Registry.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

class MainWindowTest : public ProductKeyTest {};

} // namespace

TEST_F(MainWindowTest, FrameHasClassTitleFixedStyleSizeAndCentredPosition)
{
    Wizard wizard;
    HWND main = wizard.Main();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(ClassName(main), "INSTALL");
    EXPECT_EQ(WindowText(main), "Setup - ZAV");

    LONG style = GetWindowLongA(main, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
    EXPECT_EQ(GetWindowLongA(main, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);

    RECT rect;
    GetWindowRect(main, &rect);
    EXPECT_EQ(rect.right - rect.left, 450);
    EXPECT_EQ(rect.bottom - rect.top, 350);
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 450) / 2);
    EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 350) / 2);
}

TEST_F(MainWindowTest, ButtonsStandAtTheirPositionsWithCaptionsAndIds)
{
    Wizard wizard;
    RECT client;
    GetClientRect(wizard.Main(), &client);
    struct Expected {
        HWND button;
        const char* caption;
        int id;
        int rightOffset;
    } buttons[] = {
        {g_setup.backButton, "< Back", 1, 290},
        {g_setup.nextButton, "Next >", 2, 200},
        {g_setup.cancelButton, "Cancel", 3, 90},
    };
    for (const Expected& expected : buttons) {
        SCOPED_TRACE(expected.caption);
        ASSERT_NE(expected.button, nullptr);
        EXPECT_EQ(ClassName(expected.button), "Button");
        EXPECT_EQ(WindowText(expected.button), expected.caption);
        EXPECT_EQ(GetDlgCtrlID(expected.button), expected.id);
        RECT rect = WindowRectInParent(expected.button);
        EXPECT_EQ(rect.left, client.right - expected.rightOffset);
        EXPECT_EQ(rect.top, client.bottom - 33);
        EXPECT_EQ(rect.right - rect.left, 80);
        EXPECT_EQ(rect.bottom - rect.top, 23);
        EXPECT_EQ(SendMessageA(expected.button, WM_GETFONT, 0, 0),
                  reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT)));
    }
}

TEST_F(MainWindowTest, NothingRecordedStartsOnTheWelcomePage)
{
    Wizard wizard;
    EXPECT_EQ(g_setup.currentPage, 0);
    EXPECT_EQ(g_setup.maintenancePage, nullptr);
    EXPECT_EQ(g_setup.selectedVersionName[0], '\0');
    EXPECT_FALSE(IsWindowEnabled(g_setup.backButton));
    EXPECT_TRUE(IsWindowEnabled(g_setup.nextButton));
    EXPECT_EQ(WindowText(g_setup.nextButton), "Next >");

    const char* classes[] = {"installone", "installtwo", "installthree", "installfour"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(classes[i]);
        HWND page = g_setup.pageWindows[i];
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(ClassName(page), classes[i]);
        EXPECT_EQ(GetDlgCtrlID(page), i);
        EXPECT_EQ(IsWindowVisible(page) != FALSE, i == 0);
        RECT rect = WindowRectInParent(page);
        EXPECT_EQ(rect.left, 10);
        EXPECT_EQ(rect.top, 10);
        EXPECT_EQ(rect.right - rect.left, 420);
        EXPECT_EQ(rect.bottom - rect.top, 255);
    }
}

TEST_F(MainWindowTest, SeparatorIsAGreyLineAboveAWhiteLine)
{
    Wizard wizard;
    Pixels pixels(wizard.Main());
    int bottom = pixels.Height();
    int right = pixels.Width();
    COLORREF white = RGB(255, 255, 255);
    COLORREF grey = RGB(150, 150, 150);
    for (int x = 10; x < right - 10; ++x) {
        ASSERT_EQ(pixels.At(x, bottom - 45), white) << "x " << x;
        ASSERT_EQ(pixels.At(x, bottom - 46), grey) << "x " << x;
    }
    // The lines stop one pixel short of their end point and start exactly at x 10.
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(pixels.At(right - 10, bottom - 45), face);
    EXPECT_EQ(pixels.At(right - 10, bottom - 46), face);
    EXPECT_EQ(pixels.At(9, bottom - 45), face);
    EXPECT_EQ(pixels.At(9, bottom - 46), face);
    EXPECT_EQ(pixels.At(50, bottom - 44), face);
    EXPECT_EQ(pixels.At(50, bottom - 47), face);
}

TEST_F(MainWindowTest, ClosingFromTheTitleBarEndsWithoutAQuestion)
{
    Wizard wizard;
    MessageBoxAnswerer answerer(IDNO);
    HWND main = wizard.Main();
    SendMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(answerer.Calls().empty());
    EXPECT_FALSE(IsWindow(main));
    EXPECT_TRUE(QuitPosted());
}

TEST_F(MainWindowTest, CommandDestroyClosesTheMainWindow)
{
    Wizard wizard;
    HWND main = wizard.Main();
    SendCommand(main, DestroyCommandId);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_TRUE(QuitPosted());
}

TEST_F(MainWindowTest, EveryPageDestroysItselfOnCommand105AndEndsTheLoop)
{
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        Wizard wizard;
        HWND page = g_setup.pageWindows[i];
        SendCommand(page, DestroyCommandId);
        EXPECT_FALSE(IsWindow(page));
        EXPECT_TRUE(IsWindow(wizard.Main()));
        EXPECT_TRUE(QuitPosted());
    }
}

TEST_F(MainWindowTest, AcceleratorKeysDoNothingVisible)
{
    Wizard wizard;
    HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(109));
    ASSERT_NE(table, nullptr);
    MSG msg{};
    msg.hwnd = wizard.Main();
    msg.message = WM_SYSCHAR;
    msg.wParam = '?';
    msg.lParam = 1 << 29;  // Alt held
    TranslateAcceleratorA(wizard.Main(), table, &msg);
    PumpMessages();
    EXPECT_TRUE(IsWindow(wizard.Main()));
    EXPECT_EQ(g_setup.currentPage, 0);
    EXPECT_TRUE(IsWindowVisible(g_setup.pageWindows[0]));
}

TEST_F(MainWindowTest, RepeatedTeardownReleasesEverythingOnce)
{
    {
        Wizard wizard;
        SendMessageA(wizard.Main(), WM_DESTROY, 0, 0);
        for (HWND page : g_setup.pageWindows) EXPECT_EQ(page, nullptr);
        EXPECT_TRUE(QuitPosted());
    }
    // The window itself is destroyed afterwards (a second WM_DESTROY); a new wizard still works.
    Wizard again;
    EXPECT_NE(again.Main(), nullptr);
    EXPECT_TRUE(IsWindowVisible(g_setup.pageWindows[0]));
}

// Registering the classes again fails for each of them (they exist already); none of those
// failures may leave its background brush behind.
TEST_F(MainWindowTest, FailedClassRegistrationsKeepNoBrush)
{
    { Wizard wizard; }  // the classes exist from here on
    RegisterWindowClasses(GetModuleHandleA(nullptr));  // fills the system's caches once
    int before = LiveGdiObjects();
    ASSERT_GT(before, 0) << "no way to count GDI objects here";
    for (int i = 0; i < 3; ++i) RegisterWindowClasses(GetModuleHandleA(nullptr));
    EXPECT_EQ(LiveGdiObjects(), before);
}

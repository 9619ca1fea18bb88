#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pages/PageDrawing.h"
#include "pages/WelcomePage.h"
#include "shell/Navigation.h"
#include "shell/SetupState.h"
#include "support/Registry.h"
#include "support/TestSupport.h"

using namespace testing_support;
using page_drawing::Text;

namespace {

class WelcomePageTest : public ProductKeyTest {};

// The version name stands at x 130; only a label that reaches past x 130 in this system's
// font moves it, to 4 pixels after the label's end.
int VersionNameX()
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, g_setup.guiFont);
    RECT box = {10, 40, 420, 255};
    DrawTextA(dc, "The installed version is:", -1, &box, DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return box.right > 130 ? box.right + 4 : 130;
}

// Clicks a row of a list box with the mouse messages a user's click sends.
void ClickRow(HWND list, int row)
{
    RECT item;
    ASSERT_NE(SendMessageA(list, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&item)), LB_ERR);
    LPARAM at = MAKELPARAM(item.left + 5, (item.top + item.bottom) / 2);
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(list, WM_LBUTTONUP, 0, at);
    PumpMessages();
}

} // namespace

TEST_F(WelcomePageTest, StartUpFollowsWhatIsRecorded)
{
    const std::uint32_t v1013 = 1013, v1014 = 1014, v1015 = 1015;
    const char* const older[] = {"This version is already installed on your computer, but it is older.",
                                 "Your version will be updated."};
    struct Case {
        const char* what;
        bool productKey, thisVersion;
        const std::uint32_t* number;
        bool others;
        std::uint8_t relation;
        const char* status;  // nullptr: no status line and no advice
        const char* advice;
    } cases[] = {
        {"nothing", false, false, nullptr, false, 0, nullptr, nullptr},
        {"empty product key", true, false, nullptr, false, 0, nullptr, nullptr},
        {"only others", true, false, nullptr, true, 0, nullptr, nullptr},
        {"same number and others", true, true, &v1014, true, 1,
         "This version is already installed on your computer, but it is the same.",
         "It is not necessary to install this version!"},
        {"no Version value", true, true, nullptr, false, 2, older[0], older[1]},
        {"older number and others", true, true, &v1013, true, 2, older[0], older[1]},
        {"newer number", true, true, &v1015, false, 0,
         "This version is already installed on your computer and it is newer.",
         "Your version is newer, please do not install this version!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetProductKey();
        HKEY product = nullptr;
        if (c.productKey && RegCreateKeyA(HKEY_CURRENT_USER, "Software\\ZAV", &product) == ERROR_SUCCESS)
            RegCloseKey(product);
        if (c.thisVersion) RecordVersion("ZAV 1.00 beta 8", true, "C:\\ZAV", c.number);
        if (c.others) {
            RecordVersion("ZAV 1.00 beta 6", true, "C:\\six");
            RecordVersion("ZAV 0.99", false);
        }
        Wizard wizard;
        bool listed = c.others && !c.thisVersion;
        EXPECT_EQ(g_setup.thisVersionInstalled, c.thisVersion);
        EXPECT_EQ(g_setup.versionRelation, c.relation);
        EXPECT_EQ(g_setup.previousVersionsExist, listed);
        EXPECT_EQ(g_setup.maintenancePage != nullptr, c.thisVersion || c.others);
        EXPECT_STREQ(g_setup.selectedVersionName, "");
        HWND list = g_setup.previousConfigList;
        EXPECT_EQ(list != nullptr, listed);
        EXPECT_EQ(GetWindow(g_setup.pageWindows[0], GW_CHILD), list);

        std::vector<Text> texts = {{10, 10, "Welcome to ZAV instalation program!", g_setup.guiFont},
                                   {10, 40, "The installed version is:", g_setup.guiFont},
                                   {10, 230, "Click next to continue.", g_setup.guiFont},
                                   {VersionNameX(), 38, "ZAV 1.00 beta 8", g_setup.boldFont}};
        if (c.status) {
            texts.push_back({10, 100, c.status, g_setup.guiFont});
            texts.push_back({10, 130, c.advice, g_setup.boldFont, DT_WORDBREAK});  // wraps, never cut
        }
        std::vector<HWND> children;
        if (listed) {
            texts.push_back({10, 90, "Please select previous version for configuration:", g_setup.guiFont});
            children.push_back(list);
            std::vector<std::string> rows = {"No previous configuration"};
            for (const std::string& name : VersionKeys()) rows.push_back(name);
            EXPECT_EQ(ListRows(list), rows);
            EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 0);
            EXPECT_EQ(GetDlgCtrlID(list), 4);
            EXPECT_EQ(SendMessageA(list, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(g_setup.guiFont));
            EXPECT_EQ(GetWindowLongA(list, GWL_STYLE) & (WS_BORDER | LBS_NOTIFY | LBS_SORT), WS_BORDER | LBS_NOTIFY);
            RECT rect = WindowRectInParent(list);
            EXPECT_EQ(rect.left, 10);
            EXPECT_EQ(rect.top, 110);
            EXPECT_EQ(rect.right, 410);
            EXPECT_LE(rect.bottom, 200);  // trimmed to whole rows
        }
        // The page as the user sees it, after the maintenance page's "Install" where it stands in front.
        if (g_setup.maintenancePage) EnterWizardFromMaintenance();
        page_drawing::ExpectPageShowsExactly(g_setup.pageWindows[0], texts, children);
    }
}

TEST_F(WelcomePageTest, ChoosingARowSetsTheNameAndTheRunCheckBox)
{
    RecordVersion("ZAV 1.00 beta 6");
    RecordVersion("ZAV 1.00 beta 7");
    Wizard wizard;
    HWND list = g_setup.previousConfigList;
    ASSERT_NE(list, nullptr);
    std::vector<std::string> rows = ListRows(list);
    ASSERT_EQ(rows.size(), 3u);

    // Without the progress page's check box nothing may fail.
    HWND realCheck = g_setup.runAfterCheck;
    g_setup.runAfterCheck = nullptr;
    ClickRow(list, 1);
    EXPECT_EQ(g_setup.selectedVersionName, rows[1]);
    ClickRow(list, 0);
    EXPECT_STREQ(g_setup.selectedVersionName, "");

    HWND standIn = realCheck ? nullptr
                             : CreateWindowExA(0, "button", "Run ZAV after installation", WS_POPUP | BS_CHECKBOX,
                                               0, 0, 200, 20, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    g_setup.runAfterCheck = realCheck ? realCheck : standIn;
    g_setup.runAfterInstall = true;
    SendMessageA(g_setup.runAfterCheck, BM_SETCHECK, BST_CHECKED, 0);
    for (int row : {2, 1, 0, 0, 2}) {
        SCOPED_TRACE("row " + std::to_string(row));
        ClickRow(list, row);
        EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), row);
        EXPECT_EQ(g_setup.selectedVersionName, row ? rows[row] : "");
        EXPECT_EQ(IsWindowEnabled(g_setup.runAfterCheck) != FALSE, row == 0);
        // The option itself and its mark stay as they were.
        EXPECT_TRUE(g_setup.runAfterInstall);
        EXPECT_TRUE(IsChecked(g_setup.runAfterCheck));
    }

    // A notification without a selected row changes nothing.
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SendCommand(g_setup.pageWindows[0], PreviousConfigListId, list);
    EXPECT_EQ(g_setup.selectedVersionName, rows[2]);
    EXPECT_FALSE(IsWindowEnabled(g_setup.runAfterCheck));

    g_setup.runAfterCheck = realCheck;
    if (standIn) DestroyWindow(standIn);
}

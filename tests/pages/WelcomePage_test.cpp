#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pages/PageDrawing.h"
#include "shell/MainWindow.h"
#include "shell/Navigation.h"
#include "shell/SetupState.h"
#include "support/TestSupport.h"

using namespace testing_support;
using page_drawing::Text;

namespace {

const char* const Welcome = "Welcome to ZAV instalation program!";
const char* const Label = "The installed version is:";
const char* const Continue = "Click next to continue.";
const char* const Prompt = "Please select previous version for configuration:";
const char* const FirstRow = "No previous configuration";

class WelcomePageTest : public ::testing::Test {
protected:
    void SetUp() override { ResetProductKey(); }
    void TearDown() override { ResetProductKey(); }

    // The page as the user sees it, also when the maintenance page stands in front.
    HWND ShownWelcomePage()
    {
        if (g_setup.maintenancePage) EnterWizardFromMaintenance();
        PumpMessages();
        return g_setup.pageWindows[0];
    }
};

// The version name stands at x 130, or further right when the label in this system's font
// would reach under it.
int VersionNameX()
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, g_setup.guiFont);
    RECT box = {10, 40, 420, 255};
    DrawTextA(dc, Label, -1, &box, DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return box.right + 4 > 130 ? box.right + 4 : 130;
}

std::vector<Text> AlwaysDrawn()
{
    return {{10, 10, Welcome, g_setup.guiFont},
            {10, 40, Label, g_setup.guiFont},
            {10, 230, Continue, g_setup.guiFont},
            {VersionNameX(), 38, "ZAV 1.00 beta 8", g_setup.boldFont}};
}

std::vector<std::string> VersionKeys()
{
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\ZAV", 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    char name[300];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) names.push_back(name);
    RegCloseKey(key);
    return names;
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

TEST_F(WelcomePageTest, NothingRecordedShowsOnlyTheGreeting)
{
    for (bool emptyProductKey : {false, true}) {
        SCOPED_TRACE(emptyProductKey ? "empty Software\\ZAV" : "no Software\\ZAV");
        ResetProductKey();
        if (emptyProductKey) {
            HKEY key = nullptr;
            RegCreateKeyA(HKEY_CURRENT_USER, "Software\\ZAV", &key);
            RegCloseKey(key);
        }
        Wizard wizard;
        EXPECT_FALSE(g_setup.thisVersionInstalled);
        EXPECT_FALSE(g_setup.previousVersionsExist);
        EXPECT_EQ(g_setup.versionRelation, 0);
        EXPECT_EQ(g_setup.previousConfigList, nullptr);
        EXPECT_EQ(g_setup.maintenancePage, nullptr);
        EXPECT_STREQ(g_setup.selectedVersionName, "");
        EXPECT_EQ(GetWindow(g_setup.pageWindows[0], GW_CHILD), nullptr);
        page_drawing::ExpectPageShowsExactly(ShownWelcomePage(), AlwaysDrawn());
    }
}

TEST_F(WelcomePageTest, ThisVersionRecordedReportsHowItCompares)
{
    const std::uint32_t v1013 = 1013, v1014 = 1014, v1015 = 1015;
    struct Case {
        const char* what;
        const std::uint32_t* version;
        bool othersRecorded;
        std::uint8_t relation;
        const char* status;
        const char* advice;
    } cases[] = {
        {"same number, others recorded", &v1014, true, 1,
         "This version is already installed on your computer, but it is the same.",
         "It is not necessary to install this version!"},
        {"no Version value", nullptr, false, 2,
         "This version is already installed on your computer, but it is older.", "Your version will be updated."},
        {"older number, others recorded", &v1013, true, 2,
         "This version is already installed on your computer, but it is older.", "Your version will be updated."},
        {"newer number", &v1015, false, 0,
         "This version is already installed on your computer and it is newer.",
         "Your version is newer, please do not install this version!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetProductKey();
        RecordVersion("ZAV 1.00 beta 8", true, "C:\\ZAV", c.version);
        if (c.othersRecorded) {
            RecordVersion("ZAV 1.00 beta 6");
            RecordVersion("ZAV 1.00 beta 7");
        }
        Wizard wizard;
        EXPECT_TRUE(g_setup.thisVersionInstalled);
        EXPECT_EQ(g_setup.versionRelation, c.relation);
        EXPECT_FALSE(g_setup.previousVersionsExist);
        EXPECT_EQ(g_setup.previousConfigList, nullptr);
        EXPECT_NE(g_setup.maintenancePage, nullptr);
        EXPECT_STREQ(g_setup.selectedVersionName, "");

        std::vector<Text> texts = AlwaysDrawn();
        texts.push_back({10, 100, c.status, g_setup.guiFont});
        texts.push_back({10, 130, c.advice, g_setup.boldFont});
        page_drawing::ExpectPageShowsExactly(ShownWelcomePage(), texts);
    }
}

TEST_F(WelcomePageTest, OtherVersionsAreOfferedAsPreviousConfigurations)
{
    RecordVersion("ZAV 1.00 beta 6", true, "C:\\six");
    RecordVersion("ZAV 0.99", false);
    RecordVersion("ZAV 1.00 beta 7", true, "C:\\seven");
    Wizard wizard;
    EXPECT_FALSE(g_setup.thisVersionInstalled);
    EXPECT_TRUE(g_setup.previousVersionsExist);
    EXPECT_NE(g_setup.maintenancePage, nullptr);
    EXPECT_STREQ(g_setup.selectedVersionName, "");

    HWND list = g_setup.previousConfigList;
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(GetParent(list), g_setup.pageWindows[0]);
    EXPECT_EQ(ClassName(list), "ListBox");
    EXPECT_EQ(GetDlgCtrlID(list), 4);
    LONG style = GetWindowLongA(list, GWL_STYLE);
    // WS_VSCROLL comes and goes with the need to scroll; three rows need none.
    LONG wanted = WS_CHILD | WS_VISIBLE | WS_BORDER | LBS_NOTIFY;
    EXPECT_EQ(style & wanted, wanted);
    EXPECT_EQ(style & LBS_SORT, 0);
    EXPECT_EQ(SendMessageA(list, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(g_setup.guiFont));
    RECT rect = WindowRectInParent(list);
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.top, 110);
    EXPECT_EQ(rect.right - rect.left, 400);
    EXPECT_LE(rect.bottom - rect.top, 90);  // trimmed to whole rows

    std::vector<std::string> expected = {FirstRow};
    for (const std::string& name : VersionKeys()) expected.push_back(name);
    EXPECT_EQ(expected.size(), 4u);
    EXPECT_EQ(ListRows(list), expected);
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 0);

    std::vector<Text> texts = AlwaysDrawn();
    texts.push_back({10, 90, Prompt, g_setup.guiFont});
    page_drawing::ExpectPageShowsExactly(ShownWelcomePage(), texts, {list});
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
    EXPECT_EQ(std::string(g_setup.selectedVersionName), rows[1]);
    ClickRow(list, 0);
    EXPECT_STREQ(g_setup.selectedVersionName, "");

    HWND standIn = nullptr;
    if (realCheck) {
        g_setup.runAfterCheck = realCheck;
    } else {
        standIn = CreateWindowExA(0, "button", "Run ZAV after installation", WS_POPUP | BS_CHECKBOX, 0, 0,
                                  200, 20, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        g_setup.runAfterCheck = standIn;
    }
    g_setup.runAfterInstall = true;
    SendMessageA(g_setup.runAfterCheck, BM_SETCHECK, BST_CHECKED, 0);

    struct Step {
        int row;
        const char* name;
        bool checkEnabled;
    } steps[] = {
        {2, rows[2].c_str(), false},
        {1, rows[1].c_str(), false},
        {0, "", true},
        {0, "", true},
        {2, rows[2].c_str(), false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE("row " + std::to_string(step.row));
        ClickRow(list, step.row);
        EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), step.row);
        EXPECT_STREQ(g_setup.selectedVersionName, step.name);
        EXPECT_EQ(IsWindowEnabled(g_setup.runAfterCheck) != FALSE, step.checkEnabled);
        // The option itself and its mark stay as they were.
        EXPECT_TRUE(g_setup.runAfterInstall);
        EXPECT_TRUE(IsChecked(g_setup.runAfterCheck));
    }

    // A notification without a selected row changes nothing.
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SendCommand(g_setup.pageWindows[0], 4, list);
    EXPECT_EQ(std::string(g_setup.selectedVersionName), rows[2]);
    EXPECT_FALSE(IsWindowEnabled(g_setup.runAfterCheck));

    g_setup.runAfterCheck = realCheck;
    if (standIn) DestroyWindow(standIn);
}

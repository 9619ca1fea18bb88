#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "pages/LicensePage.h"
#include "pages/PageDrawing.h"
#include "shell/MainWindow.h"
#include "shell/SetupState.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

class LicensePageTest : public ::testing::Test {
protected:
    void SetUp() override { ResetProductKey(); }
    void TearDown() override { ResetProductKey(); }

    void Press(int id) { SendCommand(g_setup.mainWindow, id, GetDlgItem(g_setup.mainWindow, id)); }

    // On the license page, as after the user's Next on the welcome page.
    void EnterLicensePage()
    {
        Press(NextButtonId);
        ASSERT_EQ(g_setup.currentPage, 1);
    }

    void ExpectChoice(bool accepted)
    {
        EXPECT_EQ(g_setup.licenseAccepted, accepted);
        EXPECT_EQ(IsChecked(g_setup.acceptRadio), accepted);
        EXPECT_EQ(IsChecked(g_setup.declineRadio), !accepted);
        EXPECT_EQ(IsWindowEnabled(g_setup.nextButton) != FALSE, accepted);
    }
};

// Presses a button with the mouse messages a user's click sends; the button notifies its page.
void MouseClick(HWND button)
{
    LPARAM at = MAKELPARAM(5, 5);
    SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(button, WM_LBUTTONUP, 0, at);
    PumpMessages();
}

bool HasLowerCase(const std::string& row)
{
    for (unsigned char c : row)
        if (std::islower(c)) return true;
    return false;
}

} // namespace

TEST_F(LicensePageTest, ControlsStandWhereTheyBelong)
{
    Wizard wizard;
    HWND page = g_setup.pageWindows[1];
    struct Expected {
        HWND control;
        const char* className;
        const char* text;
        int id;
        RECT rect;
        LONG style;
    } controls[] = {
        {g_setup.licenseList, "ListBox", "", 4, {10, 30, 410, 210}, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_NOTIFY},
        {g_setup.acceptRadio, "Button", "I accept the licence agreement", 10, {10, 207, 310, 227}, WS_CHILD | WS_VISIBLE | BS_RADIOBUTTON},
        {g_setup.declineRadio, "Button", "I do not accept the licence agreement", 11, {10, 230, 310, 250}, WS_CHILD | WS_VISIBLE | BS_RADIOBUTTON},
    };
    for (const Expected& e : controls) {
        SCOPED_TRACE(e.className + std::string(" ") + e.text);
        ASSERT_NE(e.control, nullptr);
        EXPECT_EQ(GetParent(e.control), page);
        EXPECT_EQ(ClassName(e.control), e.className);
        EXPECT_EQ(WindowText(e.control), e.text);
        EXPECT_EQ(GetDlgCtrlID(e.control), e.id);
        LONG style = GetWindowLongA(e.control, GWL_STYLE);
        EXPECT_EQ(style & e.style, e.style);
        EXPECT_EQ(SendMessageA(e.control, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(g_setup.guiFont));
        RECT rect = WindowRectInParent(e.control);
        EXPECT_EQ(rect.left, e.rect.left);
        EXPECT_EQ(rect.top, e.rect.top);
        EXPECT_EQ(rect.right, e.rect.right);
        if (e.control == g_setup.licenseList) EXPECT_LE(rect.bottom, e.rect.bottom);  // whole rows
        else EXPECT_EQ(rect.bottom, e.rect.bottom);
    }
    // Plain radio buttons, no group: the page sets every mark itself.
    EXPECT_EQ(GetWindowLongA(g_setup.acceptRadio, GWL_STYLE) & BS_TYPEMASK, BS_RADIOBUTTON);
    EXPECT_EQ(GetWindowLongA(g_setup.declineRadio, GWL_STYLE) & BS_TYPEMASK, BS_RADIOBUTTON);
    EXPECT_EQ(GetWindowLongA(g_setup.licenseList, GWL_STYLE) & LBS_SORT, 0);

    EnterLicensePage();
    page_drawing::ExpectPageShowsExactly(
        page, {{10, 10, "Please read the following license agreement.", g_setup.guiFont}},
        {g_setup.licenseList, g_setup.acceptRadio, g_setup.declineRadio});
}

TEST_F(LicensePageTest, TheLicenseFillsItsRowsInBlocks)
{
    Wizard wizard;
    std::vector<std::string> rows = ListRows(g_setup.licenseList);
    ASSERT_EQ(rows.size(), 58u);
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i], LicenseRows[i]) << "row " << i + 1;
    EXPECT_EQ(SendMessageA(g_setup.licenseList, LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_EQ(SendMessageA(g_setup.licenseList, LB_GETTOPINDEX, 0, 0), 0);

    const std::set<size_t> blank = {4, 7, 10, 13, 16, 19, 22, 25, 36, 51, 55, 56};
    const std::set<size_t> termStarts = {11, 14, 17, 20, 23, 26, 37, 52};
    const std::set<size_t> capitals = {5, 6};  // and terms 6, 7 and 8 below
    int apostropheRows = 0;
    HDC dc = GetDC(g_setup.licenseList);
    HGDIOBJ old = SelectObject(dc, g_setup.guiFont);
    RECT listClient;
    GetClientRect(g_setup.licenseList, &listClient);
    int term = 0;
    for (size_t n = 1; n <= rows.size(); ++n) {
        const std::string& row = rows[n - 1];
        SCOPED_TRACE("row " + std::to_string(n) + ": " + row);
        EXPECT_LE(row.size(), 60u);
        if (blank.count(n)) {
            EXPECT_EQ(row, " ");
            continue;
        }
        EXPECT_FALSE(row.empty() || row[0] == ' ');
        if (termStarts.count(n)) {
            ++term;
            EXPECT_EQ(row.substr(0, 5), std::to_string(term) + ".   ");
            EXPECT_NE(row[5], ' ');
        } else {
            EXPECT_FALSE(std::isdigit(static_cast<unsigned char>(row[0])));
        }
        bool inCapitals = capitals.count(n) || n >= 26;
        if (n <= 54) {
            EXPECT_EQ(HasLowerCase(row), !inCapitals);
        }
        if (row.find('\x92') != std::string::npos) ++apostropheRows;
        EXPECT_EQ(row.find('\''), std::string::npos);
        // Every row fits the list's width, so it never needs a horizontal scroll.
        SIZE size;
        GetTextExtentPoint32A(dc, row.c_str(), static_cast<int>(row.size()), &size);
        EXPECT_LT(size.cx, listClient.right);
    }
    SelectObject(dc, old);
    ReleaseDC(g_setup.licenseList, dc);
    EXPECT_EQ(term, 8);
    EXPECT_EQ(apostropheRows, 1);
    EXPECT_NE(rows[0].find("ZAV"), std::string::npos);
    EXPECT_NE(rows[2].find("example.org"), std::string::npos);
}

TEST_F(LicensePageTest, AcceptAndDeclineSetBothMarksAndNext)
{
    Wizard wizard;
    EXPECT_FALSE(g_setup.licenseAccepted);
    EXPECT_TRUE(IsChecked(g_setup.declineRadio));
    EXPECT_FALSE(IsChecked(g_setup.acceptRadio));
    EnterLicensePage();
    ExpectChoice(false);

    struct Step {
        HWND* button;
        bool accepted;
    } steps[] = {
        {&g_setup.acceptRadio, true},   {&g_setup.acceptRadio, true}, {&g_setup.declineRadio, false},
        {&g_setup.declineRadio, false}, {&g_setup.acceptRadio, true}, {&g_setup.declineRadio, false},
    };
    int n = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE("step " + std::to_string(++n));
        MouseClick(*step.button);
        ExpectChoice(step.accepted);
    }
}

TEST_F(LicensePageTest, TheChoiceSurvivesBackAndNext)
{
    Wizard wizard;
    EnterLicensePage();
    for (bool accept : {true, false, true}) {
        SCOPED_TRACE(accept ? "accepted" : "declined");
        Click(accept ? g_setup.acceptRadio : g_setup.declineRadio);
        Press(BackButtonId);
        EXPECT_EQ(g_setup.currentPage, 0);
        EXPECT_TRUE(IsWindowEnabled(g_setup.nextButton));
        Press(NextButtonId);
        EXPECT_EQ(g_setup.currentPage, 1);
        ExpectChoice(accept);
    }
    // Accepted: Next leaves for the destination page, and Back returns to the same choice.
    Press(NextButtonId);
    EXPECT_EQ(g_setup.currentPage, 2);
    Press(BackButtonId);
    EXPECT_EQ(g_setup.currentPage, 1);
    ExpectChoice(true);
}

TEST_F(LicensePageTest, ClickingALicenseRowOnlySelectsIt)
{
    Wizard wizard;
    EnterLicensePage();
    Click(g_setup.acceptRadio);
    RECT item;
    SendMessageA(g_setup.licenseList, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&item));
    LPARAM at = MAKELPARAM(item.left + 5, (item.top + item.bottom) / 2);
    SendMessageA(g_setup.licenseList, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(g_setup.licenseList, WM_LBUTTONUP, 0, at);
    PumpMessages();
    EXPECT_EQ(SendMessageA(g_setup.licenseList, LB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(ListRows(g_setup.licenseList).size(), 58u);
    ExpectChoice(true);
    EXPECT_EQ(g_setup.currentPage, 1);
}

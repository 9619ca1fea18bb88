#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "pages/LicensePage.h"
#include "pages/PageDrawing.h"
#include "SetupDriver.h"
#include "shell/MainWindow.h"
#include "shell/SetupState.h"
#include "support/Registry.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

class LicensePageTest : public ProductKeyTest {
protected:
    void ExpectChoice(bool accepted)
    {
        EXPECT_EQ(g_setup.licenseAccepted, accepted);
        EXPECT_EQ(IsChecked(g_setup.acceptRadio), accepted);
        EXPECT_EQ(IsChecked(g_setup.declineRadio), !accepted);
        EXPECT_EQ(IsWindowEnabled(g_setup.nextButton) != FALSE, accepted);
    }
};

// Sends the mouse messages of a user's click at a point of a control.
void MouseClick(HWND control, int x = 5, int y = 5)
{
    SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    PumpMessages();
}

} // namespace

TEST_F(LicensePageTest, FreshPageShowsTheListAndTwoPlainRadioButtons)
{
    Wizard wizard;
    struct Expected {
        HWND control;
        const char* text;
        int id;
        RECT rect;
        LONG type;
    } controls[] = {
        {g_setup.licenseList, "", 4, {10, 30, 410, 210}, LBS_NOTIFY},
        {g_setup.acceptRadio, "I accept the licence agreement", 10, {10, 207, 310, 227}, BS_RADIOBUTTON},
        {g_setup.declineRadio, "I do not accept the licence agreement", 11, {10, 230, 310, 250}, BS_RADIOBUTTON},
    };
    for (const Expected& e : controls) {
        SCOPED_TRACE(e.id);
        ASSERT_EQ(GetParent(e.control), g_setup.pageWindows[1]);
        EXPECT_EQ(WindowText(e.control), e.text);
        EXPECT_EQ(GetDlgCtrlID(e.control), e.id);
        EXPECT_EQ(SendMessageA(e.control, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(g_setup.guiFont));
        RECT rect = WindowRectInParent(e.control);
        EXPECT_EQ(rect.left, e.rect.left);
        EXPECT_EQ(rect.top, e.rect.top);
        EXPECT_EQ(rect.right, e.rect.right);
        EXPECT_LE(rect.bottom, e.rect.bottom);  // the list is trimmed to whole rows
        EXPECT_GE(rect.bottom, e.rect.bottom - 20);
        LONG style = GetWindowLongA(e.control, GWL_STYLE);
        EXPECT_EQ(e.id == 4 ? style & (LBS_NOTIFY | LBS_SORT | WS_BORDER) : style & BS_TYPEMASK,
                  e.id == 4 ? LBS_NOTIFY | WS_BORDER : BS_RADIOBUTTON);
    }
    EXPECT_FALSE(g_setup.licenseAccepted);
    EXPECT_TRUE(IsChecked(g_setup.declineRadio));
    EXPECT_FALSE(IsChecked(g_setup.acceptRadio));
    EXPECT_EQ(SendMessageA(g_setup.licenseList, LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_EQ(SendMessageA(g_setup.licenseList, LB_GETTOPINDEX, 0, 0), 0);

    Press(NextButtonId);
    ExpectChoice(false);
    page_drawing::ExpectPageShowsExactly(
        g_setup.pageWindows[1], {{10, 10, "Please read the following license agreement.", g_setup.guiFont}},
        {g_setup.licenseList, g_setup.acceptRadio, g_setup.declineRadio});
}

TEST_F(LicensePageTest, TheLicenseFillsItsRowsInBlocks)
{
    Wizard wizard;
    std::vector<std::string> rows = ListRows(g_setup.licenseList);
    const std::vector<std::wstring> wideRows = e2e::ListRowTexts(g_setup.licenseList);
    ASSERT_EQ(rows.size(), 58u);
    ASSERT_EQ(wideRows.size(), 58u);
    const std::set<size_t> blank = {4, 7, 10, 13, 16, 19, 22, 25, 36, 51, 55, 56};
    const std::set<size_t> termStarts = {11, 14, 17, 20, 23, 26, 37, 52};
    HDC dc = GetDC(g_setup.licenseList);
    HGDIOBJ old = SelectObject(dc, g_setup.guiFont);
    RECT listClient;
    GetClientRect(g_setup.licenseList, &listClient);
    int term = 0, apostropheRows = 0;
    for (size_t n = 1; n <= rows.size(); ++n) {
        const std::string& row = rows[n - 1];
        SCOPED_TRACE("row " + std::to_string(n) + ": " + row);
        // Each letter as written, whatever code page the list was filled in.
        EXPECT_TRUE(wideRows[n - 1] == WideFromUtf8(LicenseRows[n - 1]));
        EXPECT_LE(wideRows[n - 1].size(), 60u);
        if (blank.count(n)) {
            EXPECT_EQ(row, " ");
            continue;
        }
        ASSERT_FALSE(row.empty());
        EXPECT_NE(row[0], ' ');
        if (termStarts.count(n)) {
            EXPECT_EQ(row.substr(0, 5), std::to_string(++term) + ".   ");
            EXPECT_NE(row[5], ' ');
        }
        EXPECT_EQ(std::isdigit(static_cast<unsigned char>(row[0])) != 0, termStarts.count(n) == 1);
        // The assent paragraph and terms 6 to 8 are in capitals, everything else is not.
        bool capitals = n == 5 || n == 6 || (n >= 26 && n <= 54);
        bool lower = false;
        for (unsigned char ch : row) lower = lower || std::islower(ch);
        EXPECT_EQ(lower, !capitals);
        apostropheRows += wideRows[n - 1].find(L'\u2019') != std::wstring::npos;
        // Every row fits the list's width, so it never needs a horizontal scroll.
        SIZE size;
        GetTextExtentPoint32A(dc, row.c_str(), static_cast<int>(row.size()), &size);
        EXPECT_LT(size.cx, listClient.right);
    }
    SelectObject(dc, old);
    ReleaseDC(g_setup.licenseList, dc);
    EXPECT_EQ(term, 8);
    EXPECT_EQ(apostropheRows, 1);
    EXPECT_NE(rows[2].find("example.org"), std::string::npos);
}

TEST_F(LicensePageTest, AcceptAndDeclineSetBothMarksAndNext)
{
    Wizard wizard;
    Press(NextButtonId);
    for (bool accept : {true, true, false, false, true, false}) {
        MouseClick(accept ? g_setup.acceptRadio : g_setup.declineRadio);
        ExpectChoice(accept);
    }
    // A click on a license row selects it and changes nothing else.
    MouseClick(g_setup.acceptRadio);
    RECT item;
    SendMessageA(g_setup.licenseList, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&item));
    MouseClick(g_setup.licenseList, item.left + 5, (item.top + item.bottom) / 2);
    EXPECT_EQ(SendMessageA(g_setup.licenseList, LB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(ListRows(g_setup.licenseList).size(), 58u);
    ExpectChoice(true);
}

TEST_F(LicensePageTest, TheChoiceSurvivesBackAndNext)
{
    Wizard wizard;
    Press(NextButtonId);
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
    Press(NextButtonId);  // accepted: on to the destination page and back
    EXPECT_EQ(g_setup.currentPage, 2);
    Press(BackButtonId);
    ExpectChoice(true);
}

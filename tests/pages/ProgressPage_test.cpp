#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ProgressSteps.h"
#include "shell/MainWindow.h"
#include "shell/Navigation.h"
#include "shell/Owners.h"
#include "shell/SetupState.h"
#include "shell/Text.h"
#include "support/Canvas.h"
#include "support/Registry.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

constexpr COLORREF Black = RGB(0, 0, 0);
constexpr COLORREF White = RGB(255, 255, 255);

class ProgressPageTest : public ProductKeyTest {};

HFONT GuiFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

// Text ink of the page inside area, against the page's colour.
InkShape PageInk(const Pixels& pixels, RECT area)
{
    COLORREF back = g_setup.backgroundColor;
    return InkIn(pixels, area, [back](int, int) { return back; });
}

void ExpectPlaced(HWND control, int x, int y, int width, int height)
{
    RECT rect = WindowRectInParent(control);
    EXPECT_EQ(rect.left, x);
    EXPECT_EQ(rect.top, y);
    EXPECT_EQ(rect.right - rect.left, width);
    EXPECT_EQ(rect.bottom - rect.top, height);
    EXPECT_EQ(SendMessageA(control, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(GuiFont()));
}

void ExpectText(const Pixels& pixels, RECT area, const char* text, HFONT font)
{
    SCOPED_TRACE(text);
    InkShape ink = PageInk(pixels, area);
    InkShape expected = ReferenceTextInk(text, font);
    EXPECT_TRUE(ink.SameShapeAs(expected));
    EXPECT_EQ(ink.box.left, area.left + expected.box.left);
    EXPECT_EQ(ink.box.top, area.top + expected.box.top);
}

} // namespace

TEST_F(ProgressPageTest, EditIsDisabledAndShowsTheDestination)
{
    Wizard wizard;
    HWND edit = g_setup.installDirEdit;
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(GetParent(edit), g_setup.progressPage);
    EXPECT_EQ(g_setup.progressPage, g_setup.pageWindows[ProgressPageIndex]);
    EXPECT_EQ(ClassName(g_setup.progressPage), "installfour");
    EXPECT_EQ(ClassName(edit), "Edit");
    EXPECT_EQ(GetDlgCtrlID(edit), 30);
    EXPECT_FALSE(IsWindowEnabled(edit));
    LONG style = GetWindowLongA(edit, GWL_STYLE);
    EXPECT_EQ(style & (WS_TABSTOP | ES_AUTOHSCROLL), WS_TABSTOP | ES_AUTOHSCROLL);
    EXPECT_EQ(style & ES_READONLY, 0);
    EXPECT_EQ(WindowText(edit), g_setup.installBaseDir);
    ExpectPlaced(edit, 10, 30, 400, 18);
}

// The page on its own, under a plain window, created after a destination was chosen.
TEST_F(ProgressPageTest, EditShowsTheDestinationKnownWhenThePageIsCreated)
{
    ResetSetupState();
    EnsureClassesRegistered();
    g_setup.instance = GetModuleHandleA(nullptr);
    const char destination[] = "C:\\Program Files\\Somewhere Else";
    text::Copy(g_setup.installBaseDir, destination);
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 450, 350, nullptr, nullptr,
                                  g_setup.instance, nullptr);
    HWND page = CreateWindowExA(0, "installfour", "installfour", WS_CHILD, 10, 10, 420, 255, parent,
                                reinterpret_cast<HMENU>(3), g_setup.instance, nullptr);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(WindowText(g_setup.installDirEdit), destination);

    DestroyWindow(parent);
    PumpMessages();
    for (HDC dc : {g_setup.progressBar.memoryDC, g_setup.statusLabel.memoryDC}) DeleteDC(dc);
    for (HBITMAP bitmap : {g_setup.progressBar.bitmap, g_setup.statusLabel.bitmap}) DeleteObject(bitmap);
    ResetSetupState();
}

TEST_F(ProgressPageTest, BoxesStartCheckedAndToggleWithTheirFlags)
{
    Wizard wizard;
    struct Box {
        HWND button;
        bool* flag;
        const char* caption;
        int id;
        int top;
    } boxes[] = {
        {g_setup.runAfterCheck, &g_setup.runAfterInstall, "Run ZAV after installation", 31, 70},
        {g_setup.readmeCheck, &g_setup.viewReadme, "View readme file", 32, 100},
    };
    for (const Box& box : boxes) {
        SCOPED_TRACE(box.caption);
        ASSERT_NE(box.button, nullptr);
        EXPECT_EQ(WindowText(box.button), box.caption);
        EXPECT_EQ(GetDlgCtrlID(box.button), box.id);
        EXPECT_EQ(GetWindowLongA(box.button, GWL_STYLE) & BS_TYPEMASK, BS_CHECKBOX);
        ExpectPlaced(box.button, 10, box.top, 200, 20);
        for (bool expected : {true, false, true}) {
            EXPECT_EQ(*box.flag, expected);
            EXPECT_EQ(IsChecked(box.button), expected);
            Click(box.button);
        }
        Click(box.button);  // back to checked
    }
    // Each box leaves the other alone.
    Click(g_setup.readmeCheck);
    EXPECT_TRUE(g_setup.runAfterInstall);
    EXPECT_TRUE(IsChecked(g_setup.runAfterCheck));
    EXPECT_FALSE(g_setup.viewReadme);
}

TEST_F(ProgressPageTest, PaintsBarAndLabelOnlyWhileAnInstallationShowsThem)
{
    Wizard wizard;
    ShowPage(ProgressPageIndex);
    HWND page = g_setup.progressPage;
    ASSERT_TRUE(IsWindowVisible(page));
    const RECT display = {10, 150, 410, 190};

    Pixels before(page);
    ASSERT_EQ(before.Width(), 420);
    ExpectText(before, RECT{10, 10, 420, 30}, "ZAV will be installed to directory:", GuiFont());
    ExpectText(before, RECT{10, 230, 420, 255}, "Click install to continue.", GuiFont());
    EXPECT_TRUE(PageInk(before, display).Empty()) << "no bar or label before an installation";
    EXPECT_TRUE(g_setup.progressControlsMade);
    EXPECT_FALSE(g_setup.progressVisible);
    for (HDC dc : {g_setup.progressBar.memoryDC, g_setup.statusLabel.memoryDC})
        EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_MEMDC)) << "the records exist all the same";

    g_setup.progressVisible = true;
    InvalidateRect(page, nullptr, TRUE);
    Pixels during(page);
    ExpectText(during, RECT{10, 150, 410, 170}, "Initializing ..", GuiFont());
    // The bar's frame, its trough and its 0 % in a memory context's default font.
    const struct {
        int x, y;
        COLORREF colour;
    } frame[] = {{10, 170, Black}, {409, 170, Black}, {10, 189, White}, {409, 189, White},
                 {11, 171, g_setup.backgroundColor}, {408, 188, g_setup.backgroundColor}, {12, 172, White}};
    for (const auto& pixel : frame) EXPECT_EQ(during.At(pixel.x, pixel.y), pixel.colour) << pixel.x << "," << pixel.y;
    InkShape percent = InkIn(during, RECT{12, 172, 408, 188}, [](int, int) { return White; });
    EXPECT_TRUE(percent.SameShapeAs(ReferenceTextInk("0%", nullptr)));
}

// Each cycle builds the pages with their two drawing records, draws them by painting and by
// advancing, and tears the main window down; the process must hold no more GDI objects
// afterwards than before.
TEST_F(ProgressPageTest, CreatingAndTearingDownTheWizardLeavesNoGdiObjects)
{
    std::vector<HGDIOBJ> surfaces;
    auto cycle = [&surfaces] {
        Wizard wizard;
        ShowPage(ProgressPageIndex);
        g_setup.progressVisible = true;
        InvalidateRect(g_setup.progressPage, nullptr, TRUE);
        UpdateWindow(g_setup.progressPage);
        {
            WindowDC dc(g_setup.progressPage);
            AdvanceProgress(dc.Get(), 20.0, "Extracting files ..");
            AdvanceProgress(dc.Get(), 90.0, "Finished");
        }
        surfaces.insert(surfaces.end(), {g_setup.progressBar.memoryDC, g_setup.progressBar.bitmap,
                                         g_setup.statusLabel.memoryDC, g_setup.statusLabel.bitmap});
    };
    cycle();  // the first run fills the system's caches (window DCs, fonts)
    int before = LiveGdiObjects();
    ASSERT_GT(before, 0) << "no way to count GDI objects here";
    for (int i = 0; i < 5; ++i) cycle();
    EXPECT_EQ(LiveGdiObjects(), before);
    for (HGDIOBJ surface : surfaces) EXPECT_EQ(GetObjectType(surface), 0u) << surface << " still alive";
}

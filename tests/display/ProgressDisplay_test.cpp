#include <gtest/gtest.h>

#include <string>

#include "display/ProgressDisplay.h"
#include "shell/Text.h"
#include "support/Canvas.h"

using namespace testing_support;

namespace {

constexpr COLORREF Black = RGB(0, 0, 0);
constexpr COLORREF White = RGB(255, 255, 255);
constexpr COLORREF Green = RGB(0, 200, 0);
constexpr COLORREF Magenta = RGB(255, 0, 255);
constexpr COLORREF Outline = RGB(212, 208, 200);

// Drawn at an offset onto a larger magenta canvas, so that anything copied outside the
// record's rectangle shows up.
constexpr int X = 5, Y = 6, W = 400, H = 20;

class ProgressDisplayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        screen_ = GetDC(nullptr);
        bar_.Create(screen_, X, Y, W, H, 100.0, owner_);
        bar_.troughOutlineColor = Outline;
    }
    void TearDown() override
    {
        for (HDC dc : {bar_.memoryDC, label_.memoryDC}) DeleteDC(dc);
        for (HBITMAP bitmap : {bar_.bitmap, label_.bitmap}) DeleteObject(bitmap);
        ReleaseDC(nullptr, screen_);
    }

    HDC screen_ = nullptr;
    HWND owner_ = reinterpret_cast<HWND>(0x1234);
    ProgressBar bar_{};
    StatusLabel label_{};
};

// What the bar should show at (x, y) of its own, text aside; Magenta outside it.
COLORREF ExpectedBarPixel(int x, int y, int filledWidth)
{
    if (x < 0 || y < 0 || x >= W || y >= H) return Magenta;
    if (y == H - 1 || (x == W - 1 && y > 0)) return White;
    if (y == 0 || x == 0) return Black;
    if (x >= 2 && x < filledWidth + 2 && y >= 2 && y < H - 2) return Green;  // may cover the outline
    if (x == 1 || y == 1 || x == W - 2 || y == H - 2) return Outline;
    return White;
}

} // namespace

TEST_F(ProgressDisplayTest, CreateSetsUpTheBarAndItsSurface)
{
    EXPECT_EQ(bar_.progressTotal, 100.0);
    EXPECT_EQ(bar_.progressDone, 0.0);
    EXPECT_EQ(bar_.percent, 0.0);
    EXPECT_TRUE(bar_.showPercent && !bar_.showLeftText && !bar_.showRightText);
    EXPECT_EQ(bar_.owner, owner_);
    EXPECT_EQ(bar_.barColor, 0x00C800u);
    BITMAP info{};
    ASSERT_EQ(GetObjectA(bar_.bitmap, sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(info.bmWidth, W + 10);
    EXPECT_EQ(info.bmHeight, H + 10);
    EXPECT_EQ(info.bmBitsPixel, GetDeviceCaps(screen_, BITSPIXEL));  // not a 1-bit default
    EXPECT_EQ(GetCurrentObject(bar_.memoryDC, OBJ_BITMAP), bar_.bitmap);
}

// Each row draws the bar afresh with the figures an advance leaves behind; the first is
// the bar right after Create.
TEST_F(ProgressDisplayTest, DrawsSunkenFrameGreenBarAndCentredPercent)
{
    const struct {
        double percent;
        int filledWidth;
        const char* text;
    } cases[] = {{0, 0, "0%"}, {20, 79, "20%"}, {40, 158, "40%"}, {80, 317, "80%"}, {100, 397, "100%"}};
    TEXTMETRICA metrics{};
    HDC fresh = CreateCompatibleDC(screen_);
    GetTextMetricsA(fresh, &metrics);
    DeleteDC(fresh);

    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        bar_.percent = c.percent;
        bar_.filledWidth = c.filledWidth;
        Canvas canvas(W + 20, H + 20, Magenta);
        EXPECT_EQ(bar_.Draw(canvas.Dc()), 0);
        EXPECT_STREQ(bar_.percentText, c.text);

        // Every pixel that is not as expected is text ink, and it is exactly the percent
        // text in a memory context's default font.
        auto expected = [&c](int x, int y) { return ExpectedBarPixel(x - X, y - Y, c.filledWidth); };
        InkShape ink = InkIn(canvas, RECT{0, 0, canvas.Width(), canvas.Height()}, expected);
        InkShape reference = ReferenceTextInk(c.text, nullptr);
        ASSERT_FALSE(reference.Empty());
        EXPECT_TRUE(ink.SameShapeAs(reference)) << "not just \"" << c.text << "\" on the bar";

        // Centred between 0 and width - 3, its top half the spare height down.
        SIZE extent = ReferenceTextExtent(c.text, nullptr);
        EXPECT_EQ(ink.box.left - X, (W - 3 - extent.cx) / 2 + reference.box.left);
        EXPECT_EQ(ink.box.top - Y, (H - metrics.tmHeight) / 2 + reference.box.top);

        // Green ends exactly at filledWidth + 2 (read on a row the text leaves alone).
        int greenEnd = 0;
        for (int x = 0; x < W; ++x)
            if (canvas.At(X + x, Y + H - 3) == Green) greenEnd = x + 1;
        EXPECT_EQ(greenEnd, c.filledWidth ? c.filledWidth + 2 : 0);
    }
}

TEST_F(ProgressDisplayTest, StatusLabelFillsItsRectangleAndClipsALongText)
{
    constexpr int LX = 7, LY = 5, LW = 150, LH = 20;
    const COLORREF back = RGB(30, 144, 255);
    std::string longText;
    while (longText.size() < 100) longText += "Creating components .. ";

    label_.Create(screen_, LX, LY, LW, LH, "Copying files ..", owner_);
    EXPECT_EQ(label_.owner, owner_);
    EXPECT_EQ(label_.backColor, GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(label_.textColor, Black);
    EXPECT_STREQ(label_.text, "Copying files ..");
    label_.backColor = back;

    HFONT guiFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    for (const std::string& text : {std::string("Copying files .."), longText}) {
        SCOPED_TRACE(text);
        text::Copy(label_.text, text.c_str());
        Canvas canvas(LW + 20, LH + 20, Magenta);
        EXPECT_EQ(label_.Draw(canvas.Dc()), 0);

        // backColor inside, text aside; the canvas untouched around it.
        auto expected = [&](int x, int y) {
            return x >= LX && x < LX + LW && y >= LY && y < LY + LH ? back : Magenta;
        };
        InkShape ink = InkIn(canvas, RECT{0, 0, canvas.Width(), canvas.Height()}, expected);
        InkShape reference = ReferenceTextInk(text, guiFont, LW);
        EXPECT_TRUE(ink.SameShapeAs(reference)) << "not the text in DEFAULT_GUI_FONT, cut at the label's width";
        EXPECT_EQ(ink.box.left - LX, reference.box.left);
        EXPECT_EQ(ink.box.top - LY, reference.box.top);
        EXPECT_LE(ink.box.right, LX + LW);
        EXPECT_EQ(ink.box.right >= LX + LW - 1, text == longText) << "the long text runs into the edge";
    }
}

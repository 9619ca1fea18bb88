#include <gtest/gtest.h>

#include "engine/ProgressSteps.h"
#include "shell/Navigation.h"
#include "shell/Owners.h"
#include "shell/SetupState.h"
#include "support/Canvas.h"
#include "support/Registry.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

constexpr COLORREF Green = RGB(0, 200, 0);
constexpr COLORREF Magenta = RGB(255, 0, 255);
// Where the progress page puts the records: label at (10, 150), bar at (10, 170), 400 x 20.
constexpr int Left = 10, LabelTop = 150, BarTop = 170, Width = 400, Height = 20;

class ProgressStepsTest : public ProductKeyTest {};

} // namespace

// The four advances of an installation, then one more that passes the total.
TEST_F(ProgressStepsTest, AdvancesComputeTheFiguresAndDrawOntoTheGivenContext)
{
    Wizard wizard;
    const struct {
        double increment;
        const char* status;
        double done, percent;
        int filledWidth;
        const char* percentText;
    } steps[] = {
        {20, "Extracting files ..", 20, 20, 79, "20%"},
        {20, "Copying files ..", 40, 40, 158, "40%"},
        {40, "Creating components ..", 80, 80, 317, "80%"},
        {20, "Finished", 100, 100, 397, "100%"},
        {20, "Finished", 120, 100, 397, "100%"},
    };
    HFONT guiFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    for (const auto& step : steps) {
        SCOPED_TRACE(step.done);
        Canvas canvas(420, 255, Magenta);
        AdvanceProgress(canvas.Dc(), step.increment, step.status);

        const ProgressBar& bar = g_setup.progressBar;
        EXPECT_EQ(bar.progressDone, step.done);
        EXPECT_EQ(bar.percent, step.percent);  // exactly, also past the total
        EXPECT_EQ(bar.filledWidth, step.filledWidth);
        EXPECT_STREQ(bar.percentText, step.percentText);
        EXPECT_STREQ(g_setup.statusLabel.text, step.status);

        // Both drawn at their places on the context given.
        int greenEnd = 0;
        for (int x = 0; x < 420; ++x)
            if (canvas.At(x, BarTop + Height - 3) == Green) greenEnd = x + 1;
        EXPECT_EQ(greenEnd, Left + step.filledWidth + 2);
        COLORREF back = g_setup.backgroundColor;
        InkShape label = InkIn(canvas, RECT{Left, LabelTop, Left + Width, LabelTop + Height},
                               [back](int, int) { return back; });
        EXPECT_TRUE(label.SameShapeAs(ReferenceTextInk(step.status, guiFont)));
        EXPECT_EQ(canvas.At(Left - 1, LabelTop), Magenta);
    }
}

TEST_F(ProgressStepsTest, ResetAfterAFailureTakesTheDisplayOffThePage)
{
    Wizard wizard;
    ShowPage(ProgressPageIndex);
    HWND page = g_setup.progressPage;
    g_setup.progressVisible = true;
    {
        WindowDC dc(page);
        AdvanceProgress(dc.Get(), 20.0, "Extracting files ..");
        AdvanceProgress(dc.Get(), 20.0, "Copying files ..");
    }
    g_setup.progressBar.progressTotal = 50.0;
    ASSERT_EQ(Pixels(page).At(Left + 2, BarTop + 2), Green) << "the bar is on the page";

    ResetProgressDisplay();
    EXPECT_FALSE(g_setup.progressVisible);
    EXPECT_EQ(g_setup.progressBar.progressDone, 0.0);
    EXPECT_EQ(g_setup.progressBar.progressTotal, 100.0);
    EXPECT_STREQ(g_setup.statusLabel.text, "Initializing ..");
    EXPECT_EQ(g_setup.progressBar.percent, 40.0);  // until the next advance recomputes it

    // The page repaints itself, background erased, without bar and label.
    Pixels after(page);
    for (int y = LabelTop; y < BarTop + Height; ++y)
        for (int x = Left; x < Left + Width; ++x) ASSERT_EQ(after.At(x, y), g_setup.backgroundColor) << x << "," << y;
}

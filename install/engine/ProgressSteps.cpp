#include "engine/ProgressSteps.h"

#include "display/ProgressDisplay.h"
#include "engine/ProgressArithmetic.h"
#include "shell/SetupState.h"
#include "shell/Text.h"

void AdvanceProgress(HDC pageDC, double increment, const char* statusText)
{
    ProgressBar& bar = g_setup.progressBar;
    bar.progressDone += increment;
    bar.percent = progress::Percent(bar.progressDone, bar.progressTotal);
    bar.filledWidth = progress::FilledWidth(bar.width, bar.percent);
    bar.Draw(pageDC);

    // A status text is one short line; one that did not fit would just be shown cut.
    text::Copy(g_setup.statusLabel.text, statusText);
    g_setup.statusLabel.Draw(pageDC);
}

void ResetProgressDisplay()
{
    g_setup.progressBar.progressTotal = ProgressTotalAmount;
    g_setup.progressVisible = false;
    g_setup.progressBar.progressDone = 0.0;
    text::Copy(g_setup.statusLabel.text, InitialStatusText);
    InvalidateRect(g_setup.progressPage, nullptr, TRUE);
}

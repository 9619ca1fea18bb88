// The install sequence's steps of the progress display on the progress page.
#pragma once

#include <windows.h>

// Adds increment to the bar's amount done, works out its percentage and filled width, and
// draws the bar and then the status label with statusText onto pageDC.
// The context is a parameter because the sequence holds the page's context for its whole
// run and paints straight onto it: no message is dispatched meanwhile, so nothing else
// would repaint the page.
void AdvanceProgress(HDC pageDC, double increment, const char* statusText);

// Puts the display back to how the page starts (amount 0 of 100, the first status text,
// nothing painted) and has the page repaint itself without it. For the failure paths.
void ResetProgressDisplay();

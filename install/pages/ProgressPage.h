// The progress page, window class "installfour".
#pragma once

#include <windows.h>

// Command ids of the page's controls.
constexpr int InstallDirEditId = 30;
constexpr int RunAfterCheckId = 31;
constexpr int ReadmeCheckId = 32;

// Where the two drawing records sit on the page.
constexpr int StatusLabelX = 10;
constexpr int StatusLabelY = 150;
constexpr int ProgressBarX = 10;
constexpr int ProgressBarY = 170;
constexpr int ProgressDisplayWidth = 400;
constexpr int ProgressDisplayHeight = 20;

// Draws what the page paints onto dc (the page's own, or any other) for its client area.
void PaintProgressPage(HDC dc, const RECT& client);

LRESULT CALLBACK ProgressPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);

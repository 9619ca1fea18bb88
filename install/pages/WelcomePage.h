// The welcome page, window class "installone".
#pragma once

#include <windows.h>

// The list of previous configurations, created only when other versions are recorded and
// this one is not.
constexpr int PreviousConfigListId = 4;
constexpr int PreviousConfigListX = 10;
constexpr int PreviousConfigListY = 110;
constexpr int PreviousConfigListWidth = 400;
constexpr int PreviousConfigListHeight = 90;

// Draws what the page paints onto dc (the page's own, or any other) for its client area.
void PaintWelcomePage(HDC dc, const RECT& client);

LRESULT CALLBACK WelcomePageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);

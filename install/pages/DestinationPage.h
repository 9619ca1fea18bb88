// The destination page, window class "installthree".
#pragma once

#include <windows.h>

// Ids of the page's controls.
constexpr int DestinationEditId = 20;
constexpr int ChangeButtonId = 21;
constexpr int StartMenuCheckId = 22;
constexpr int DesktopCheckId = 23;
constexpr int GroupCheckId = 24;

// Draws what the page paints onto dc (the page's own, or any other) for its client area.
void PaintDestinationPage(HDC dc, const RECT& client);

LRESULT CALLBACK DestinationPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);

// The destination page, window class "installthree".
#pragma once

#include <windows.h>

// Ids of the page's controls.
constexpr int DestinationEditId = 20;
constexpr int ChangeButtonId = 21;
constexpr int StartMenuCheckId = 22;
constexpr int DesktopCheckId = 23;
constexpr int GroupCheckId = 24;

LRESULT CALLBACK DestinationPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);

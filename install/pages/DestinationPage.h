// The destination page, window class "installthree".
#pragma once

#include <windows.h>

LRESULT CALLBACK DestinationPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);

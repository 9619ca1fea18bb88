// The progress page, window class "installfour".
#pragma once

#include <windows.h>

LRESULT CALLBACK ProgressPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);

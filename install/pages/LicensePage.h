// The license page, window class "installtwo".
#pragma once

#include <windows.h>

LRESULT CALLBACK LicensePageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);

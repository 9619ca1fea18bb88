// The maintenance page, window class "installprev".
#pragma once

#include <windows.h>

LRESULT CALLBACK MaintenancePageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);

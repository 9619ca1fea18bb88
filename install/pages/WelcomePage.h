// The welcome page, window class "installone".
#pragma once

#include <windows.h>

LRESULT CALLBACK WelcomePageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);

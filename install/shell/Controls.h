// Child controls as every page makes them: extended style 0, the setup's instance, no
// creation data, and the shared GUI font set without a redraw.
#pragma once

#include <windows.h>

HWND CreateControl(HWND parent, const char* className, const char* text, DWORD style, int x, int y,
                   int width, int height, int id);

// Plain (non-automatic) check boxes and radio buttons show what the page last set.
void SetCheckMark(HWND button, bool checked);

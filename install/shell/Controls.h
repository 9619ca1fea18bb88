// What every page does alike: child controls as the pages make them (extended style 0, the
// setup's instance, no creation data, the shared GUI font set without a redraw), their
// check marks and list rows, and the page texts.
#pragma once

#include <windows.h>

#include <cstddef>

#include "shell/Owners.h"

HWND CreateControl(HWND parent, const char* className, const char* text, DWORD style, int x, int y,
                   int width, int height, int id);

// Plain (non-automatic) check boxes and radio buttons show what the page last set.
void SetCheckMark(HWND button, bool checked);

// A plain check box that starts ticked, with the page's flag set to match.
HWND CreateTickedCheckBox(HWND parent, const char* caption, int x, int y, int width, int height, int id,
                          bool& flag);

// A click on a plain check box: flips the page's flag and shows it. Returns 0, the
// command's result.
LRESULT ToggleCheckBox(HWND box, bool& flag);

// Copies a list row's text; false (and an empty text) when there is no such row or its
// text would not fit.
bool ReadListRow(HWND list, LRESULT row, char* text, std::size_t capacity);
template <std::size_t N>
bool ReadListRow(HWND list, LRESULT row, char (&text)[N]) { return ReadListRow(list, row, text, N); }

// Page texts are black on the background colour, drawn opaque.
constexpr COLORREF PageTextColor = RGB(0, 0, 0);

// A context made ready for page texts for a scope: the colours, and guiFont selected; the
// context's own font is back when the scope ends, whatever font was selected meanwhile.
class PageText {
public:
    PageText(HDC dc, const RECT& client);
    PageText(const PageText&) = delete;
    PageText& operator=(const PageText&) = delete;

    // DrawTextA of the whole text from (x, y) to the client area's bottom-right corner.
    void Draw(int x, int y, const char* text, UINT format = 0) const;

private:
    HDC dc_;
    RECT client_;
    SelectedObject font_;
};

// A page's WM_PAINT: BeginPaint, the page's drawing onto the context with its client
// rectangle, EndPaint. Returns 0.
using PagePainter = void (*)(HDC dc, const RECT& client);
LRESULT PaintWindow(HWND window, PagePainter paint);

// What a page does with the messages that every page's window procedure handles.
struct PageHandlers {
    LRESULT (*onCreate)(HWND page);
    PagePainter paint;
    LRESULT (*onCommand)(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
};
// The body of every page's window procedure: creation, painting and commands go to the
// page, except DestroyCommandId, which destroys it; the end of a page ends the message
// loop, and the rest goes to the default procedure.
LRESULT HandlePageMessage(const PageHandlers& page, HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

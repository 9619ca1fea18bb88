#include "shell/Controls.h"

#include "shell/MainWindow.h"
#include "shell/SetupState.h"

HWND CreateControl(HWND parent, const char* className, const char* text, DWORD style, int x, int y,
                   int width, int height, int id)
{
    HWND control = CreateWindowExA(0, className, text, style, x, y, width, height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   g_setup.instance, nullptr);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(g_setup.guiFont), FALSE);
    return control;
}

void SetCheckMark(HWND button, bool checked)
{
    SendMessageA(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

HWND CreateTickedCheckBox(HWND parent, const char* caption, int x, int y, int width, int height, int id,
                          bool& flag)
{
    // Plain, not automatic: the page sets the mark itself so that it always mirrors the flag.
    HWND box = CreateControl(parent, "button", caption, WS_CHILD | WS_VISIBLE | BS_CHECKBOX, x, y, width,
                             height, id);
    flag = true;
    SetCheckMark(box, true);
    return box;
}

LRESULT ToggleCheckBox(HWND box, bool& flag)
{
    flag = !flag;
    SetCheckMark(box, flag);
    return 0;
}

bool ReadListRow(HWND list, LRESULT row, char* text, std::size_t capacity)
{
    text[0] = '\0';
    LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
    if (length == LB_ERR || static_cast<std::size_t>(length) >= capacity) return false;
    if (SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text)) != LB_ERR)
        return true;
    text[0] = '\0';
    return false;
}

PageText::PageText(HDC dc, const RECT& client) : dc_(dc), client_(client), font_(dc, g_setup.guiFont)
{
    SetTextColor(dc, PageTextColor);
    SetBkColor(dc, g_setup.backgroundColor);
    SetBkMode(dc, OPAQUE);
}

void PageText::Draw(int x, int y, const char* text, UINT format) const
{
    RECT area = {x, y, client_.right, client_.bottom};
    DrawTextA(dc_, text, -1, &area, format);
}

LRESULT PaintWindow(HWND window, PagePainter paint)
{
    PaintDC dc(window);
    if (!dc) return 0;
    RECT client;
    GetClientRect(window, &client);
    paint(dc.Get(), client);
    return 0;
}

LRESULT HandlePageMessage(const PageHandlers& page, HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:  return page.onCreate(window);
    case WM_PAINT:   return PaintWindow(window, page.paint);
    case WM_COMMAND:
        if (LOWORD(wParam) != DestroyCommandId) return page.onCommand(window, msg, wParam, lParam);
        DestroyWindow(window);
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

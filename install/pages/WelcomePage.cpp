#include "pages/WelcomePage.h"

#include "shell/MainWindow.h"
#include "shell/SetupState.h"

namespace {

LRESULT OnCommand(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case DestroyCommandId: DestroyWindow(page); return 0;
    }
    return DefWindowProcA(page, msg, wParam, lParam);
}

} // namespace

LRESULT CALLBACK WelcomePageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:  return 0;
    case WM_COMMAND: return OnCommand(page, msg, wParam, lParam);
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(page, msg, wParam, lParam);
}

#include "shell/MainWindow.h"

#include <commctrl.h>
#include <objbase.h>

#include "pages/DestinationPage.h"
#include "pages/LicensePage.h"
#include "pages/MaintenancePage.h"
#include "pages/ProgressPage.h"
#include "pages/WelcomePage.h"
#include "resources/resource.h"
#include "shell/Controls.h"
#include "shell/Navigation.h"
#include "shell/Owners.h"
#include "shell/PreviousConfiguration.h"
#include "shell/SetupState.h"

namespace {

// CoInitialize succeeded for this main window; the teardown balances it exactly once even
// when WM_DESTROY arrives twice (sent by the setup, then again when the window dies).
bool comInitialized = false;

// The three buttons, in the order of their creation.
struct NavButton {
    const char* caption;
    int rightOffset;
    int id;
    HWND SetupState::*field;
};
constexpr NavButton NavButtons[] = {
    {BackCaption, BackButtonRightOffset, BackButtonId, &SetupState::backButton},
    {NextCaption, NextButtonRightOffset, NextButtonId, &SetupState::nextButton},
    {CancelCaption, CancelButtonRightOffset, CancelButtonId, &SetupState::cancelButton},
};

HWND CreatePage(const char* className, DWORD visibility, HWND parent, int id)
{
    return CreateWindowExA(0, className, className, WS_CHILD | visibility, PageLeft, PageTop, PageWidth,
                           PageHeight, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           g_setup.instance, nullptr);
}

LRESULT OnCreate(HWND window)
{
    g_setup.mainWindow = window;
    HRESULT com = CoInitialize(nullptr);
    comInitialized = SUCCEEDED(com);

    RECT client;
    GetClientRect(window, &client);
    for (const NavButton& button : NavButtons) {
        HWND made = CreateControl(window, "button", button.caption, WS_CHILD | WS_VISIBLE,
                                  client.right - button.rightOffset, client.bottom - NavButtonBottomOffset,
                                  NavButtonWidth, NavButtonHeight, button.id);
        g_setup.*button.field = made;
        IgnoreHurriedPresses(made);
    }

    // The welcome page runs the registry detection while it is created.
    g_setup.pageWindows[WelcomePageIndex] =
        CreatePage(WelcomePageClass, WS_VISIBLE, window, WelcomePageIndex);
    EnableButton(g_setup.backButton, false);

    if (g_setup.previousVersionsExist || g_setup.thisVersionInstalled) {
        g_setup.maintenancePage =
            CreatePage(MaintenancePageClass, WS_VISIBLE, window, MaintenancePageId);
        ShowWindow(g_setup.pageWindows[WelcomePageIndex], SW_HIDE);
        EnableButton(g_setup.nextButton, false);
    }

    // Order matters: the destination page fills installBaseDir, which the progress page shows.
    g_setup.pageWindows[LicensePageIndex] = CreatePage(LicensePageClass, 0, window, LicensePageIndex);
    g_setup.pageWindows[DestinationPageIndex] =
        CreatePage(DestinationPageClass, 0, window, DestinationPageIndex);
    g_setup.pageWindows[ProgressPageIndex] =
        CreatePage(ProgressPageClass, 0, window, ProgressPageIndex);

    g_setup.currentPage = WelcomePageIndex;
    ResetChosenConfiguration();
    return 0;
}

void PaintSeparator(HDC dc, const RECT& client)
{
    DrawSeparatorLine(client.left + SeparatorMargin, client.bottom - SeparatorBottomOffset,
                      client.right - SeparatorMargin, dc, SeparatorLightColor, SeparatorShadowColor);
}

LRESULT OnCommand(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case BackButtonId: return OnBackCommand();
    case NextButtonId: return OnNextCommand();
    case CancelButtonId: return OnCancelCommand();
    case DestroyCommandId: DestroyWindow(window); return 0;
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

LRESULT OnDestroy()
{
    if (comInitialized) CoUninitialize();
    comInitialized = false;

    for (HWND& page : g_setup.pageWindows) {
        if (page) DestroyWindow(page);
        page = nullptr;
    }

    if (g_setup.progressControlsMade) {
        g_setup.progressBar.ReleaseSurface();
        g_setup.statusLabel.ReleaseSurface();
        g_setup.progressControlsMade = false;
    }

    PostQuitMessage(0);
    return 0;
}

ATOM RegisterClassWithProc(HINSTANCE instance, const char* className, WNDPROC proc, HICON icon)
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hIconSm = icon;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    // One brush per class, kept for the life of the process as the class background.
    wc.hbrBackground = CreateSolidBrush(g_setup.backgroundColor);
    wc.lpszClassName = className;
    ATOM atom = RegisterClassExA(&wc);
    // A class that was not registered never takes its brush over.
    if (!atom && wc.hbrBackground) DeleteObject(wc.hbrBackground);
    return atom;
}

} // namespace

int InitSharedGraphics()
{
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);
    g_setup.backgroundColor = GetSysColor(COLOR_BTNFACE);
    g_setup.guiFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    g_setup.boldFont = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    return 0;
}

void RegisterWindowClasses(HINSTANCE instance)
{
    RegisterClassWithProc(instance, WelcomePageClass, WelcomePageProc, nullptr);
    RegisterClassWithProc(instance, LicensePageClass, LicensePageProc, nullptr);
    RegisterClassWithProc(instance, DestinationPageClass, DestinationPageProc, nullptr);
    RegisterClassWithProc(instance, ProgressPageClass, ProgressPageProc, nullptr);
    RegisterClassWithProc(instance, MaintenancePageClass, MaintenancePageProc, nullptr);
    HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SETUP));
    RegisterClassWithProc(instance, g_setup.mainClassName, MainWindowProc, icon);
}

bool CreateMainWindow(HINSTANCE instance, int showCommand)
{
    g_setup.instance = instance;
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    HWND window = CreateWindowExA(0, g_setup.mainClassName, MainWindowTitle, MainWindowStyle,
                                  (screenWidth - MainWindowWidth) / 2,
                                  (screenHeight - MainWindowHeight) / 2, MainWindowWidth,
                                  MainWindowHeight, nullptr, nullptr, instance, nullptr);
    if (!window) return false;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return true;
}

void DrawSeparatorLine(int x1, int y, int x2, HDC dc, COLORREF firstColor, COLORREF secondColor)
{
    {
        Pen pen(CreatePen(PS_SOLID, 1, firstColor));
        SelectedObject selected(dc, pen.Get());
        MoveToEx(dc, x1, y, nullptr);
        LineTo(dc, x2, y);
    }
    {
        Pen pen(CreatePen(PS_SOLID, 1, secondColor));
        SelectedObject selected(dc, pen.Get());
        MoveToEx(dc, x1, y - 1, nullptr);
        LineTo(dc, x2, y - 1);
    }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:  return OnCreate(window);
    case WM_PAINT:   return PaintWindow(window, PaintSeparator);
    case WM_COMMAND: return OnCommand(window, msg, wParam, lParam);
    case WM_DESTROY: return OnDestroy();
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

int RunMessageLoop(HINSTANCE instance)
{
    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDA_SETUP));
    MSG msg;
    // No IsDialogMessage: Tab, Enter and Esc have no dialog meaning in this wizard.
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorA(msg.hwnd, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}

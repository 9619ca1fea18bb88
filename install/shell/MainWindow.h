// Start-up and the main window: shared drawing resources, the six window classes, the
// centred frame with its three buttons and the pages it creates.
#pragma once

#include <windows.h>

// Commands of the main window and the convention shared by every window of the setup.
constexpr int BackButtonId = 1;
constexpr int NextButtonId = 2;
constexpr int CancelButtonId = 3;
constexpr int DestroyCommandId = 105;  // destroys the window that receives it

// Ids of the page windows (the maintenance page has no index in pageWindows).
constexpr int MaintenancePageId = 4;

constexpr int MainWindowWidth = 450;
constexpr int MainWindowHeight = 350;
constexpr DWORD MainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

constexpr int PageLeft = 10;
constexpr int PageTop = 10;
constexpr int PageWidth = 420;
constexpr int PageHeight = 255;

constexpr int NavButtonWidth = 80;
constexpr int NavButtonHeight = 23;
constexpr int NavButtonBottomOffset = 33;
constexpr int BackButtonRightOffset = 290;
constexpr int NextButtonRightOffset = 200;
constexpr int CancelButtonRightOffset = 90;

constexpr COLORREF SeparatorLightColor = RGB(255, 255, 255);
constexpr COLORREF SeparatorShadowColor = RGB(150, 150, 150);
constexpr int SeparatorMargin = 10;
constexpr int SeparatorBottomOffset = 45;

constexpr const char NextCaption[] = "Next >";
constexpr const char BackCaption[] = "< Back";
constexpr const char CancelCaption[] = "Cancel";

// Window class names of the pages.
constexpr const char WelcomePageClass[] = "installone";
constexpr const char LicensePageClass[] = "installtwo";
constexpr const char DestinationPageClass[] = "installthree";
constexpr const char ProgressPageClass[] = "installfour";
constexpr const char MaintenancePageClass[] = "installprev";

int InitSharedGraphics();
void RegisterWindowClasses(HINSTANCE instance);
bool CreateMainWindow(HINSTANCE instance, int showCommand);
void DrawSeparatorLine(int x1, int y, int x2, HDC dc, COLORREF firstColor, COLORREF secondColor);
LRESULT CALLBACK MainWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

// Runs the message loop with the accelerator table until WM_QUIT; returns its wParam.
int RunMessageLoop(HINSTANCE instance);

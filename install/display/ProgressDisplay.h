// The custom-drawn progress bar and status label: records that draw off-screen into a
// memory context of their own and copy the result onto a target context.
#pragma once

#include <windows.h>

// The bar's amount when full: it counts in percent.
constexpr double ProgressTotalAmount = 100.0;

// What the status label says before an installation and again after a failed one.
constexpr const char InitialStatusText[] = "Initializing ..";

struct ProgressBar {
    int x;
    int y;
    int width;
    int height;
    double progressTotal;
    double progressDone;
    double percent;
    int filledWidth;
    bool showPercent;
    bool showLeftText;
    bool showRightText;
    char leftText[50];
    char rightText[50];
    HWND owner;
    COLORREF troughOutlineColor;
    COLORREF textColor;
    COLORREF barColor;
    COLORREF troughColor;
    HDC memoryDC;
    HBITMAP bitmap;
    char percentText[256];

    int Create(HDC compatibleWith, int x, int y, int width, int height, double total, HWND owner);
    // Deletes the off-screen context and bitmap that Create made; once, at the teardown.
    void ReleaseSurface();
    int DrawFrame(COLORREF topLeftColor, COLORREF bottomRightColor, COLORREF fillColor);
    int Draw(HDC target);
};

struct StatusLabel {
    int x;
    int y;
    int width;
    int height;
    HWND owner;
    COLORREF backColor;
    COLORREF textColor;
    HDC memoryDC;
    HBITMAP bitmap;
    char text[256];

    int Create(HDC compatibleWith, int x, int y, int width, int height, const char* text, HWND owner);
    void ReleaseSurface();  // as ProgressBar's
    int Draw(HDC target);
};

#include "display/ProgressDisplay.h"

#include "shell/Owners.h"
#include "shell/Text.h"

namespace {

// The off-screen surface is this much larger than what is shown in each direction.
constexpr int SurfaceMargin = 10;

constexpr COLORREF Black = RGB(0, 0, 0);
constexpr COLORREF White = RGB(255, 255, 255);
constexpr COLORREF BarGreen = RGB(0, 200, 0);

// The bar starts inside the edge and the trough's outline, one pixel each.
constexpr int TroughInset = 2;
constexpr int TextRightInset = 3;
constexpr int SideTextLeft = 3;
constexpr int TextBoxHeight = 20;

constexpr const char PercentFormat[] = "%1.0f%%";

// A memory context with a bitmap the caller's context can show, selected for good: the
// records keep both until the main window's teardown releases them (ReleaseSurface).
void MakeSurface(HDC compatibleWith, int width, int height, HDC& memoryDC, HBITMAP& bitmap)
{
    memoryDC = CreateCompatibleDC(compatibleWith);
    bitmap = CreateCompatibleBitmap(compatibleWith, width + SurfaceMargin, height + SurfaceMargin);
    if (memoryDC && bitmap) SelectObject(memoryDC, bitmap);
}

// The context goes first: the bitmap is still selected into it, and only a bitmap that is
// selected nowhere may be deleted.
void FreeSurface(HDC& memoryDC, HBITMAP& bitmap)
{
    if (memoryDC) DeleteDC(memoryDC);
    if (bitmap) DeleteObject(bitmap);
    memoryDC = nullptr;
    bitmap = nullptr;
}

} // namespace

int ProgressBar::Create(HDC compatibleWith, int x, int y, int width, int height, double total,
                        HWND owner)
{
    this->x = x;
    this->y = y;
    this->width = width;
    this->height = height;
    progressTotal = total;
    progressDone = 0.0;
    percent = 0.0;
    showPercent = true;
    showLeftText = false;
    showRightText = false;
    this->owner = owner;
    textColor = Black;
    barColor = BarGreen;
    troughColor = White;
    MakeSurface(compatibleWith, width, height, memoryDC, bitmap);
    return 0;
}

void ProgressBar::ReleaseSurface() { FreeSurface(memoryDC, bitmap); }

int ProgressBar::DrawFrame(COLORREF topLeftColor, COLORREF bottomRightColor, COLORREF fillColor)
{
    {
        Pen pen(CreatePen(PS_SOLID, 1, topLeftColor));
        SelectedObject selected(memoryDC, pen.Get());
        MoveToEx(memoryDC, 0, height - 1, nullptr);
        LineTo(memoryDC, 0, 0);
        LineTo(memoryDC, width, 0);
    }
    {
        Pen pen(CreatePen(PS_SOLID, 1, bottomRightColor));
        SelectedObject selected(memoryDC, pen.Get());
        MoveToEx(memoryDC, width - 1, 1, nullptr);
        LineTo(memoryDC, width - 1, height - 1);
        LineTo(memoryDC, -1, height - 1);
    }
    {
        Brush fill(CreateSolidBrush(fillColor));
        Pen outline(CreatePen(PS_SOLID, 1, troughOutlineColor));
        SelectedObject selectedFill(memoryDC, fill.Get());
        SelectedObject selectedOutline(memoryDC, outline.Get());
        Rectangle(memoryDC, 1, 1, width - 1, height - 1);
    }
    return 0;
}

int ProgressBar::Draw(HDC target)
{
    TEXTMETRICA metrics{};
    GetTextMetricsA(memoryDC, &metrics);
    int textTop = (height - metrics.tmHeight) / 2;

    DrawFrame(Black, White, troughColor);

    {
        // Past the shown width the bar is invisible anyway; stopping there keeps the
        // right edge's arithmetic inside int whatever filledWidth holds.
        int barRight = filledWidth < width ? filledWidth + TroughInset : width + TroughInset;
        RECT bar = {TroughInset, TroughInset, barRight, height - TroughInset};
        Brush brush(CreateSolidBrush(barColor));
        FillRect(memoryDC, &bar, brush.Get());
    }

    int savedMode = SetBkMode(memoryDC, TRANSPARENT);
    SetTextColor(memoryDC, textColor);
    RECT textBox = {0, textTop, width - TextRightInset, textTop + TextBoxHeight};
    if (showPercent) {
        // Bounded: percent is whatever the fields hold, and a wild one has 300 digits.
        text::Format(percentText, PercentFormat, percent);
        DrawTextA(memoryDC, percentText, -1, &textBox, DT_CENTER);
    }
    if (showLeftText) {
        textBox.left = SideTextLeft;
        DrawTextA(memoryDC, leftText, static_cast<int>(text::Length(leftText, sizeof leftText)),
                  &textBox, 0);
    }
    if (showRightText) {
        DrawTextA(memoryDC, rightText, static_cast<int>(text::Length(rightText, sizeof rightText)),
                  &textBox, DT_RIGHT);
    }
    SetBkMode(memoryDC, savedMode);

    BitBlt(target, x, y, width, height, memoryDC, 0, 0, SRCCOPY);
    return 0;
}

int StatusLabel::Create(HDC compatibleWith, int x, int y, int width, int height,
                        const char* initialText, HWND owner)
{
    this->x = x;
    this->y = y;
    this->width = width;
    this->height = height;
    this->owner = owner;
    backColor = GetSysColor(COLOR_BTNFACE);
    textColor = Black;
    MakeSurface(compatibleWith, width, height, memoryDC, bitmap);
    text::Copy(text, initialText);
    return 0;
}

void StatusLabel::ReleaseSurface() { FreeSurface(memoryDC, bitmap); }

int StatusLabel::Draw(HDC target)
{
    SelectedObject font(memoryDC, GetStockObject(DEFAULT_GUI_FONT));
    {
        RECT area = {0, 0, width, height};
        Brush brush(CreateSolidBrush(backColor));
        FillRect(memoryDC, &area, brush.Get());
    }
    SetTextColor(memoryDC, textColor);
    SetBkColor(memoryDC, backColor);
    RECT area = {0, 0, width, height};
    DrawTextA(memoryDC, text, static_cast<int>(text::Length(text, sizeof text)), &area, 0);
    BitBlt(target, x, y, width, height, memoryDC, 0, 0, SRCCOPY);
    return 0;
}

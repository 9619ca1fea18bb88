#include "support/Canvas.h"

#include <cstring>

namespace testing_support {

Canvas::Canvas(int width, int height, COLORREF fill) : width_(width), height_(height)
{
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<std::uint32_t*>(bits);
    previous_ = SelectObject(dc_, bitmap_);
    RECT all = {0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(fill);
    FillRect(dc_, &all, brush);
    DeleteObject(brush);
}

Canvas::~Canvas()
{
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

namespace {

// A DIB section's 0x00RRGGBB as a COLORREF (0x00BBGGRR).
COLORREF FromDib(std::uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

} // namespace

COLORREF Canvas::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || !bits_) return CLR_INVALID;
    GdiFlush();
    return FromDib(bits_[static_cast<size_t>(y) * width_ + x]);
}

std::vector<COLORREF> Canvas::Colours() const
{
    std::vector<COLORREF> colours;
    if (!bits_) return colours;
    GdiFlush();
    for (size_t i = 0; i < static_cast<size_t>(width_) * height_; ++i) colours.push_back(FromDib(bits_[i]));
    return colours;
}

Pixels::Pixels(HWND window)
{
    UpdateWindow(window);
    RECT client;
    GetClientRect(window, &client);
    width_ = client.right;
    height_ = client.bottom;
    Canvas shot(width_, height_, RGB(0, 0, 0));
    HDC windowDC = GetDC(window);
    BitBlt(shot.Dc(), 0, 0, width_, height_, windowDC, 0, 0, SRCCOPY);
    ReleaseDC(window, windowDC);
    colours_ = shot.Colours();
    colours_.resize(static_cast<size_t>(width_) * height_, 0);
}

COLORREF Pixels::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    return colours_[static_cast<size_t>(y) * width_ + x];
}

InkShape ReferenceTextInk(const std::string& text, HFONT font, int clipWidth)
{
    SIZE extent = ReferenceTextExtent(text, font);
    int width = clipWidth > 0 ? clipWidth : extent.cx + 8;
    Canvas canvas(width, extent.cy + 8, RGB(255, 255, 255));
    HGDIOBJ previous = font ? SelectObject(canvas.Dc(), font) : nullptr;
    SetTextColor(canvas.Dc(), RGB(0, 0, 0));
    SetBkMode(canvas.Dc(), TRANSPARENT);
    RECT box = {0, 0, width, canvas.Height()};
    DrawTextA(canvas.Dc(), text.c_str(), -1, &box, 0);
    if (previous) SelectObject(canvas.Dc(), previous);
    return InkIn(canvas, RECT{0, 0, width, canvas.Height()},
                 [](int, int) { return RGB(255, 255, 255); });
}

SIZE ReferenceTextExtent(const std::string& text, HFONT font)
{
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    SIZE extent{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    if (previous) SelectObject(dc, previous);
    DeleteDC(dc);
    return extent;
}

int LiveGdiObjects()
{
    DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (counted) return static_cast<int>(counted);
    int live = 0;
    for (ULONG_PTR slot = 1; slot < 0x10000; ++slot) {
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(slot))) ++live;
    }
    return live;
}

} // namespace testing_support

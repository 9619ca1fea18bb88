// Checks of a page's painted texts against the same texts drawn off-screen, one at a time:
// a text that stands elsewhere, in another font or with another text over it differs.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "shell/SetupState.h"
#include "support/TestSupport.h"

namespace page_drawing {

struct Text {
    int x;
    int y;
    std::string text;
    HFONT font;
};

// One text drawn the way the pages draw (DrawTextA, format 0, black on the background
// colour, opaque) onto a background of a window's client size.
class Rendered {
public:
    Rendered(HWND window, const Text& text)
    {
        RECT client;
        GetClientRect(window, &client);
        width_ = client.right;
        height_ = client.bottom;
        HDC windowDC = GetDC(window);
        HDC memory = CreateCompatibleDC(windowDC);
        HBITMAP bitmap = CreateCompatibleBitmap(windowDC, width_, height_);
        HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
        HBRUSH background = CreateSolidBrush(g_setup.backgroundColor);
        FillRect(memory, &client, background);
        DeleteObject(background);

        HGDIOBJ oldFont = SelectObject(memory, text.font);
        SetTextColor(memory, RGB(0, 0, 0));
        SetBkColor(memory, g_setup.backgroundColor);
        RECT where = {text.x, text.y, client.right, client.bottom};
        DrawTextA(memory, text.text.c_str(), -1, &where, 0);
        extent_ = {text.x, text.y, client.right, client.bottom};
        DrawTextA(memory, text.text.c_str(), -1, &extent_, DT_CALCRECT);
        SelectObject(memory, oldFont);

        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        data_.assign(static_cast<size_t>(width_) * height_, 0);
        SelectObject(memory, oldBitmap);
        GetDIBits(memory, bitmap, 0, height_, data_.data(), &info, DIB_RGB_COLORS);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(window, windowDC);
    }

    COLORREF At(int x, int y) const
    {
        std::uint32_t rgb = data_[static_cast<size_t>(y) * width_ + x];
        return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    }
    // The box the text covers, clipped to the client area.
    RECT Extent() const
    {
        RECT box = extent_;
        if (box.right > width_) box.right = width_;
        if (box.bottom > height_) box.bottom = height_;
        return box;
    }

private:
    int width_ = 0;
    int height_ = 0;
    RECT extent_{};
    std::vector<std::uint32_t> data_;
};

inline bool Inside(const RECT& box, int x, int y)
{
    return x >= box.left && x < box.right && y >= box.top && y < box.bottom;
}

inline bool Intersect(const RECT& a, const RECT& b)
{
    RECT both;
    return IntersectRect(&both, &a, &b) != FALSE;
}

// Each text stands whole at its place, none covers another, and nothing else is painted
// outside them and the given child windows.
inline void ExpectPageShowsExactly(HWND page, const std::vector<Text>& texts,
                                   const std::vector<HWND>& children = {})
{
    testing_support::Pixels pixels(page);
    std::vector<RECT> boxes;
    for (const Text& text : texts) {
        SCOPED_TRACE(text.text);
        Rendered expected(page, text);
        RECT box = expected.Extent();
        int wrong = 0;
        for (int y = box.top; y < box.bottom; ++y)
            for (int x = box.left; x < box.right; ++x)
                if (pixels.At(x, y) != expected.At(x, y)) ++wrong;
        EXPECT_EQ(wrong, 0) << "pixels differ in (" << box.left << ", " << box.top << ") - (" << box.right
                            << ", " << box.bottom << ")";
        for (size_t i = 0; i < boxes.size(); ++i)
            EXPECT_FALSE(Intersect(box, boxes[i])) << "overlaps \"" << texts[i].text << "\"";
        boxes.push_back(box);
    }
    for (HWND child : children) boxes.push_back(testing_support::WindowRectInParent(child));

    int stray = 0;
    for (int y = 0; y < pixels.Height(); ++y) {
        for (int x = 0; x < pixels.Width(); ++x) {
            bool covered = false;
            for (const RECT& box : boxes) covered = covered || Inside(box, x, y);
            if (!covered && pixels.At(x, y) != g_setup.backgroundColor) ++stray;
        }
    }
    EXPECT_EQ(stray, 0) << "pixels painted outside the expected texts";
}

} // namespace page_drawing

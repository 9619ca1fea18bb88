// Checks of a page's painted texts against the same texts drawn off-screen, one at a time:
// a text that stands elsewhere, in another font or with another text over it differs.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "shell/SetupState.h"
#include "support/Canvas.h"
#include "support/TestSupport.h"

namespace page_drawing {

struct Text {
    int x;
    int y;
    std::string text;
    HFONT font;
    UINT format = 0;  // of DrawTextA
};

// One text drawn the way the pages draw (DrawTextA, black on the background colour, opaque)
// onto a background of a window's client size.
class Rendered {
public:
    Rendered(HWND window, const Text& text)
        : canvas_(ClientSize(window).cx, ClientSize(window).cy, g_setup.backgroundColor)
    {
        HDC dc = canvas_.Dc();
        HGDIOBJ oldFont = SelectObject(dc, text.font);
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, g_setup.backgroundColor);
        RECT where = {text.x, text.y, canvas_.Width(), canvas_.Height()};
        DrawTextA(dc, text.text.c_str(), -1, &where, text.format);
        extent_ = where;
        DrawTextA(dc, text.text.c_str(), -1, &extent_, DT_CALCRECT | text.format);
        SelectObject(dc, oldFont);
    }

    COLORREF At(int x, int y) const { return canvas_.At(x, y); }
    // The box the text covers, clipped to the client area.
    RECT Extent() const
    {
        RECT box = extent_;
        if (box.right > canvas_.Width()) box.right = canvas_.Width();
        if (box.bottom > canvas_.Height()) box.bottom = canvas_.Height();
        return box;
    }
    bool Whole() const { return extent_.right <= canvas_.Width() && extent_.bottom <= canvas_.Height(); }

private:
    static SIZE ClientSize(HWND window)
    {
        RECT client;
        GetClientRect(window, &client);
        return {client.right, client.bottom};
    }

    testing_support::Canvas canvas_;
    RECT extent_{};
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
        EXPECT_TRUE(expected.Whole()) << "the text runs past the edge of the window";
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

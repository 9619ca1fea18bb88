// Pixels for the Windows tests: drawing targets and windows whose pixels a test can read,
// and the "ink" of text drawn on them: the pixels that differ from the background that would
// be there without the text.
#pragma once

#include <windows.h>

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// A 32-bit top-down DIB section selected into a memory context, filled with one colour.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Dc() const { return dc_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    COLORREF At(int x, int y) const;  // CLR_INVALID outside
    // Every pixel, row by row from the top, as COLORREFs.
    std::vector<COLORREF> Colours() const;

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    std::uint32_t* bits_ = nullptr;
};

// The client area of a window as drawn on screen.
class Pixels {
public:
    explicit Pixels(HWND window);
    int Width() const { return width_; }
    int Height() const { return height_; }
    COLORREF At(int x, int y) const;  // CLR_INVALID outside

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<COLORREF> colours_;
};

// The shape of some ink: its bounding box in image coordinates and its pixels relative to
// the box's top-left corner, so that two shapes compare equal wherever they were drawn.
struct InkShape {
    RECT box{0, 0, 0, 0};
    std::set<std::pair<int, int>> points;

    bool Empty() const { return points.empty(); }
    bool SameShapeAs(const InkShape& other) const { return points == other.points; }
};

// Ink inside area (right and bottom excluded) of any image with At(x, y): every pixel that
// differs from background(x, y).
template <typename Image, typename Background>
InkShape InkIn(const Image& image, RECT area, Background background)
{
    InkShape shape;
    std::set<std::pair<int, int>> absolute;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            if (image.At(x, y) != background(x, y)) absolute.insert({x, y});
        }
    }
    if (absolute.empty()) return shape;
    shape.box = {absolute.begin()->first, absolute.begin()->second, 0, 0};
    shape.box.right = shape.box.left + 1;
    shape.box.bottom = shape.box.top + 1;
    for (const auto& point : absolute) {
        if (point.first < shape.box.left) shape.box.left = point.first;
        if (point.first >= shape.box.right) shape.box.right = point.first + 1;
        if (point.second < shape.box.top) shape.box.top = point.second;
        if (point.second >= shape.box.bottom) shape.box.bottom = point.second + 1;
    }
    for (const auto& point : absolute)
        shape.points.insert({point.first - shape.box.left, point.second - shape.box.top});
    return shape;
}

// How a text looks when drawn in black at (0, 0) with DrawTextA format 0 on white, in the
// given font, or in a fresh memory context's default font when font is null. Only the part
// within clipWidth columns is kept (0 keeps everything).
InkShape ReferenceTextInk(const std::string& text, HFONT font, int clipWidth = 0);

// Width and height of the text's cell in that font (GetTextExtentPoint32A).
SIZE ReferenceTextExtent(const std::string& text, HFONT font);

// Live GDI objects of this process. GetGuiResources where the system counts them; Wine
// answers 0 there, so otherwise every handle slot of the process's GDI table is asked for
// its object type (Wine resolves a handle without its generation bits to the live object).
int LiveGdiObjects();

} // namespace testing_support

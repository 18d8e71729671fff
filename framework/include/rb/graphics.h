// graphics.h -- the drawing context handed to paint events.
//
// A Graphics draws into one list cell or one canvas, in that area's own pixel coordinates:
// (0, 0) is its top-left corner, Width() and Height() its size, and nothing drawn outside it
// shows. It exists only while the paint event runs; keep no pointer to it.
//
// Promises:
// - ForeColor, PenWidth and PenHeight are read by each drawing call, so setting them affects
//   every later call. A new context starts with black, and a pen of 1 by 1.
// - FillRect(x, y, w, h) covers exactly the pixels x..x+w-1, y..y+h-1.
// - DrawRect(x, y, w, h) frames the same rectangle from the inside: its left and right sides
//   PenWidth pixels wide, its top and bottom PenHeight pixels high, so a frame never reaches
//   beyond the rectangle it is given. A width or height of 0 or less draws nothing.
// - Drawing is not antialiased: rectangles land on whole pixels.
#pragma once

#include "rb/text.h"

#include <cstdint>
#include <string>

namespace rb {

class Graphics {
  public:
    struct Impl;
    explicit Graphics(Impl *impl) : impl_(impl) {}
    Graphics(const Graphics &) = delete;
    Graphics &operator=(const Graphics &) = delete;

    Color ForeColor;
    std::int32_t PenWidth = 1;
    std::int32_t PenHeight = 1;
    // The font of DrawString: "System" (the platform's user-interface font) or a family name;
    // a size of 0 is the platform's default, any other the text's height in pixels.
    std::string TextFont = "System";
    std::int32_t TextSize = 0;
    bool Bold = false;

    std::int32_t Width() const;
    std::int32_t Height() const;

    void FillRect(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height);
    void DrawRect(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height);
    // A line PenWidth pixels wide from (x1, y1) to (x2, y2), both ends included.
    void DrawLine(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);
    // The text with its baseline starting at (x, y).
    void DrawString(const std::string &text, std::int32_t x, std::int32_t y);

  private:
    Impl *impl_;
};

} // namespace rb

// Toolkit: the portable part of the dialog toolkit (ToolkitWin32.h). Forms
// are designed in pixels at 96 pixels per inch; on a display of another DPI
// every edge is scaled by dpi / 96 and rounded to the nearest pixel, halves
// away from zero as MulDiv rounds, so that places and sizes stay in
// proportion and an even size scales exactly.
#pragma once

#include <cstdint>

constexpr int32_t UiDesignDpi = 96;

// A place and size in pixels: on the screen for a form, inside the parent's
// client area for a control.
struct UiRect {
  int32_t Left;
  int32_t Top;
  int32_t Width;
  int32_t Height;
  bool operator==(const UiRect& other) const {
    return Left == other.Left && Top == other.Top && Width == other.Width &&
           Height == other.Height;
  }
};

// value * dpi / 96, rounded to nearest with halves away from zero.
int32_t UiScale(int32_t value, int32_t dpi);
// The rectangle with its four edges scaled: the width is the difference of
// the scaled right and left edges, not the scaled width.
UiRect UiScaleRect(const UiRect& rect, int32_t dpi);

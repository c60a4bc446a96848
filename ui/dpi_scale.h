// Screen resolution: every layout value is kept at 96 dots per inch and
// scaled once, here, for the resolution of the window that shows it.
#pragma once

namespace brindorel {

constexpr int kLayoutDpi = 96;

// value * dpi / 96, rounded half away from zero as the system's MulDiv
// rounds. A resolution of 0 or less (unknown) leaves the value as it is; a
// result beyond the int range is held at its end.
int ScaleForDpi(int value, int dpi);

// A rectangle in a parent's client pixels.
struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Scales the edges rather than the sizes, so that controls that touch at 96
// DPI still touch, and equal gaps stay equal.
PixelRect ScaleRectForDpi(const PixelRect& rect, int dpi);

}  // namespace brindorel

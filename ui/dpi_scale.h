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

// ---- Windows only (dpi_scale_win.cpp) ----

// The system's resolution: the screen's vertical dots per inch (96 when unknown).
int SystemDpi();

// The resolution of the monitor that shows `window` (an HWND):
// GetDpiForWindow where the system has it, else SystemDpi().
int WindowDpi(void* window);

// The outer size of a window with that style whose client area is
// clientWidth x clientHeight at `dpi`; x and y are the frame's offsets
// (negative) from the client area's corner.
PixelRect FrameForClient(int clientWidth, int clientHeight, unsigned long style, unsigned long exStyle, int dpi);

// The system's GUI font at `dpi` (its face and weight, 8 points): the stock
// object itself where it already has that size. An HFONT that may always be
// given to DeleteObject (a stock object ignores it).
void* GuiFontForDpi(int dpi);

}  // namespace brindorel

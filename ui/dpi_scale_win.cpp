#include "ui/dpi_scale.h"

#include <windows.h>

#include "ui/wizard_layout.h"

namespace brindorel {

namespace {

// Windows 10 (1607) and later; looked up so that older systems still start.
using DpiForWindowFunction = UINT(WINAPI*)(HWND);
using AdjustForDpiFunction = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

template <typename Function>
Function User32Function(const char* name) {
  HMODULE user = GetModuleHandleW(L"user32.dll");
  return user == nullptr ? nullptr : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user, name)));
}

// The point size of the system's GUI font ("MS Shell Dlg", 8 points).
constexpr int kGuiFontPoints = 8;

}  // namespace

int SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kLayoutDpi;
}

int WindowDpi(void* window) {
  static const DpiForWindowFunction dpiForWindow = User32Function<DpiForWindowFunction>("GetDpiForWindow");
  if (dpiForWindow != nullptr && window != nullptr) {
    const UINT dpi = dpiForWindow(static_cast<HWND>(window));
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return SystemDpi();
}

PixelRect FrameForClient(int clientWidth, int clientHeight, unsigned long style, unsigned long exStyle, int dpi) {
  static const AdjustForDpiFunction adjustForDpi = User32Function<AdjustForDpiFunction>("AdjustWindowRectExForDpi");
  RECT frame = {0, 0, clientWidth, clientHeight};
  if (adjustForDpi == nullptr || !adjustForDpi(&frame, style, FALSE, exStyle, static_cast<UINT>(dpi)))
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  return {frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top};
}

void* GuiFontForDpi(int dpi) {
  HGDIOBJ stock = GetStockObject(DEFAULT_GUI_FONT);
  LOGFONTW font = {};
  if (stock == nullptr || GetObjectW(stock, sizeof font, &font) == 0) return stock;
  const int height = FontHeightForDpi(kGuiFontPoints, dpi);
  if (font.lfHeight == height) return stock;
  font.lfHeight = height;
  font.lfWidth = 0;
  HFONT made = CreateFontIndirectW(&font);
  return made != nullptr ? static_cast<void*>(made) : stock;
}

}  // namespace brindorel

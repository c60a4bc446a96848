#include "ui/language_chooser.h"

#include <windows.h>

#include <vector>

#include "services/wide_win.h"
#include "ui/control_surface.h"
#include "ui/dpi_scale.h"
#include "ui/interface_texts.h"
#include "ui/modal_loop.h"

namespace brindorel {

namespace {

const wchar_t kChooserClass[] = L"BrindorelLanguage";

constexpr DWORD kChooserStyle = WS_POPUP | WS_CAPTION;
constexpr DWORD kChooserExStyle = WS_EX_CONTROLPARENT;
// WM_DPICHANGED (Windows 8.1 and later).
constexpr UINT kDpiChanged = 0x02E0;

// The client area and the controls at 96 DPI.
constexpr int kClientWidth = 140;
constexpr int kClientHeight = 55;
constexpr PixelRect kListPlace = {5, 5, 130, 200};  // the drop-down list's full height
constexpr PixelRect kOkPlace = {40, 32, 60, 18};

struct ChooserState {
  HWND list = nullptr;
  HWND ok = nullptr;
  bool done = false;
  int chosenLine = -1;  // -1: closed
  int dpi = kLayoutDpi;
  HFONT font = nullptr;  // the GUI font at `dpi`
};

// The client area, the controls and their font at `state.dpi`.
void LayOut(HWND window, ChooserState& state) {
  RECT client;
  RECT frame;
  if (GetClientRect(window, &client) && GetWindowRect(window, &frame)) {
    const int width = ScaleForDpi(kClientWidth, state.dpi);
    const int height = ScaleForDpi(kClientHeight, state.dpi);
    if (client.right != width || client.bottom != height)
      SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left + width - client.right,
                   frame.bottom - frame.top + height - client.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  HFONT font = static_cast<HFONT>(GuiFontForDpi(state.dpi));
  const std::pair<HWND, PixelRect> places[] = {{state.list, kListPlace}, {state.ok, kOkPlace}};
  for (const auto& place : places) {
    if (!place.first) continue;
    SendMessageW(place.first, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    const PixelRect r = ScaleRectForDpi(place.second, state.dpi);
    SetWindowPos(place.first, nullptr, r.x, r.y, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (state.font) DeleteObject(state.font);
  state.font = font;
}

LRESULT CALLBACK ChooserProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE)
    SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
  auto* state = reinterpret_cast<ChooserState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!state) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_COMMAND:
      // Only a real press of OK counts; the dialog manager's Enter arrives
      // as IDOK without a control.
      if (LOWORD(wp) == LanguageOk && HIWORD(wp) == BN_CLICKED && lp != 0 && state->list) {
        const LRESULT line = SendMessageW(state->list, CB_GETCURSEL, 0, 0);
        if (line >= 0) {
          state->chosenLine = static_cast<int>(line);
          state->done = true;
        }
      }
      return 0;
    case WM_CLOSE:
      state->chosenLine = -1;
      state->done = true;
      return 0;
    case kDpiChanged: {
      // Another monitor: the suggested frame as it is, the rest laid out anew.
      const RECT* suggested = reinterpret_cast<const RECT*>(lp);
      state->dpi = HIWORD(wp);
      if (suggested)
        SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      LayOut(hwnd, *state);
      return 0;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      return DefWindowProcW(hwnd, msg, wp, lp);
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

}  // namespace

std::string RunLanguageChooser(const std::string& list) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW wc = {};
  if (!GetClassInfoW(instance, kChooserClass, &wc)) {
    wc.lpfnWndProc = ChooserProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kChooserClass;
    if (!RegisterClassW(&wc)) return std::string();
  }

  ChooserState state;
  HWND window = CreateWindowExW(kChooserExStyle, kChooserClass, L" Brindorel", kChooserStyle, 0, 0, kClientWidth,
                                kClientHeight, nullptr, nullptr, instance, &state);
  if (!window) return std::string();
  // Sized for its monitor's resolution, centred on the screen.
  state.dpi = WindowDpi(window);
  const PixelRect frame = FrameForClient(ScaleForDpi(kClientWidth, state.dpi), ScaleForDpi(kClientHeight, state.dpi),
                                         kChooserStyle, kChooserExStyle, state.dpi);
  SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - frame.width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - frame.height) / 2, frame.width, frame.height,
               SWP_NOZORDER | SWP_NOACTIVATE);
  state.list = CreateWindowExW(0, L"COMBOBOX", L"",
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, 0, 0,
                               0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(LanguageList)), instance, nullptr);
  state.ok = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, 0,
                             0, 0, 0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(LanguageOk)), instance,
                             nullptr);
  LayOut(window, state);
  if (state.list) {
    for (const std::string& line : LanguageChooserLines(list))
      SendMessageW(state.list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(line).c_str()));
    SendMessageW(state.list, CB_SETCURSEL, 0, 0);
  }
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  // The list has the keyboard: the arrows choose, Return takes the choice,
  // Esc closes without one.
  if (state.list) SetFocus(state.list);

  RunModalLoop(window, state.done, LanguageOk);
  DestroyWindow(window);
  if (state.font) DeleteObject(state.font);
  // Line k shows entry k + 1.
  return state.chosenLine >= 0 ? LanguageEntryFile(list, state.chosenLine + 1) : std::string();
}

}  // namespace brindorel

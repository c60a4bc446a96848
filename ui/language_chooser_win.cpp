#include "ui/language_chooser.h"

#include <windows.h>

#include <vector>

#include "services/wide_win.h"
#include "ui/control_surface.h"
#include "ui/interface_texts.h"
#include "ui/modal_loop.h"

namespace brindorel {

namespace {

const wchar_t kChooserClass[] = L"BrindorelLanguage";

struct ChooserState {
  HWND list = nullptr;
  bool done = false;
  int chosenLine = -1;  // -1: closed
};

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

  const DWORD style = WS_POPUP | WS_CAPTION;
  RECT frame = {0, 0, 140, 55};
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;

  ChooserState state;
  HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, kChooserClass, L" Brindorel", style, x, y, width, height,
                                nullptr, nullptr, instance, &state);
  if (!window) return std::string();
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  state.list = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                               5, 5, 130, 200, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(LanguageList)),
                               instance, nullptr);
  HWND ok = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 40, 32, 60, 18,
                            window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(LanguageOk)), instance, nullptr);
  for (HWND h : {state.list, ok})
    if (h) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (state.list) {
    for (const std::string& line : LanguageChooserLines(list))
      SendMessageW(state.list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(line).c_str()));
    SendMessageW(state.list, CB_SETCURSEL, 0, 0);
  }
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);

  RunModalLoop(window, state.done);
  DestroyWindow(window);
  // Line k shows entry k + 1.
  return state.chosenLine >= 0 ? LanguageEntryFile(list, state.chosenLine + 1) : std::string();
}

}  // namespace brindorel

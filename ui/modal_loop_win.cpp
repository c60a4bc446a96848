#include "ui/modal_loop.h"

#include <windows.h>

namespace brindorel {

namespace {

// Return and Esc of the chooser; true when the key was taken.
bool ChooserKey(HWND window, const MSG& msg, int defaultButton) {
  if (msg.message != WM_KEYDOWN || (msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE)) return false;
  if (msg.hwnd != window && !IsChild(window, msg.hwnd)) return false;
  if (msg.hwnd != window) {
    const LRESULT wants = SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
    if (wants & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;
  }
  if (msg.wParam == VK_ESCAPE) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    return true;
  }
  HWND button = GetDlgItem(window, defaultButton);
  if (button != nullptr && IsWindowVisible(button) && IsWindowEnabled(button))
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(defaultButton, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  return true;
}

}  // namespace

void RunModalLoop(void* window, const bool& done, int defaultButton) {
  HWND hwnd = static_cast<HWND>(window);
  MSG msg;
  while (!done) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (ChooserKey(hwnd, msg, defaultButton)) continue;
    if (IsDialogMessageW(hwnd, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace brindorel

#include "ui/modal_loop.h"

#include <windows.h>

namespace brindorel {

void RunModalLoop(void* window, const bool& done) {
  HWND hwnd = static_cast<HWND>(window);
  MSG msg;
  while (!done) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (IsDialogMessageW(hwnd, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace brindorel

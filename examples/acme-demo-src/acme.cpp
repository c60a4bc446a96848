// The example package's program: a window that greets the user, holding the
// product's mutex while it runs so that the installer and the uninstaller can
// tell it is running. With "/quit-after MS" it closes itself (for tests).
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

LRESULT CALLBACK DemoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT rect;
      GetClientRect(window, &rect);
      DrawTextA(dc, "Hello from the Acme Demo!", -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_TIMER:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
  HANDLE running = CreateMutexA(nullptr, FALSE, "AcmeDemoRunning");
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DemoProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = "AcmeDemo";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, "AcmeDemo", "Acme Demo", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 360,
                                160, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  const char* quit = std::strstr(commandLine, "/quit-after ");
  if (quit != nullptr) SetTimer(window, 1, static_cast<UINT>(std::atoi(quit + 12)), nullptr);
  ShowWindow(window, show);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  if (running != nullptr) CloseHandle(running);
  return 0;
}

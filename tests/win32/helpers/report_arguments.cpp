// Writes its raw command line and its current directory, one a line, to its
// standard output, and "error line" to its standard error.
#include <windows.h>

namespace {
void Write(DWORD which, const char* text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(which), text, lstrlenA(text), &written, nullptr);
}
}  // namespace

int main() {
  char directory[MAX_PATH + 1] = {};
  GetCurrentDirectoryA(MAX_PATH, directory);
  Write(STD_OUTPUT_HANDLE, GetCommandLineA());
  Write(STD_OUTPUT_HANDLE, "\n");
  Write(STD_OUTPUT_HANDLE, directory);
  Write(STD_OUTPUT_HANDLE, "\n");
  Write(STD_ERROR_HANDLE, "error line\n");
  return 0;
}

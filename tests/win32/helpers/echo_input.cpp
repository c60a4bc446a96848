// Copies its standard input to its standard output until the input ends.
#include <windows.h>

int main() {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  char buffer[512];
  DWORD got = 0;
  while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    DWORD written = 0;
    if (!WriteFile(output, buffer, got, &written, nullptr)) return 1;
  }
  return 0;
}

// Claims the mutex named by its argument and reports through its exit code:
// 1 when the name was already taken, 0 when this process created it, 2 on error.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  HANDLE mutex = CreateMutexA(nullptr, FALSE, argv[1]);
  if (mutex == nullptr) return 2;
  int result = GetLastError() == ERROR_ALREADY_EXISTS ? 1 : 0;
  CloseHandle(mutex);
  return result;
}

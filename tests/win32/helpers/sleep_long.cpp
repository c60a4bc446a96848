// Sleeps for a minute, long enough to be terminated by a test.
#include <windows.h>

int main() {
  Sleep(60000);
  return 0;
}

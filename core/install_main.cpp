// Entry point of Install.exe. The command line is not read; the exit code is
// always 0.
#include <windows.h>

#include "core/installer.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  brindorel::HardenLibrarySearch();
  brindorel::RunInstaller();
  ExitProcess(0);
}

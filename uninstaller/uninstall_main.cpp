// Entry point of Uninstall.exe: the exit code is the run's (0 removed,
// 1 cancelled or the program runs, 2 something refused or left).
#include <windows.h>

#include "core/installer.h"
#include "uninstaller/uninstall_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  brindorel::HardenLibrarySearch();
  ExitProcess(brindorel::RunUninstaller(GetCommandLineA()));
}

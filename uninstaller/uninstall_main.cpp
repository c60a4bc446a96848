// Entry point of Uninstall.exe: the exit code is the run's (0 removed,
// 1 cancelled or the program runs, 2 something refused or left). The wide
// entry point: the command line comes in UTF-16 and is UTF-8 from here on.
#include <windows.h>

#include "services/library_search.h"
#include "services/wide_win.h"
#include "uninstaller/uninstall_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  brindorel::HardenLibrarySearch();
  const wchar_t* commandLine = GetCommandLineW();
  ExitProcess(brindorel::RunUninstaller(commandLine != nullptr ? brindorel::NarrowUntilZero(commandLine, 32768) : ""));
}

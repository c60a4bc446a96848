// Entry point of Install.exe. Without arguments the wizard runs and the exit
// code is 0; the unattended switches are in core/command_line.h. The wide
// entry point: the command line (/D=, /LOG= and /LANG= paths among it) comes
// in UTF-16 and is UTF-8 from here on.
#include <windows.h>

#include "core/command_line.h"
#include "core/installer.h"
#include "services/library_search.h"
#include "services/wide_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  brindorel::HardenLibrarySearch();
  const wchar_t* commandLine = GetCommandLineW();
  const std::uint32_t code = brindorel::RunInstaller(
      brindorel::ParseInstallerArguments(commandLine != nullptr ? brindorel::NarrowUntilZero(commandLine, 32768) : ""));
  ExitProcess(code);
}

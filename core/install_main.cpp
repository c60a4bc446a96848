// Entry point of Install.exe. Without arguments the wizard runs and the exit
// code is 0; the unattended switches are in core/command_line.h.
#include <windows.h>

#include "core/command_line.h"
#include "core/installer.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  brindorel::HardenLibrarySearch();
  const char* commandLine = GetCommandLineA();
  const std::uint32_t code =
      brindorel::RunInstaller(brindorel::ParseInstallerArguments(commandLine != nullptr ? commandLine : ""));
  ExitProcess(code);
}

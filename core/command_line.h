// The installer's command line. Without arguments the wizard runs as always;
// the switches make an unattended installation:
//   /S            no window; the wizard's defaults and earlier choices
//   /D=PATH       the install folder; the last argument, the rest of the line,
//                 spaces included and no quotes
//   /LANG=FILE    a language file of the package's list
//   /NOICONS      no start-menu entries      /NODESKTOP   no desktop shortcut
//   /LOG=PATH     the progress lines and every failure, into a text file
// Switches are matched without regard to case; a value may be quoted.
#pragma once

#include <cstdint>
#include <string>

namespace brindorel {

struct InstallerArguments {
  bool silent = false;
  bool noIcons = false;
  bool noDesktop = false;
  std::string installDir;    // empty: not given
  std::string languageFile;  // empty: not given
  std::string logPath;       // empty: no log
  std::string badArgument;   // the first argument not understood; empty when all were
};

// Parses the whole command line as the system gives it, program name first.
InstallerArguments ParseInstallerArguments(const std::string& commandLine);

// Exit codes of an unattended installation.
enum SilentExitCode : std::uint32_t {
  kSilentInstalled = 0,
  kSilentStopped = 1,       // BeforeBR.exe, another installer, or the product running
  kSilentFailed = 2,        // failed or incomplete
  kSilentNeedsRestart = 3,  // installed; the package asks for a restart
  kSilentBadArguments = 4,
};

}  // namespace brindorel

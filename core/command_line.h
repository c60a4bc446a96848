// The installer's command line. Without arguments the wizard runs as always;
// the switches make an unattended installation:
//   /S            no window; the wizard's defaults and earlier choices
//   /D=PATH       the install folder; the last argument, the rest of the line,
//                 spaces included and no quotes
//   /LANG=FILE    a language file of the package's list
//   /NOICONS      no start-menu entries      /NODESKTOP   no desktop shortcut
//   /DESKTOP      a desktop shortcut         /MENU=NAME   the start-menu folder
//   /LOG=PATH     the progress lines and every failure, into a text file
//   /ALLUSERS     install for the machine    /CURRENTUSER install for the user
//                 (where the package lets the user choose)
// An installer that starts itself again with administrator rights adds
//   /HANDOVER=ID  the installer process ID holds the instance name for it
//   /RESUME       the wizard opens on its settings page (the first process
//                 ran the pages before it and BeforeBR.exe)
// Switches are matched without regard to case; a value may be quoted.
#pragma once

#include <cstdint>
#include <string>

#include "install/install_scope.h"

namespace brindorel {

struct InstallerArguments {
  bool silent = false;
  bool noIcons = false;
  bool noDesktop = false;
  bool desktop = false;
  std::string installDir;    // empty: not given
  std::string languageFile;  // empty: not given
  std::string logPath;       // empty: no log
  std::string menuFolder;    // empty: not given
  ScopeRequest scope = ScopeRequest::None;
  std::uint32_t handOver = 0;  // 0: not started by another installer
  bool resume = false;
  std::string badArgument;   // the first argument not understood; empty when all were
};

// Parses the whole command line as the system gives it, program name first.
// /ALLUSERS with /CURRENTUSER, /DESKTOP with /NODESKTOP and /RESUME without
// /HANDOVER= are not understood.
InstallerArguments ParseInstallerArguments(const std::string& commandLine);

// The arguments again as a command line without the program name, which
// ParseInstallerArguments reads back to the same record (badArgument left
// out); /D= comes last.
std::string InstallerArgumentsText(const InstallerArguments& arguments);

// Exit codes of an unattended installation.
enum SilentExitCode : std::uint32_t {
  kSilentInstalled = 0,
  kSilentStopped = 1,       // BeforeBR.exe, another installer, or the product running
  kSilentFailed = 2,        // failed or incomplete
  kSilentNeedsRestart = 3,  // installed; the package asks for a restart
  kSilentBadArguments = 4,
};

}  // namespace brindorel

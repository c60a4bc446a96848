// The user's choices for one installation: the install folder, the
// start-menu folder, the desktop icon and whether the program starts at the
// end. The settings page fills them (or the silent run's switches do), one
// check judges them for both, and the installation run takes them as they
// are.
#pragma once

#include <string>

#include "services/folder_rules.h"

namespace brindorel {

class ControlSurface;
struct Settings;

struct InstallChoices {
  std::string installFolder;  // as typed; an empty one becomes the default
  std::string menuFolder;     // as typed; empty: the program's own name
  bool desktopIcon = false;
  bool startAtEnd = false;
};

// InstallDirField, MenuFolderField, DesktopIconBox and RunProgramBox as they stand.
InstallChoices ReadChoices(const ControlSurface& surface);

enum class ChoiceProblem {
  None,
  InstallFolder,  // not a folder a program may take as its own (CheckInstallFolder)
  MenuFolder,     // would leave the programs folder (IsSafeMenuFolderName)
};

// Gives an empty install folder the default, then judges the choices: the
// install folder always, the start-menu folder when start-menu entries are
// made and a name was given.
ChoiceProblem SettleChoices(InstallChoices& choices, const Settings& settings, const ProtectedFolders& protectedFolders);

}  // namespace brindorel

#include "install/choices.h"

#include "install/settings.h"
#include "ui/control_surface.h"

namespace brindorel {

InstallChoices ReadChoices(const ControlSurface& surface) {
  InstallChoices choices;
  choices.installFolder = surface.GetText(InstallDirField);
  choices.menuFolder = surface.GetText(MenuFolderField);
  choices.desktopIcon = surface.GetState(DesktopIconBox) != 0;
  choices.startAtEnd = surface.GetState(RunProgramBox) != 0;
  return choices;
}

ChoiceProblem SettleChoices(InstallChoices& choices, const Settings& settings, const ProtectedFolders& protectedFolders) {
  if (choices.installFolder.empty()) choices.installFolder = settings.defaultInstallDir;
  if (CheckInstallFolder(choices.installFolder, protectedFolders) != FolderProblem::None)
    return ChoiceProblem::InstallFolder;
  if (settings.startMenu != 0 && !choices.menuFolder.empty() && !IsSafeMenuFolderName(choices.menuFolder))
    return ChoiceProblem::MenuFolder;
  return ChoiceProblem::None;
}

}  // namespace brindorel

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

ChoiceProblem SettleChoices(InstallChoices& choices, const Settings& settings, const ProtectedFolders& protectedFolders,
                            const std::vector<std::string>& machineFolders) {
  if (choices.installFolder.empty()) choices.installFolder = DefaultInstallDir(settings, choices.scope);
  if (CheckInstallFolder(choices.installFolder, protectedFolders) != FolderProblem::None)
    return ChoiceProblem::InstallFolder;
  // A per-user installation writes nothing where the machine's programs and
  // settings live.
  if (choices.scope == InstallScope::User && IsInMachineFolder(choices.installFolder, machineFolders))
    return ChoiceProblem::InstallFolder;
  if (settings.startMenu != 0 && !choices.menuFolder.empty() && !IsSafeMenuFolderName(choices.menuFolder))
    return ChoiceProblem::MenuFolder;
  return ChoiceProblem::None;
}

}  // namespace brindorel

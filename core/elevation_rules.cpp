#include "core/elevation_rules.h"

namespace brindorel {

StartAction DecideStart(PackageScope offered, const InstallerArguments& arguments, bool elevated) {
  InstallScope scope = InstallScope::Machine;
  if (!SettleScope(offered, arguments.scope, scope)) return StartAction::BadScope;
  if (scope == InstallScope::User || elevated || arguments.handOver != 0) return StartAction::Continue;
  // The wizard of a package that lets the user choose asks once the choice is made.
  if (!arguments.silent && ScopeIsOpen(offered, arguments.scope)) return StartAction::Continue;
  return StartAction::RelaunchElevated;
}

bool SettingsPageNeedsElevation(InstallScope chosen, bool elevated, bool handedOver) {
  return chosen == InstallScope::Machine && !elevated && !handedOver;
}

InstallerArguments ElevatedArguments(const InstallerArguments& arguments, std::uint32_t ownProcessId) {
  InstallerArguments elevated = arguments;
  elevated.badArgument.clear();  // told about already
  elevated.handOver = ownProcessId;
  return elevated;
}

InstallerArguments ResumeArguments(const InstallerArguments& arguments, std::uint32_t ownProcessId,
                                   const InstallChoices& choices, const std::string& languageFile) {
  InstallerArguments resumed = ElevatedArguments(arguments, ownProcessId);
  resumed.resume = true;
  resumed.scope = ScopeRequest::AllUsers;
  resumed.languageFile = languageFile;
  resumed.installDir = choices.installFolder;
  resumed.menuFolder = choices.menuFolder;
  resumed.desktop = choices.desktopIcon;
  resumed.noDesktop = !choices.desktopIcon;
  return resumed;
}

}  // namespace brindorel

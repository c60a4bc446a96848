// When an installation needs administrator rights it does not have: a
// machine installation started without them starts itself again through
// the system's elevation prompt with the same arguments (the instance name
// handed over), waits for that copy and ends with its exit code. A per-user
// installation never asks. Where the package lets the user choose on the
// settings page, the wizard asks only when the settings page is left with
// the machine chosen, and the elevated copy resumes on that page.
#pragma once

#include <cstdint>

#include "core/command_line.h"
#include "install/choices.h"
#include "install/install_scope.h"

namespace brindorel {

enum class StartAction {
  Continue,          // run here
  RelaunchElevated,  // hand the run to an elevated copy now
  BadScope,          // /ALLUSERS or /CURRENTUSER asks for a scope the package does not offer
};

// The decision at start-up, once the first settings are read. A copy that
// was handed the run never hands it on again.
StartAction DecideStart(PackageScope offered, const InstallerArguments& arguments, bool elevated);

// Leaving the settings page with `chosen`: whether the wizard must hand
// over to an elevated copy.
bool SettingsPageNeedsElevation(InstallScope chosen, bool elevated, bool handedOver);

// The elevated copy's arguments: the run's own with the instance name
// handed over (/HANDOVER=).
InstallerArguments ElevatedArguments(const InstallerArguments& arguments, std::uint32_t ownProcessId);
// The same from the settings page: the machine scope, the page's choices and
// the language already chosen, and /RESUME.
InstallerArguments ResumeArguments(const InstallerArguments& arguments, std::uint32_t ownProcessId,
                                   const InstallChoices& choices, const std::string& languageFile);

}  // namespace brindorel

// The installer's run from launch to exit: claim the instance name, unpack
// the appended package into the working folder, read the first settings, run
// the wizard, then clean up and either ask for a restart or start the
// installed program.
#pragma once

#include <cstdint>
#include <string>

#include "core/command_line.h"
#include "core/installer_state.h"
#include "ui/control_surface.h"
#include "ui/interface_texts.h"

namespace brindorel {

// Runs everything and gives the process's exit code: always 0 with the
// wizard; with /S the SilentExitCode of the unattended run.
std::uint32_t RunInstaller(const InstallerArguments& arguments);

// Runs everything between start-up and the end (texts, companion programs,
// the wizard window and its event loop).
WizardOutcome RunWizard(InstallerState& state);

// The interface texts of a language file in the working folder (the
// built-in defaults where it lacks one, or when it is missing).
InterfaceTexts LoadTextsFile(const InstallerState& state, const std::string& file);
// The wizard pass of the settings, and the controls it decides.
void ReadSecondPass(InstallerState& state, ControlSurface& surface);
// The previous installation's choices (from the product key) or the
// defaults, into the settings page's fields.
void ReadPreviousChoices(InstallerState& state, ControlSurface& surface);

// An unattended installation (/S); returns the process's exit code.
std::uint32_t RunSilentInstallation(InstallerState& state, const InstallerArguments& arguments);


}  // namespace brindorel

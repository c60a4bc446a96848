// The installer's run from launch to exit: claim the instance name, unpack
// the appended package into the working folder, read the first settings, run
// the wizard, then clean up and either ask for a restart or start the
// installed program.
#pragma once

#include "core/installer_state.h"

namespace brindorel {

// Runs everything; the process then ends with exit code 0.
void RunInstaller();

// Runs everything between start-up and the end (texts, companion programs,
// the wizard window and its event loop).
WizardOutcome RunWizard(InstallerState& state);

// Makes later LoadLibrary calls search the system folder only, so a DLL
// planted beside the installer (a downloads folder) is never loaded.
void HardenLibrarySearch();

}  // namespace brindorel

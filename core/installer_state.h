// The record of one installer run: everything the start-up, the wizard and
// the installation share. One instance lives for the whole process and is
// owned by RunInstaller, which hands it to the parts it calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/command_line.h"
#include "install/install_scope.h"
#include "install/settings.h"
#include "services/folder_rules.h"

namespace brindorel {

// The fixed instance name: only one installer of this product runs at a time.
extern const char* const kInstanceName;
// The working folder's name below the temporary folder ("Brindorel"); a
// folder of that name that cannot be used safely gives way to "Brindorel-"
// and random characters (services/private_folder.h).
extern const char* const kWorkFolderName;

enum class WizardOutcome {
  Completed,  // the event loop ended and the window is closed
  EndAtOnce,  // BeforeBR.exe returned 1
  NoWindow,   // the wizard window could not be built
};

struct InstallerState {
  void* instanceMutex = nullptr;  // a HANDLE, held from the claim to the end
  InstallerArguments arguments;   // as the command line gave them
  bool elevated = false;          // the process holds administrator rights
  InstallScope scope = InstallScope::Machine;  // the package's offer and the switches, settled
  bool scopeOpen = false;         // the settings page lets the user choose it
  std::string workFolder;         // a new private folder below the temporary folder, ending in "\"
  std::string installerPath;      // full path of the running executable
  std::string settingsPath;       // workFolder + "setup.ini"
  Settings settings;
  std::string productKey;         // "SOFTWARE\Brindorel\" + GUID, under HKCU
  std::int8_t currentPage = 1;
  std::uint32_t quitRequested = 0;
  std::uint8_t targetRunning = 0;
  std::uint8_t startProgramAtExit = 0;
  std::uint32_t whileProgram = 0;  // a ProgramHandle of the process runner; 0: none
  std::string installFolder;      // empty until the installation sets it
  bool installationRan = false;   // the installation sequence was carried out
  bool installationIncomplete = false;  // a step of the installation failed
  bool packageDamaged = false;    // setup.pck failed its checks: nothing was installed
  bool installerDamaged = false;  // the installer's own package failed its checks
  std::uint32_t carriedCompanions = 0;  // CompanionBits of the companions this run's package carried
  ProtectedFolders protectedFolders;    // refused as install folders on the settings page
  std::vector<std::string> machineFolders;  // a per-user installation takes no folder there
  std::string languageFile;       // the language file the run speaks
  bool handedOver = false;        // an elevated copy of this installer did the run
  std::uint32_t handOverExitCode = 0;
};

// The program started at the end, or the empty text when nothing is started:
// only after an installation, without a restart request, when asked for and
// when ProgExe is set.
std::string ProgramToStartAtExit(const InstallerState& state);

}  // namespace brindorel

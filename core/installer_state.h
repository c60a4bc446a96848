// The record of one installer run: everything the start-up, the wizard and
// the installation share. One instance lives for the whole process and is
// owned by RunInstaller, which hands it to the parts it calls.
#pragma once

#include <cstdint>
#include <string>

#include "install/settings.h"
#include "services/folder_rules.h"

namespace brindorel {

// The fixed instance name: only one installer of this product runs at a time.
extern const char* const kInstanceName;
// Below the user's temporary folder.
extern const char* const kWorkFolderName;   // "Brindorel\"

enum class WizardOutcome {
  Completed,  // the event loop ended and the window is closed
  EndAtOnce,  // BeforeBR.exe returned 1
  NoWindow,   // the wizard window could not be built
};

struct InstallerState {
  void* instanceMutex = nullptr;  // a HANDLE, held from the claim to the end
  std::string workFolder;         // temporary folder + "Brindorel\"
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
  std::uint32_t carriedCompanions = 0;
  ProtectedFolders protectedFolders;    // refused as install folders on the settings page  // CompanionBits of the companions this run's package carried
};

// The program started at the end, or the empty text when nothing is started:
// only after an installation, without a restart request, when asked for and
// when ProgExe is set.
std::string ProgramToStartAtExit(const InstallerState& state);

}  // namespace brindorel

#include "core/installer_state.h"

namespace brindorel {

const char* const kInstanceName = "{3C51A7D2-6E40-4B9A-8D17-5F2C9E0B4A63}";
const char* const kWorkFolderName = "Brindorel\\";

std::string ProgramToStartAtExit(const InstallerState& state) {
  // Finish before the installation leaves InstallFolder empty: starting the
  // bare ProgExe would run whatever the search path finds under that name.
  if (!state.installationRan || state.installFolder.empty()) return std::string();
  if (state.settings.reboot != 0 || state.startProgramAtExit == 0) return std::string();
  if (state.settings.progExe.empty()) return std::string();
  return state.installFolder + state.settings.progExe;
}

}  // namespace brindorel

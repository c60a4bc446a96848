// Control numbers of the uninstaller's window (class "BrindorelUninstall"),
// so that a driver can find them as it finds the wizard's.
#pragma once

namespace brindorel {

constexpr const char* kUninstallWindowClass = "BrindorelUninstall";

enum UninstallControl : int {
  kUninstallOkButton = 1,      // IDOK: starts the removal, and closes at the end
  kUninstallCancelButton = 2,  // IDCANCEL
  kUninstallInfoLabel = 11,    // UninstInfo
  kUninstallNameLabel = 12,    // ProgName and Version
  kUninstallMessageLabel = 13, // Msg
  kUninstallDelAllBox = 14,    // DelAll; only when the record offers it
  kUninstallStatusLabel = 15,  // Status while working, Ready and what is left at the end
};

}  // namespace brindorel

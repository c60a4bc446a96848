// Shell links (".lnk" files) and the entry in the system's list of installed
// programs. Both talk to Windows directly (shell_links_win.cpp).
#pragma once

#include <cstdint>
#include <string>

namespace brindorel {

// Writes the link file `linkFile` (its folder must exist). An icon file of
// exactly "|" means the target itself. COM is initialised and released
// around the single call. Returns 1 when the link file was saved, 0 when the
// shell objects could not be created or the save failed.
int CreateShortcut(const std::string& target, const std::string& linkFile, const std::string& workingFolder,
                   const std::string& arguments, std::int32_t showCommand, const std::string& description,
                   std::uint16_t hotKey, const std::string& iconFile, std::int32_t iconIndex);

// The Uninstall key's path below HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER.
constexpr const char* kUninstallKeyBase = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Where WriteUninstallEntry put the entry.
constexpr int kUninstallEntryNotWritten = 0;
constexpr int kUninstallEntryMachine = 1;  // HKEY_LOCAL_MACHINE
constexpr int kUninstallEntryUser = 2;     // HKEY_CURRENT_USER (no rights for the machine's list)

// Writes DisplayName, DisplayIcon, Publisher, URLInfoAbout, HelpLink (the web
// address again), Contact and UninstallString (in quotes when it holds a
// space) as REG_SZ values of the subkey named by the GUID, or by the display
// name when the GUID is empty. When the key cannot be created under
// HKEY_LOCAL_MACHINE the entry goes to the per-user list instead. The result
// is one of the kUninstallEntry numbers; a key whose values could not all be
// written counts as not written.
int WriteUninstallEntry(const std::string& guid, const std::string& displayName, const std::string& publisher,
                        const std::string& webAddress, const std::string& contact, const std::string& iconPath,
                        const std::string& uninstallCommand);

// One try of the above under one root (80000002 hex HKEY_LOCAL_MACHINE or
// 80000001 hex HKEY_CURRENT_USER): 1 when the key was created and every
// value written, else 0.
int WriteUninstallEntryUnder(std::uint32_t root, const std::string& subkeyName, const std::string& displayName,
                             const std::string& publisher, const std::string& webAddress,
                             const std::string& contact, const std::string& iconPath,
                             const std::string& uninstallCommand);

// The UninstallString for a program path: quoted when it holds a space, so
// that the system never probes the path's parts as program names.
std::string UninstallCommandText(const std::string& uninstallerPath);

}  // namespace brindorel

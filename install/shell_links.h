// Shell links (".lnk" files) and the entry in the system's list of installed
// programs. Both talk to Windows directly (shell_links_win.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

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
constexpr int kUninstallEntryUser = 2;     // HKEY_CURRENT_USER

// One entry of the system's list of installed programs.
struct UninstallEntryPlan {
  std::string guid;  // the subkey's name when not empty, else the display name
  std::string displayName;
  std::string publisher;
  std::string webAddress;
  std::string contact;
  std::string iconPath;
  std::string uninstallCommand;  // the uninstaller's path
  std::string displayVersion;    // [Info] Version
  std::string installLocation;   // the installation folder
  std::string installDate;       // yyyymmdd
  std::uint32_t estimatedSizeKb = 0;
};

// The entry's subkey name: the GUID, or the display name without one.
std::string UninstallEntryKeyName(const UninstallEntryPlan& entry);

// Writes, in this order, DisplayName, DisplayIcon, Publisher, URLInfoAbout,
// HelpLink (the web address again), Contact and UninstallString (in quotes
// when it holds a space) as REG_SZ values, then DisplayVersion,
// InstallLocation, InstallDate (REG_SZ), EstimatedSize (REG_DWORD, KB),
// QuietUninstallString (REG_SZ) and NoModify and NoRepair (REG_DWORD 1).
// A machine installation writes under HKEY_LOCAL_MACHINE and, when that key
// cannot be created, into the per-user list instead; a per-user one only
// into the per-user list. The result is one of the kUninstallEntry numbers;
// a key whose values could not all be written counts as not written.
int WriteUninstallEntry(const UninstallEntryPlan& entry, bool perUser);

// One try of the above under one root (80000002 hex HKEY_LOCAL_MACHINE or
// 80000001 hex HKEY_CURRENT_USER): 1 when the key was created and every
// value written, else 0.
int WriteUninstallEntryUnder(std::uint32_t root, const UninstallEntryPlan& entry);

// Replaces the protected copy of the uninstall record: the subkey `subkey`
// of the entry's key under `root`, emptied of what an earlier installation
// left and given `values` (REG_SZ, in order). True when every value was
// written.
bool WriteEntrySubkey(std::uint32_t root, const std::string& entryName, const std::string& subkey,
                      const std::vector<std::pair<std::string, std::string>>& values);

// The QuietUninstallString: the uninstaller's path, always in quotes, + " /S".
std::string QuietUninstallCommandText(const std::string& uninstallerPath);
// InstallDate: yyyymmdd.
std::string InstallDateText(std::uint32_t year, std::uint32_t month, std::uint32_t day);
// EstimatedSize: bytes in KB, rounded up, held to what a DWORD takes.
std::uint32_t EstimatedSizeKb(std::uint64_t bytes);

// The UninstallString for a program path: quoted when it holds a space, so
// that the system never probes the path's parts as program names.
std::string UninstallCommandText(const std::string& uninstallerPath);

}  // namespace brindorel

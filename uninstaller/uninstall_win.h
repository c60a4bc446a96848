// The uninstaller's Windows edge: the removal's system calls, the folders
// its guards need, the running-program test, and the run of Uninstall.exe
// from its command line to its exit code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "services/folder_rules.h"
#include "uninstaller/removal.h"
#include "uninstaller/uninstall_data.h"

namespace brindorel {

// Files through the kernel, links through the shell, the registry through
// advapi32. Deletions at restart go through MoveFileEx.
class WindowsRemovalSystem : public RemovalSystem {
 public:
  bool DeleteRegistryValue(std::uint32_t root, const std::string& key, const std::string& name) override;
  bool RegistryKeyIsEmpty(std::uint32_t root, const std::string& key) override;
  bool DeleteRegistryKey(std::uint32_t root, const std::string& key) override;
  bool RegistryKeyExists(std::uint32_t root, const std::string& key) override;
  std::string ReadRegistryValue(std::uint32_t root, const std::string& key, const std::string& name) override;
  PathKind QueryPath(const std::string& path) override;
  ShortcutTarget ReadShortcut(const std::string& linkFile) override;
  bool DeleteOneFile(const std::string& path) override;
  void ClearReadOnly(const std::string& path) override;
  bool ScheduleDeletion(const std::string& path) override;
  bool RemoveFolderOnly(const std::string& path) override;
  std::vector<FolderItem> ListFolder(const std::string& folder) override;
};

// The system folder and both programs folders.
RemovalContext SystemRemovalContext();
// The folders a record may never name (LookUpProtectedFolders over the shell's folders).
ProtectedFolders SystemProtectedFolders();

// Whether the installed program runs: MutexString names an existing mutex,
// or a process other than this one has the image ProgDir + ProgExe (a
// process of that file name whose path cannot be read counts too).
bool InstalledProgramRuns(const UninstallData& data);

// The protected copy of the record of the installation in `progDir`, from
// the uninstall entries of the machine, then of the user; not present when
// none names that folder.
ProtectedRecord FindProtectedRecord(const std::string& progDir);

// The whole run of Uninstall.exe for a command line (program name first);
// the result is the process's exit code (UninstallExitCode).
std::uint32_t RunUninstaller(const std::string& commandLine);

}  // namespace brindorel

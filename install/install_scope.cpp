#include "install/install_scope.h"

#include "services/folder_rules.h"
#include "services/text.h"

namespace brindorel {
namespace {

constexpr const char* kProgramFilesPlaceholder = "%ProgramFiles%";

std::vector<std::string> KeptLevels(const std::string& text) {
  std::vector<std::string> levels;
  std::string level;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\\' || text[i] == '/') {
      const std::string trimmed = TrimSpaces(level);
      if (!trimmed.empty() && trimmed != "." && trimmed != "..") levels.push_back(trimmed);
      level.clear();
    } else {
      level += text[i];
    }
  }
  return levels;
}

std::vector<std::string> Normalised(const FolderLookup& lookup, std::initializer_list<std::int32_t> ids) {
  std::vector<std::string> folders;
  for (std::int32_t id : ids) {
    const std::string folder = NormaliseFolderPath(lookup(id));
    if (!folder.empty()) folders.push_back(folder);
  }
  return folders;
}

bool InOrBelow(const std::string& path, const std::string& folder) {
  return SameFolderPath(path, folder) || IsBelowFolder(path, folder);
}

}  // namespace

PackageScope ParsePackageScope(const std::string& value) {
  const std::string text = TrimSpaces(value);
  if (EqualIgnoringAsciiCase(text, "user")) return PackageScope::User;
  if (EqualIgnoringAsciiCase(text, "choose")) return PackageScope::Choose;
  return PackageScope::Machine;
}

const char* PackageScopeName(PackageScope scope) {
  switch (scope) {
    case PackageScope::User:
      return "user";
    case PackageScope::Choose:
      return "choose";
    case PackageScope::Machine:
      break;
  }
  return "machine";
}

bool SettleScope(PackageScope offered, ScopeRequest request, InstallScope& scope) {
  switch (request) {
    case ScopeRequest::AllUsers:
      scope = InstallScope::Machine;
      return offered != PackageScope::User;
    case ScopeRequest::CurrentUser:
      scope = InstallScope::User;
      return offered != PackageScope::Machine;
    case ScopeRequest::None:
      break;
  }
  scope = offered == PackageScope::User ? InstallScope::User : InstallScope::Machine;
  return true;
}

bool ScopeIsOpen(PackageScope offered, ScopeRequest request) {
  return offered == PackageScope::Choose && request == ScopeRequest::None;
}

std::string UserProgramsPart(const std::string& defaultDir, const std::string& fallback) {
  std::string part;
  const std::size_t placeholder = defaultDir.find(kProgramFilesPlaceholder);
  if (placeholder != std::string::npos) {
    part = defaultDir.substr(placeholder + std::string(kProgramFilesPlaceholder).size());
  } else {
    const std::vector<std::string> levels = KeptLevels(defaultDir);
    if (!levels.empty()) part = levels.back();
  }
  // What is left must be plain folder names: no further placeholder, drive
  // or level that climbs.
  std::string result;
  for (const std::string& level : KeptLevels(part)) {
    if (level.find('%') != std::string::npos || level.find(':') != std::string::npos) continue;
    result += (result.empty() ? "" : "\\") + level;
  }
  return result.empty() ? fallback : result;
}

std::string UserDefaultInstallDir(const std::string& defaultDir, const std::string& localAppData,
                                  const std::string& fallback) {
  if (localAppData.empty()) return "";
  const std::string part = UserProgramsPart(defaultDir, fallback);
  return WithTrailingSeparator(WithTrailingSeparator(localAppData) + "Programs\\" + part);
}

std::vector<std::string> LookUpMachineFolders(const FolderLookup& lookup) {
  return Normalised(lookup, {kProgramFilesFolderId, kProgramFilesShellFolderId, kProgramFilesX86FolderId,
                             kCommonFilesFolderId, kCommonFilesX86FolderId, kWindowsFolderId, kSystemFolderId,
                             kWindowsShellFolderId, kCommonAppDataFolderId, kCommonStartMenuFolderId,
                             kCommonProgramsFolderId, kCommonStartupFolderId, kCommonDesktopFolderId,
                             kCommonDocumentsFolderId, kFontsFolderId});
}

bool IsInMachineFolder(const std::string& path, const std::vector<std::string>& machineFolders) {
  for (const std::string& folder : machineFolders) {
    if (InOrBelow(path, folder)) return true;
  }
  return false;
}

std::vector<std::string> LookUpUserFolders(const FolderLookup& lookup) {
  return Normalised(lookup, {kProfileFolderId, kAppDataFolderId, kLocalAppDataFolderId, kDocumentsFolderId,
                             kDesktopFolderId, kDesktopDirectoryFolderId, kProgramsFolderId, kStartupFolderId});
}

bool IsInUsersReach(const std::string& path, const std::vector<std::string>& userFolders,
                    const std::vector<std::string>& machineFolders) {
  if (!IsAbsoluteFolderPath(path) || IsInMachineFolder(path, machineFolders)) return false;
  for (const std::string& folder : userFolders) {
    if (InOrBelow(path, folder)) return true;
  }
  return false;
}

const char* ScopeRecordText(InstallScope scope) { return scope == InstallScope::User ? "user" : "machine"; }

InstallScope ScopeFromRecordText(const std::string& text) {
  return EqualIgnoringAsciiCase(TrimSpaces(text), "user") ? InstallScope::User : InstallScope::Machine;
}

}  // namespace brindorel

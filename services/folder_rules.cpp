#include "services/folder_rules.h"

#include <cstdint>

namespace brindorel {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The levels of a path after its root, split at "\" and "/", empty levels
// (doubled separators) left out.
std::vector<std::string> Levels(const std::string& path, std::size_t from) {
  std::vector<std::string> levels;
  std::string level;
  for (std::size_t i = from; i <= path.size(); ++i) {
    if (i == path.size() || IsSeparator(path[i])) {
      if (!level.empty()) levels.push_back(level);
      level.clear();
    } else {
      level += path[i];
    }
  }
  return levels;
}

// Where the levels of an absolute path start, and its root in normal form
// ("c:" or "\\server\share"); 0 when the path is not absolute.
std::size_t SplitRoot(const std::string& path, std::string& root) {
  if (path.size() >= 3 && IsLetter(path[0]) && path[1] == ':' && IsSeparator(path[2])) {
    root = std::string(1, LowerAscii(path[0])) + ":";
    return 3;
  }
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    std::vector<std::string> parts;
    std::size_t i = 2;
    std::string part;
    // "\\server\share": the first two levels are the root.
    while (i <= path.size() && parts.size() < 2) {
      if (i == path.size() || IsSeparator(path[i])) {
        if (part.empty()) return 0;  // "\\\x" or "\\server\\"
        parts.push_back(part);
        part.clear();
      } else {
        part += path[i];
      }
      ++i;
    }
    if (parts.size() < 2 || parts[0] == "." || parts[0] == "?") return 0;  // device paths too
    root = "\\\\" + parts[0] + "\\" + parts[1];
    for (char& c : root) c = LowerAscii(c);
    return i;
  }
  return 0;
}

bool IsBadCharacter(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < 32 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*' || c == ':';
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices in every folder, with
// any extension.
bool IsDeviceName(const std::string& level) {
  std::string base = level.substr(0, level.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base) c = LowerAscii(c);
  if (base == "con" || base == "prn" || base == "aux" || base == "nul") return true;
  return base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

// A level Windows would alter or refuse: bad characters, a device name, or a
// trailing space or dot (which the file system drops).
bool IsValidLevel(const std::string& level) {
  if (level.empty() || level == "." || level == "..") return true;  // resolved elsewhere
  return WindowsNameProblem(level) == NameProblem::None;
}

// The longest name of one level, in UTF-16 units.
constexpr std::size_t kLongestName = 255;

}  // namespace

NameProblem WindowsNameProblem(const std::string& name) {
  if (!IsValidUtf8(name)) return NameProblem::NotUtf8;
  for (char c : name) {
    if (IsBadCharacter(c) || IsSeparator(c)) return NameProblem::BadCharacter;
  }
  if (!name.empty() && (name.back() == ' ' || name.back() == '.')) return NameProblem::TrailingDotOrSpace;
  if (IsDeviceName(name)) return NameProblem::DeviceName;
  if (Utf16Length(name) > kLongestName) return NameProblem::TooLong;
  return NameProblem::None;
}

bool IsAbsoluteFolderPath(const std::string& path) {
  std::string root;
  return SplitRoot(path, root) != 0;
}

std::string NormaliseFolderPath(const std::string& path) {
  std::string root;
  const std::size_t start = SplitRoot(path, root);
  if (start == 0) return "";
  std::vector<std::string> kept;
  for (const std::string& level : Levels(path, start)) {
    if (level == ".") continue;
    if (level == "..") {
      if (!kept.empty()) kept.pop_back();
      continue;
    }
    kept.push_back(level);
  }
  std::string result = root;
  for (const std::string& level : kept) {
    result += '\\';
    for (char c : level) result += LowerAscii(c);
  }
  return result;
}

bool SameFolderPath(const std::string& a, const std::string& b) {
  const std::string na = NormaliseFolderPath(a);
  return !na.empty() && na == NormaliseFolderPath(b);
}

bool IsBelowFolder(const std::string& path, const std::string& folder) {
  const std::string np = NormaliseFolderPath(path);
  const std::string nf = NormaliseFolderPath(folder);
  if (np.empty() || nf.empty() || np.size() <= nf.size() + 1) return false;
  return np.compare(0, nf.size(), nf) == 0 && np[nf.size()] == '\\';
}

ProtectedFolders LookUpProtectedFolders(const FolderLookup& lookup, const std::string& workFolder) {
  // Shell folder numbers of the user's and the machine's own folders, and the
  // negative ids of the folders that are not shell folders.
  static const std::int32_t kIds[] = {
      kWindowsFolderId, kSystemFolderId, kTempFolderId, kProgramFilesFolderId,
      kCommonFilesFolderId, kProgramFilesShellFolderId, kProgramFilesX86FolderId, kCommonFilesX86FolderId,
      kProfileFolderId,
      kDesktopFolderId, kDesktopDirectoryFolderId, kCommonDesktopFolderId,
      kDocumentsFolderId, kCommonDocumentsFolderId,
      kStartMenuFolderId, kCommonStartMenuFolderId,
      kProgramsFolderId, kCommonProgramsFolderId,
      kStartupFolderId, kCommonStartupFolderId,
      kAppDataFolderId, kLocalAppDataFolderId, kCommonAppDataFolderId,
      kFontsFolderId, kWindowsShellFolderId, kSystemShellFolderId,
  };
  ProtectedFolders result;
  for (std::int32_t id : kIds) {
    const std::string folder = NormaliseFolderPath(lookup(id));
    if (!folder.empty()) result.folders.push_back(folder);
  }
  result.workFolder = NormaliseFolderPath(workFolder);
  return result;
}

FolderProblem CheckInstallFolder(const std::string& path, const ProtectedFolders& protectedFolders) {
  std::string root;
  const std::size_t start = SplitRoot(path, root);
  if (start == 0) return FolderProblem::NotAbsolute;
  for (std::size_t i = 2; i < start; ++i) {
    if (IsBadCharacter(path[i]) && !IsSeparator(path[i])) return FolderProblem::BadCharacters;
  }
  for (const std::string& level : Levels(path, start)) {
    if (!IsValidLevel(level)) return FolderProblem::BadCharacters;
  }
  const bool closed = IsSeparator(path.back());
  if (Utf16Length(path) + (closed ? 0 : 1) > kLongestInstallFolder) return FolderProblem::TooLong;

  const std::string normal = NormaliseFolderPath(path);
  if (normal == root) return FolderProblem::DriveRoot;
  for (const std::string& folder : protectedFolders.folders) {
    // The folder itself, or one that holds it (emptying it would empty the
    // protected one too).
    if (normal == folder || IsBelowFolder(folder, normal)) return FolderProblem::ProtectedFolder;
  }
  const std::string& work = protectedFolders.workFolder;
  if (!work.empty() && (normal == work || IsBelowFolder(normal, work) || IsBelowFolder(work, normal)))
    return FolderProblem::InsideWorkFolder;
  return FolderProblem::None;
}

std::string ExtendedLengthPath(const std::string& path) {
  std::string prefix;
  std::size_t start = 0;
  if (path.size() >= 3 && IsLetter(path[0]) && path[1] == ':' && IsSeparator(path[2])) {
    prefix = "\\\\?\\" + path.substr(0, 2);
    start = 3;
  } else {
    std::string root;
    start = SplitRoot(path, root);
    if (start == 0) return path;
    // The server and share keep their spelling.
    const std::vector<std::string> parts = Levels(path.substr(0, start), 0);
    if (parts.size() != 2) return path;
    prefix = "\\\\?\\UNC\\" + parts[0] + "\\" + parts[1];
  }
  std::vector<std::string> kept;
  for (const std::string& level : Levels(path, start)) {
    if (level == ".") continue;
    if (level == "..") {
      if (!kept.empty()) kept.pop_back();
      continue;
    }
    kept.push_back(level);
  }
  std::string result = prefix;
  for (const std::string& level : kept) result += "\\" + level;
  if (kept.empty() || IsSeparator(path.back())) result += '\\';
  return result;
}

bool IsSafeMenuFolderName(const std::string& name) {
  if (name.empty() || IsSeparator(name[0])) return false;
  const std::vector<std::string> levels = Levels(name, 0);
  if (levels.empty()) return false;
  for (const std::string& level : levels) {
    if (level == "." || level == ".." || !IsValidLevel(level)) return false;
  }
  return true;
}

}  // namespace brindorel

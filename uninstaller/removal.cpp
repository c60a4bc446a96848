#include "uninstaller/removal.h"

#include <set>

#include "install/shell_links.h"
#include "services/folders.h"
#include "services/text.h"

namespace brindorel {
namespace {

constexpr const char* kRecordName = "uninstall.dat";
constexpr const char* kUninstallerName = "Uninstall.exe";
constexpr const char* kProductKeyBase = "SOFTWARE\\Brindorel";
const char* const kProductValues[] = {"InstallDir", "StartMenu", "DesktopIcon"};

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsLinkFile(const std::string& path) { return EqualIgnoringAsciiCase(PathExtension(path), "lnk"); }

bool StartsWithIgnoringCase(const std::string& text, const std::string& start) {
  return text.size() >= start.size() && EqualIgnoringAsciiCase(text.substr(0, start.size()), start);
}

std::string ParentFolder(const std::string& folder) {
  std::string path = folder;
  while (!path.empty() && IsSeparator(path.back())) path.pop_back();
  return PathFolderPart(path);
}

bool IsDriveRoot(const std::string& folder) {
  return CheckInstallFolder(folder, ProtectedFolders{}) == FolderProblem::DriveRoot;
}

// One run of the steps: the system, what was decided, what is left.
class Removal {
 public:
  Removal(RemovalSystem& system, const UninstallData& data, const RemovalContext& context, RemovalOutcome& outcome)
      : system_(system), data_(data), context_(context), outcome_(outcome),
        progDir_(WithTrailingSeparator(data.progDir)) {
    for (const std::string& path : outcome.scheduled) scheduled_.insert(NormaliseFolderPath(path));
  }

  void UserTasks() {
    for (const std::string& record : data_.tasks) {
      if (IsRegistryRecord(record)) {
        RegistryTask(record);
      } else {
        OwnedFile(record, true);
      }
      system_.Progress();
    }
  }

  void DesktopShortcut() {
    if (data_.desktopIcon.empty()) return;
    if (!IsLinkFile(data_.desktopIcon)) {
      Refuse(data_.desktopIcon);
      return;
    }
    OwnedFile(data_.desktopIcon, true);
  }

  void StartMenu() {
    const std::string& menu = data_.startMenu;
    if (menu.empty()) return;
    const std::string* programs = nullptr;
    for (const std::string& folder : context_.programsFolders) {
      if (!folder.empty() && IsBelowFolder(menu, folder)) programs = &folder;
    }
    if (programs == nullptr) {
      Refuse(menu);
      return;
    }
    if (system_.QueryPath(menu) != PathKind::Folder) return;
    const std::string folder = WithTrailingSeparator(menu);
    std::set<std::string> named;
    for (const std::string& name : {data_.progLink + ".lnk", std::string("Uninstall.lnk"), std::string("Homepage.lnk")}) {
      if (name == ".lnk") continue;
      named.insert(NormaliseFolderPath(folder + name));
      if (system_.QueryPath(folder + name) == PathKind::File) OwnedFile(folder + name, true);
    }
    // The links the record does not list (second program, help): only those
    // that open something inside ProgDir.
    for (const FolderItem& item : system_.ListFolder(folder)) {
      const std::string path = folder + item.name;
      if (item.kind != PathKind::File || !IsLinkFile(item.name) || named.count(NormaliseFolderPath(path)) != 0)
        continue;
      if (ShortcutBelongsTo(system_.ReadShortcut(path), progDir_, context_, false)) DeleteFileRetrying(path, false);
    }
    // The folder and its parents while they are empty, never the programs folder.
    for (std::string level = folder; IsBelowFolder(level, *programs); level = ParentFolder(level)) {
      if (system_.QueryPath(level) != PathKind::Folder || !system_.ListFolder(level).empty()) break;
      if (!system_.RemoveFolderOnly(level)) {
        Leave(level, false);
        break;
      }
    }
    system_.Progress();
  }

  void ListedFiles() {
    for (const std::string& name : data_.files) {
      if (!IsSafeRelativeFile(name)) {
        Refuse(name);
        continue;
      }
      std::string relative = name;
      for (char& c : relative) {
        if (c == '/') c = '\\';
      }
      if (IsOwnFile(relative)) continue;  // step 6 and FinishRemoval
      // Every folder on the way must be a real folder inside ProgDir: a
      // junction planted in the folder would lead the deletion elsewhere.
      bool reachable = true;
      for (std::size_t at = relative.find('\\'); at != std::string::npos; at = relative.find('\\', at + 1)) {
        const PathKind kind = system_.QueryPath(progDir_ + relative.substr(0, at));
        if (kind == PathKind::Missing) {
          reachable = false;
          break;
        }
        if (kind != PathKind::Folder) {
          Refuse(progDir_ + relative);
          reachable = false;
          break;
        }
      }
      if (!reachable) continue;
      const std::string path = progDir_ + relative;
      if (system_.QueryPath(path) == PathKind::File) DeleteFileRetrying(path, true);
      system_.Progress();
    }
  }

  void EverythingElse(const std::string& folder, bool top) {
    for (const FolderItem& item : system_.ListFolder(folder)) {
      const std::string path = folder + item.name;
      if (top && IsOwnFile(item.name)) continue;
      switch (item.kind) {
        case PathKind::File:
          DeleteFileRetrying(path, true);
          break;
        case PathKind::Folder:
          EverythingElse(path + "\\", false);
          break;
        case PathKind::LinkedFolder:
          // The link goes, never what it points to.
          if (!system_.RemoveFolderOnly(path)) Leave(path, false);
          break;
        case PathKind::Missing:
          break;
      }
    }
    system_.Progress();
  }

  void RecordAndFolders() {
    const std::string record = progDir_ + kRecordName;
    if (system_.QueryPath(record) == PathKind::File) DeleteFileRetrying(record, true);
    SweepEmptyFolders(progDir_);
    system_.Progress();
  }

  void Registration() {
    const std::string name = UninstallEntryName(data_);
    if (!name.empty()) {
      const std::string key = std::string(kUninstallKeyBase) + name;
      for (std::uint32_t root : {kLocalMachine, kCurrentUser}) {
        if (!system_.RegistryKeyExists(root, key)) continue;
        // Another product may own an entry of that name.
        if (!EntryNamesThisUninstaller(system_.ReadRegistryValue(root, key, "UninstallString"), data_.progDir))
          continue;
        if (system_.DeleteRegistryKey(root, key)) {
          ++outcome_.removedValues;
        } else {
          Leave(RootName(root) + key, false);
        }
      }
    }
    std::string guid = data_.guid;
    if (!guid.empty() && guid.find('\\') == std::string::npos && guid.find('/') == std::string::npos) {
      const std::string key = std::string(kProductKeyBase) + "\\" + guid;
      if (system_.RegistryKeyExists(kCurrentUser, key)) {
        for (const char* value : kProductValues) system_.DeleteRegistryValue(kCurrentUser, key, value);
        // Values someone else added keep the key.
        if (system_.RegistryKeyIsEmpty(kCurrentUser, key) && !system_.DeleteRegistryKey(kCurrentUser, key))
          Leave(RootName(kCurrentUser) + key, false);
      }
      if (system_.RegistryKeyIsEmpty(kCurrentUser, kProductKeyBase))
        system_.DeleteRegistryKey(kCurrentUser, kProductKeyBase);
    }
    system_.Progress();
  }

  void Finish() {
    const std::string uninstaller = progDir_ + kUninstallerName;
    if (system_.QueryPath(uninstaller) == PathKind::File) DeleteFileRetrying(uninstaller, true);
    if (IsDriveRoot(progDir_) || system_.QueryPath(progDir_) != PathKind::Folder) return;
    RemoveFolderWhenEmpty(progDir_);
  }

 private:
  static std::string RootName(std::uint32_t root) {
    return root == kLocalMachine ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\";
  }

  static bool IsOwnFile(const std::string& relative) {
    return EqualIgnoringAsciiCase(relative, kRecordName) || EqualIgnoringAsciiCase(relative, kUninstallerName);
  }

  void Refuse(const std::string& what) { outcome_.left.push_back(what); }

  void Leave(const std::string& path, bool scheduled) {
    outcome_.left.push_back(path);
    if (scheduled) {
      outcome_.scheduled.push_back(path);
      scheduled_.insert(NormaliseFolderPath(path));
    }
  }

  // Deleted; else once more without the read-only attribute; else at restart.
  void DeleteFileRetrying(const std::string& path, bool clearFirst) {
    if (clearFirst) system_.ClearReadOnly(path);
    if (system_.DeleteOneFile(path)) {
      ++outcome_.removedFiles;
      return;
    }
    system_.ClearReadOnly(path);
    if (system_.DeleteOneFile(path)) {
      ++outcome_.removedFiles;
      return;
    }
    Leave(path, system_.ScheduleDeletion(path));
  }

  // A file a task record or the record's DesktopIcon names: absolute, a
  // plain file, a link only when it is one of ours.
  void OwnedFile(const std::string& path, bool webAllowed) {
    if (!IsAbsoluteFolderPath(path)) {
      Refuse(path);
      return;
    }
    switch (system_.QueryPath(path)) {
      case PathKind::Missing:
        return;
      case PathKind::File:
        break;
      default:
        Refuse(path);
        return;
    }
    if (IsLinkFile(path) && !ShortcutBelongsTo(system_.ReadShortcut(path), progDir_, context_, webAllowed)) {
      Refuse(path);
      return;
    }
    DeleteFileRetrying(path, false);
  }

  void RegistryTask(const std::string& record) {
    RegistryRecord parsed;
    if (!ParseRegistryRecord(record, parsed)) {
      Refuse(record);
      return;
    }
    if (!system_.DeleteRegistryValue(parsed.root, parsed.key, parsed.name)) {
      Refuse(record);
      return;
    }
    ++outcome_.removedValues;
    if (MayDeleteEmptyKey(parsed.key) && system_.RegistryKeyIsEmpty(parsed.root, parsed.key))
      system_.DeleteRegistryKey(parsed.root, parsed.key);
  }

  // Empty folders inside `folder`, deepest first; real folders only.
  void SweepEmptyFolders(const std::string& folder) {
    for (const FolderItem& item : system_.ListFolder(folder)) {
      if (item.kind != PathKind::Folder) continue;
      const std::string path = folder + item.name + "\\";
      SweepEmptyFolders(path);
      RemoveFolderWhenEmpty(path);
    }
  }

  // Removes a folder that is empty; schedules one that holds only what is
  // scheduled already (Windows deletes in the order of scheduling).
  void RemoveFolderWhenEmpty(const std::string& folder) {
    const std::vector<FolderItem> items = system_.ListFolder(folder);
    bool onlyScheduled = true;
    for (const FolderItem& item : items) {
      if (scheduled_.count(NormaliseFolderPath(folder + item.name)) == 0) onlyScheduled = false;
    }
    if (!onlyScheduled) return;  // the user's own files stay, and so does the folder
    if (items.empty() && system_.RemoveFolderOnly(folder)) return;
    Leave(folder, system_.ScheduleDeletion(folder));
  }

  RemovalSystem& system_;
  const UninstallData& data_;
  const RemovalContext& context_;
  RemovalOutcome& outcome_;
  const std::string progDir_;
  std::set<std::string> scheduled_;  // normalised
};

}  // namespace

std::vector<std::string> RegistryKeyLevels(const std::string& key) {
  std::vector<std::string> levels;
  std::string level;
  for (std::size_t i = 0; i <= key.size(); ++i) {
    if (i == key.size() || key[i] == '\\') {
      if (!level.empty()) levels.push_back(level);
      level.clear();
    } else {
      level += key[i];
    }
  }
  return levels;
}

bool IsRegistryRecord(const std::string& record) { return record.find('|') != std::string::npos; }

bool ParseRegistryRecord(const std::string& record, RegistryRecord& parsed) {
  if (CountOccurrences(record, "|") != 2) return false;
  const std::string root = TextField(record, 1, "|");
  if (root.empty() || root.size() > 10) return false;
  std::uint64_t number = 0;
  for (char c : root) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + static_cast<std::uint64_t>(c - '0');
  }
  // HKEY_CLASSES_ROOT, _CURRENT_USER, _LOCAL_MACHINE, _USERS, _CURRENT_CONFIG.
  if (number < kClassesRoot || number > kCurrentConfig || number == kPerformanceData) return false;
  std::string key = TextField(record, 2, "|");
  while (!key.empty() && key.front() == '\\') key.erase(key.begin());
  while (!key.empty() && key.back() == '\\') key.pop_back();
  // An empty subkey would name the root itself.
  if (RegistryKeyLevels(key).empty()) return false;
  parsed.root = static_cast<std::uint32_t>(number);
  parsed.key = key;
  parsed.name = TextField(record, 3, "|");
  return true;
}

bool MayDeleteEmptyKey(const std::string& key) {
  const std::vector<std::string> levels = RegistryKeyLevels(key);
  if (levels.size() < 3) return false;
  static const char* const kSharedNames[] = {
      "Run", "RunOnce", "RunOnceEx", "RunServices", "RunServicesOnce", "Policies", "Classes",
      "CurrentVersion", "Uninstall", "App Paths", "Explorer", "Shell Folders", "User Shell Folders",
      "Environment", "Winlogon", "Services", "Control", "CurrentControlSet", "Windows", "Windows NT",
      "Microsoft", "Wow6432Node", "Software", "SharedDLLs", "Fonts", "Installer", "Shell", "ShellEx",
      "CLSID", "Interface", "TypeLib", "AppID", "Session Manager", "Brindorel"};
  for (const char* name : kSharedNames) {
    if (EqualIgnoringAsciiCase(levels.back(), name)) return false;
  }
  // The first levels below the class and policy trees are shared too
  // (file types, program ids, a vendor's policies).
  if (EqualIgnoringAsciiCase(levels[0], "System")) return false;
  for (std::size_t i = 0; i + 1 < levels.size(); ++i) {
    const bool shared = EqualIgnoringAsciiCase(levels[i], "Classes") || EqualIgnoringAsciiCase(levels[i], "Policies");
    if (shared && levels.size() - i <= 2) return false;
  }
  return true;
}

bool IsSafeRelativeFile(const std::string& name) {
  if (name.empty() || IsSeparator(name.front()) || IsSeparator(name.back())) return false;
  std::string level;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || IsSeparator(name[i])) {
      if (level.empty() || level == "." || level == "..") return false;
      level.clear();
      continue;
    }
    const auto c = static_cast<unsigned char>(name[i]);
    if (c < 32 || c == ':' || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*') return false;
    level += name[i];
  }
  return true;
}

bool ShortcutBelongsTo(const ShortcutTarget& target, const std::string& progDir, const RemovalContext& context,
                       bool webAllowed) {
  if (!target.read || target.path.empty()) return false;
  if (IsBelowFolder(target.path, progDir)) return true;
  if (!webAllowed || context.systemFolder.empty()) return false;
  return SameFolderPath(PathFolderPart(target.path), context.systemFolder) &&
         EqualIgnoringAsciiCase(PathFileName(target.path), "rundll32.exe") &&
         StartsWithIgnoringCase(target.arguments, "url.dll,FileProtocolHandler ");
}

bool EntryNamesThisUninstaller(const std::string& uninstallString, const std::string& progDir) {
  std::string path = TrimSpaces(uninstallString);
  if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
  const std::string ours = NormaliseFolderPath(WithTrailingSeparator(progDir) + kUninstallerName);
  return !ours.empty() && NormaliseFolderPath(path) == ours;
}

std::string UninstallEntryName(const UninstallData& data) {
  const std::string& name = data.guid.empty() ? data.progLink : data.guid;
  if (RegistryKeyLevels(name).empty()) return "";
  return name;
}

void RemoveInstallation(RemovalSystem& system, const UninstallData& data, const RemovalContext& context,
                        bool delAll, RemovalOutcome& outcome) {
  Removal removal(system, data, context, outcome);
  removal.UserTasks();
  removal.DesktopShortcut();
  removal.StartMenu();
  removal.ListedFiles();
  if (delAll && !data.noDelAll) removal.EverythingElse(WithTrailingSeparator(data.progDir), true);
  removal.RecordAndFolders();
  removal.Registration();
}

void FinishRemoval(RemovalSystem& system, const UninstallData& data, RemovalOutcome& outcome) {
  RemovalContext none;
  Removal removal(system, data, none, outcome);
  removal.Finish();
}

}  // namespace brindorel

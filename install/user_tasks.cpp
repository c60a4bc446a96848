#include "install/user_tasks.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "services/ini_document.h"
#include "services/text.h"

namespace brindorel {

namespace {

constexpr const char* kLinkSuffix = ".lnk";

// Field `n` of a task line; empty beyond the last "|".
std::string Field(const std::string& line, std::int32_t n) { return TextField(line, n, "|"); }

// The folder a link task of this type goes into.
const std::string* LinkFolder(std::int32_t type, const UserTaskFolders& folders) {
  switch (type) {
    case 0:
    case 2:
      return &folders.desktopFolder;
    case 1:
    case 3:
      return &folders.menuFolder;
    case 4:
      return &folders.startupFolder;
    default:
      return nullptr;
  }
}

bool PlanLink(std::int32_t type, const std::string& line, const UserTaskFolders& folders, UserTaskAction& action) {
  const std::string name = Field(line, 2);
  // A nameless shortcut would be a file called ".lnk".
  if (name.empty() || name == kLinkSuffix) return false;
  const std::string& folder = *LinkFolder(type, folders);
  // Never relative to whatever the current folder happens to be.
  if (folder.empty()) return false;
  const std::string linkFile = folder + WithLinkSuffix(name);
  action.kind = UserTaskKind::Link;
  if (type == 2 || type == 3) {
    const std::string address = Field(line, 3);
    if (address.empty()) return false;
    action.link = WebShortcut(folders.systemFolder, address, linkFile);
    if (action.link.target.empty()) return false;
  } else {
    if (folders.installFolder.empty()) return false;
    const std::string target = Field(line, 3);
    action.link = ShortcutPlan();
    action.link.target = folders.installFolder + target;
    action.link.linkFile = linkFile;
    action.link.workingFolder = folders.installFolder + PathFolderPart(target);
    action.link.iconFile = "|";
    action.link.iconIndex = TextToNumber(Field(line, 4));
  }
  action.record = linkFile;
  return true;
}

bool PlanCopy(const std::string& line, const UserTaskFolders& folders, const FolderLookup& lookup,
              UserTaskAction& action) {
  const std::string name = Field(line, 2);
  const std::string source = Field(line, 3);
  if (name.empty() || source.empty() || folders.workFolder.empty()) return false;
  const std::string folderText = Field(line, 4);
  // An empty destination folder means the installation folder, never the
  // process's current folder, so that the record names an absolute path.
  const std::string folder =
      folderText.empty() ? folders.installFolder : WithTrailingSeparator(ExpandFolderPlaceholders(folderText, lookup));
  if (folder.empty()) return false;
  action.kind = UserTaskKind::Copy;
  action.source = folders.workFolder + source;
  action.destination = folder + name;
  action.record = action.destination;
  return true;
}

bool PlanRegistryText(const std::string& line, UserTaskAction& action) {
  // "2147483649" and "-2147483647" are the same 32 bits.
  const std::uint32_t root = static_cast<std::uint32_t>(TextToNumber(Field(line, 2)));
  if (root < kFirstPredefinedRoot || root > kLastPredefinedRoot) return false;
  action.kind = UserTaskKind::RegistryText;
  action.root = root;
  action.key = Field(line, 3);
  action.valueName = Field(line, 4);
  action.valueText = Field(line, 5);
  action.record = UnsignedToText(root) + "|" + action.key + "|" + action.valueName;
  return true;
}

// "Task" + a decimal number without padding, 1 or more; 0 otherwise.
std::int32_t TaskKeyNumber(const std::string& key) {
  if (key.size() < 5 || key.size() > 14 || !EqualIgnoringAsciiCase(key.substr(0, 4), "Task")) return 0;
  if (key[4] == '0') return 0;
  std::int64_t n = 0;
  for (std::size_t i = 4; i < key.size(); ++i) {
    if (key[i] < '0' || key[i] > '9') return 0;
    n = n * 10 + (key[i] - '0');
    if (n > INT32_MAX) return 0;
  }
  return static_cast<std::int32_t>(n);
}

}  // namespace

std::string WithLinkSuffix(const std::string& name) {
  const std::size_t n = 4;
  if (name.size() >= n && name.compare(name.size() - n, n, kLinkSuffix) == 0) return name;
  return name + kLinkSuffix;
}

bool PlanUserTask(const std::string& line, const UserTaskFolders& folders, const FolderLookup& lookup,
                  UserTaskAction& action) {
  if (line.empty()) return false;
  action = UserTaskAction();
  action.type = TextToNumber(Field(line, 1));
  switch (action.type) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
      return PlanLink(action.type, line, folders, action);
    case 5:
      return PlanCopy(line, folders, lookup, action);
    case 6:
      return PlanRegistryText(line, action);
    default:
      return false;
  }
}

std::vector<UserTaskAction> PlanUserTasks(const std::vector<std::string>& lines, const UserTaskFolders& folders,
                                          const FolderLookup& lookup) {
  std::vector<UserTaskAction> actions;
  for (const std::string& line : lines) {
    UserTaskAction action;
    if (PlanUserTask(line, folders, lookup, action)) actions.push_back(std::move(action));
  }
  return actions;
}

std::vector<std::string> ReadUserTaskLines(IniDocument& settings) {
  std::vector<std::string> lines;
  if (settings.SelectGroup("UserTask") == 0) return lines;
  const std::int32_t number = settings.ReadNumber("Number", 0);
  if (number <= 0) return lines;
  // The task keys that exist, in number order; a key present twice counts
  // once, with the value a look-up by name gives (the first one).
  std::vector<std::int32_t> present;
  for (const std::string& key : settings.KeyNames()) {
    const std::int32_t n = TaskKeyNumber(key);
    if (n >= 1 && n <= number) present.push_back(n);
  }
  std::sort(present.begin(), present.end());
  present.erase(std::unique(present.begin(), present.end()), present.end());
  for (const std::int32_t n : present) {
    std::string line = settings.ReadString("Task" + NumberToText(n), "");
    if (!line.empty()) lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace brindorel

#include "install/user_tasks.h"

#include "install/installation.h"
#include "services/file_system.h"
#include "services/folders.h"
#include "services/registry.h"

namespace brindorel {

namespace {

bool Perform(const UserTaskAction& action) {
  switch (action.kind) {
    case UserTaskKind::Link:
      return SaveShortcut(action.link);
    case UserTaskKind::Copy:
      return CopyOneFile(action.source, action.destination) != 0;
    case UserTaskKind::RegistryText:
      return WriteRegistryText(action.root, action.key, action.valueName, action.valueText) == 2;
  }
  return false;
}

}  // namespace

bool PerformUserTasks(const std::vector<std::string>& lines, const UserTaskFolders& folders,
                      std::vector<std::string>& undoList) {
  UserTaskFolders withSystem = folders;
  if (withSystem.systemFolder.empty()) withSystem.systemFolder = GetSpecialFolder(kSystemFolderId);
  const FolderLookup lookup = [](std::int32_t id) { return GetSpecialFolder(id); };
  bool all = true;
  for (const UserTaskAction& action : PlanUserTasks(lines, withSystem, lookup)) {
    // Only what was really created is handed to the uninstaller.
    if (Perform(action)) {
      undoList.push_back(action.record);
    } else {
      all = false;
    }
  }
  return all;
}

}  // namespace brindorel

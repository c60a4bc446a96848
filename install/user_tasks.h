// The additional tasks of "setup.ini" [UserTask]: shortcuts on the desktop,
// in the start-menu folder and the startup folder, web shortcuts, file
// copies and registry text values. Each task line is "|"-separated, field 1
// the type (0-6). The portable part turns the lines into actions with the
// line each leaves in the uninstall record; the Windows part
// (user_tasks_win.cpp) performs them and keeps the records of those that
// succeeded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "install/installation_plan.h"
#include "services/folders.h"
#include "services/registry.h"

namespace brindorel {

class IniDocument;

// The folders the tasks use; each ends in "\" or is empty (unknown, or for
// menuFolder: no start-menu entries were made). Tasks whose folder is empty
// are skipped.
struct UserTaskFolders {
  std::string installFolder;
  std::string workFolder;
  std::string desktopFolder;  // CSIDL_DESKTOP
  std::string menuFolder;     // the start-menu folder of this installation
  std::string startupFolder;  // CSIDL_STARTUP
  std::string systemFolder;   // for web links; looked up when empty
};

enum class UserTaskKind { Link, Copy, RegistryText };

struct UserTaskAction {
  UserTaskKind kind = UserTaskKind::Link;
  std::int32_t type = 0;  // field 1 of the line
  ShortcutPlan link;      // Link (arguments only for web links; show command 1)
  std::string source;       // Copy: the file in the work folder
  std::string destination;  // Copy: the absolute destination path
  std::uint32_t root = 0;   // RegistryText: 80000000 to 80000006 hex
  std::string key;
  std::string valueName;
  std::string valueText;
  std::string record;  // the uninstall record's line for this task
};

// Predefined registry roots a task may name.

// Appends ".lnk" unless the name's last four characters are exactly ".lnk".
std::string WithLinkSuffix(const std::string& name);

// The action of one task line; false when the line does nothing (unknown
// type, empty link name, missing folder, root that is not predefined).
bool PlanUserTask(const std::string& line, const UserTaskFolders& folders, const FolderLookup& lookup,
                  UserTaskAction& action);

// Every line's action, in order, leaving out the lines that do nothing.
std::vector<UserTaskAction> PlanUserTasks(const std::vector<std::string>& lines, const UserTaskFolders& folders,
                                          const FolderLookup& lookup);

// The non-empty task lines of the [UserTask] group in key order, "Task1" to
// "Task" + Number. Only keys that are present are visited, so a huge Number
// costs nothing. Selects [UserTask].
std::vector<std::string> ReadUserTaskLines(IniDocument& settings);

// ---- Windows only (user_tasks_win.cpp) ----

// Performs the task lines in order; appends the record of every task that
// succeeded to `undoList`. True when every task that had something to do
// succeeded.
bool PerformUserTasks(const std::vector<std::string>& lines, const UserTaskFolders& folders,
                      std::vector<std::string>& undoList);

}  // namespace brindorel

// What the uninstaller removes and in which order, as decisions over a small
// interface to the system (files, links, the registry), so that every guard
// can be tested without Windows. The order is the reverse of the
// installation, the uninstall entry near the end so that a failed run can be
// repeated:
//   1. the [UserTask] records, last first (registry values, files, links)
//   2. the desktop shortcut
//   3. the start-menu links and folder (only below a programs folder)
//   4. the files of [Files]
//   5. with DelAll: every other file under ProgDir
//   6. "uninstall.dat", then the empty folders inside ProgDir, deepest first
//   7. the uninstall entry and the ProductKey
// FinishRemoval then takes "Uninstall.exe" and ProgDir itself, once the
// program that was started from there has ended.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "uninstaller/uninstall_data.h"
#include "services/registry.h"

namespace brindorel {

enum class PathKind {
  Missing,
  File,          // a plain file (a symbolic link to a file counts: deleting it removes the link)
  Folder,        // a real folder
  LinkedFolder,  // a junction or symbolic link to a folder: never entered
};

struct FolderItem {
  std::string name;
  PathKind kind = PathKind::Missing;
};

struct ShortcutTarget {
  bool read = false;  // false: not a readable shell link
  std::string path;
  std::string arguments;
};

// The system as the removal sees it. Paths are full paths with "\".
class RemovalSystem {
 public:
  virtual ~RemovalSystem() = default;
  // Registry. Roots are the predefined key numbers.
  // True when the value is gone (deleted now, or was not there).
  virtual bool DeleteRegistryValue(std::uint32_t root, const std::string& key, const std::string& name) = 0;
  // True when the key exists and has neither values nor subkeys.
  virtual bool RegistryKeyIsEmpty(std::uint32_t root, const std::string& key) = 0;
  // Deletes the key itself (never a tree); true when it is gone.
  virtual bool DeleteRegistryKey(std::uint32_t root, const std::string& key) = 0;
  virtual bool RegistryKeyExists(std::uint32_t root, const std::string& key) = 0;
  virtual std::string ReadRegistryValue(std::uint32_t root, const std::string& key, const std::string& name) = 0;
  // Files and folders.
  virtual PathKind QueryPath(const std::string& path) = 0;
  virtual ShortcutTarget ReadShortcut(const std::string& linkFile) = 0;
  // True when the file is gone afterwards.
  virtual bool DeleteOneFile(const std::string& path) = 0;
  virtual void ClearReadOnly(const std::string& path) = 0;
  // Files and empty folders: deletion when Windows restarts; true when scheduled.
  virtual bool ScheduleDeletion(const std::string& path) = 0;
  // Removes a folder when it is empty, or a linked folder (the link only).
  virtual bool RemoveFolderOnly(const std::string& path) = 0;
  virtual std::vector<FolderItem> ListFolder(const std::string& folder) = 0;
  // Called between steps, so that a window can repaint.
  virtual void Progress() {}
};

struct RemovalContext {
  std::string systemFolder;                 // holds rundll32.exe, the web-link handler
  std::vector<std::string> programsFolders;  // the user's and the common start-menu programs folders
};

struct RemovalOutcome {
  std::vector<std::string> left;       // not removed: scheduled at restart, or refused by the system
  std::vector<std::string> scheduled;  // of those, the ones deleted at the next restart
  std::size_t removedFiles = 0;
  std::size_t removedValues = 0;
  bool Complete() const { return left.empty(); }
};

// Exit codes of Uninstall.exe.
enum UninstallExitCode : std::uint32_t {
  kUninstallDone = 0,
  kUninstallStopped = 1,     // cancelled, or the program runs
  kUninstallIncomplete = 2,  // something was refused or could not be removed
};

// Steps 1 to 7. `delAll` only counts when the record offers it.
void RemoveInstallation(RemovalSystem& system, const UninstallData& data, const RemovalContext& context,
                        bool delAll, RemovalOutcome& outcome);
// "Uninstall.exe", then ProgDir when it is empty (never a drive root).
void FinishRemoval(RemovalSystem& system, const UninstallData& data, RemovalOutcome& outcome);

// --- The single decisions, for the tests ---


struct RegistryRecord {
  std::uint32_t root = 0;
  std::string key;   // without leading or trailing "\"
  std::string name;  // the value name; empty: the default value
};

// The levels of a registry key path, empty ones (doubled "\\") left out.
std::vector<std::string> RegistryKeyLevels(const std::string& key);
// Whether a task record is a registry record ("root|key|value", any record
// holding "|": no file name can).
bool IsRegistryRecord(const std::string& record);
// A registry record that may be acted on: a predefined root written as an
// unsigned decimal, a key that is not empty, exactly three fields.
bool ParseRegistryRecord(const std::string& record, RegistryRecord& parsed);
// Whether a key may be deleted once it is empty: at least three levels deep
// and not one of the well-known keys that other programs share.
bool MayDeleteEmptyKey(const std::string& key);
// A [Files] name: relative, no drive, no ":" , no leading "\" or "/", no
// "." or ".." level, no empty level.
bool IsSafeRelativeFile(const std::string& name);
// Whether a shortcut is one of ours: its target lies inside ProgDir, or
// (with `webAllowed`) it is the system's web-link handler.
bool ShortcutBelongsTo(const ShortcutTarget& target, const std::string& progDir, const RemovalContext& context,
                       bool webAllowed);
// Whether an uninstall entry's UninstallString (quotes stripped) names
// ProgDir + "Uninstall.exe".
bool EntryNamesThisUninstaller(const std::string& uninstallString, const std::string& progDir);
// The uninstall entry's subkey name: GUID, else ProgLink; empty when neither
// is usable (empty, or only separators).
std::string UninstallEntryName(const UninstallData& data);

}  // namespace brindorel

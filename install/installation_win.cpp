#include "install/installation.h"

#include <windows.h>

#include <string>

#include "install/settings.h"
#include "package/package_reader.h"
#include "install/shell_links.h"
#include "install/uninstall_record.h"
#include "install/user_tasks.h"
#include "services/file_system.h"
#include "services/folder_rules.h"
#include "services/folders.h"
#include "services/ini_file.h"
#include "services/registry.h"
#include "services/wide_win.h"
#include "ui/control_surface.h"
#include "ui/interface_texts.h"

namespace brindorel {

namespace {


// The progress list, filled from the top; each line's position is known, so
// that a step can mark its own line once its result is in.
class Progress {
 public:
  Progress(ControlSurface& surface, const InterfaceTexts& texts, const EventPump& pump)
      : surface_(surface), texts_(texts), pump_(pump) {}

  int Add(const std::string& text) {
    surface_.AddListLine(ProgressList, lines_, text);
    return lines_++;
  }
  void Set(int position, const std::string& text) { surface_.SetListLine(ProgressList, position, text); }
  void Pump() {
    if (pump_) pump_();
  }
  // A step's message, shown before the step's work is done.
  int Step(TextId message) {
    const int position = Add(texts_.Get(message));
    Pump();
    return position;
  }
  void Mark(int position, TextId message, bool succeeded) {
    if (!succeeded) Set(position, StepLine(texts_.Get(message), texts_, false));
  }

 private:
  ControlSurface& surface_;
  const InterfaceTexts& texts_;
  const EventPump& pump_;
  int lines_ = 0;
};

// Every file entry of the package read last is in place: written, or kept
// as an existing no-copy file.
bool FilesComplete(const ExtractionStats& stats) {
  std::uint32_t files = 0;
  for (const PackageEntry& entry : PackageEntries())
    if (entry.type == kEntryFile) ++files;
  return stats.corruptEntries == 0 && stats.filesNotCreated == 0 &&
         stats.filesWritten + stats.keptExisting == files;
}

// The stale record or uninstaller of an earlier installation must never
// survive, whatever the no-copy list says.
const std::vector<std::string>& AlwaysReplaced() {
  static const std::vector<std::string> names = {"uninstall.dat", "Uninstall.exe"};
  return names;
}

// PathExists also reports a file of that name.
bool IsFolder(const std::string& path) { return QueryPathSize(path) == -2; }

// Creates the folder when missing; true when it is there afterwards.
bool EnsureFolder(const std::string& folder) {
  if (!IsFolder(folder)) MakeFolderPath(folder);
  return IsFolder(folder);
}

bool WriteProductKey(const ProductKeyPlan& key) {
  bool ok = WriteRegistryText(kCurrentUser, key.key, "InstallDir", key.installDir) == 2;
  ok = WriteRegistryText(kCurrentUser, key.key, "StartMenu", key.startMenu) == 2 && ok;
  ok = WriteRegistryText(kCurrentUser, key.key, "DesktopIcon", key.desktopIcon) == 2 && ok;
  return ok;
}

// Writes the record over the builder's file, then reads it back: a file that
// could not be written loses the writes without telling.
bool CompleteUninstallRecord(const std::string& path, const UninstallRecord& record, const InterfaceTexts& texts) {
  OpenIniFile(path);
  WriteUninstallRecord(CurrentIniDocument(), record, texts);
  CloseIniFile();
  const bool written = OpenIniFile(path) != 0 && HoldsUninstallRecord(CurrentIniDocument(), record);
  CloseIniFile();
  return written;
}

// The installed files' size: the file entries of the package read last.
std::uint64_t InstalledBytes() {
  std::uint64_t total = 0;
  for (const PackageEntry& entry : PackageEntries())
    if (entry.type == kEntryFile) total += entry.size;
  return total;
}

std::string Today() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return InstallDateText(now.wYear, now.wMonth, now.wDay);
}

// A line naming a task a per-user installation left out.
std::string SkippedTaskLine(const std::string& task) { return "Skipped (outside the user's reach): " + task; }

// Steps 8 to 13, once the program files are in place.
void RegisterAndLink(const Settings& s, const std::string& workFolder, const InstallationPlan& plan,
                     const InterfaceTexts& texts, const InstallChoices& choices, Progress& progress,
                     InstallationOutcome& outcome) {
  InstallationResults& results = outcome.results;
  const std::string& dir = plan.installFolder;
  const bool perUser = plan.scope == InstallScope::User;

  int entryWritten = kUninstallEntryNotWritten;
  if (plan.makeUninstallEntry) {
    UninstallEntryPlan entry = plan.uninstallEntry;
    entry.installDate = Today();
    entry.estimatedSizeKb = EstimatedSizeKb(InstalledBytes());
    entryWritten = WriteUninstallEntry(entry, perUser);
    results.uninstallEntry = entryWritten != kUninstallEntryNotWritten;
    const int line = progress.Step(TextId::InstallMsg5);
    progress.Mark(line, TextId::InstallMsg5, results.uninstallEntry);
  }

  UninstallRecord record;
  const int desktopLine = progress.Step(TextId::InstallMsg2);
  if (plan.makeDesktopLink) {
    results.desktopLink = SaveShortcut(plan.desktopLink);
    if (results.desktopLink) record.desktopIcon = plan.desktopLink.linkFile;
  } else if (choices.desktopIcon && plan.desktopFolder.empty()) {
    results.desktopLink = false;  // asked for, but the shell gave no desktop folder
  }
  progress.Mark(desktopLine, TextId::InstallMsg2, results.desktopLink);

  if (plan.startMenu) {
    const int line = progress.Step(TextId::InstallMsg3);
    bool ok = !plan.menuFolder.empty() && EnsureFolder(plan.menuFolder);
    if (ok) {
      record.startMenu = plan.menuFolder;
      for (const ShortcutPlan& link : plan.menuLinks) ok = SaveShortcut(link) && ok;
    }
    results.menuLinks = ok;
    progress.Mark(line, TextId::InstallMsg3, ok);
  }

  if (plan.writeProductKey) results.productKey = WriteProductKey(plan.productKey);

  if (s.userTaskNumber != 0) {
    const int line = progress.Step(TextId::InstallMsg6);
    UserTaskFolders folders;
    folders.installFolder = dir;
    folders.workFolder = workFolder;
    folders.desktopFolder = plan.desktopFolder;
    folders.menuFolder = record.startMenu;  // only when the start-menu folder is there
    folders.startupFolder = GetSpecialFolder(kStartupFolderId);
    folders.systemFolder = GetSpecialFolder(kSystemFolderId);
    folders.perUser = perUser;
    if (perUser) {
      const FolderLookup lookup = [](std::int32_t id) { return GetSpecialFolder(id); };
      folders.userFolders = LookUpUserFolders(lookup);
      folders.userFolders.push_back(NormaliseFolderPath(dir));
      folders.machineFolders = LookUpMachineFolders(lookup);
    }
    results.userTasks = PerformUserTasks(s.userTasks, folders, record.undoList, outcome.skippedTasks);
    progress.Mark(line, TextId::InstallMsg6, results.userTasks);
    for (const std::string& task : outcome.skippedTasks) progress.Add(SkippedTaskLine(task));
  }

  record.progDir = dir;
  record.progExe = s.progExe;
  record.guid = s.guid;
  record.progLink = plan.recordProgLink;
  record.scope = plan.scope;
  results.record = CompleteUninstallRecord(dir + "uninstall.dat", record, texts);
  // The protected copy, beside the entry where only the installing
  // account's rights reach.
  if (entryWritten != kUninstallEntryNotWritten) {
    const std::uint32_t root = entryWritten == kUninstallEntryMachine ? kLocalMachine : kCurrentUser;
    results.record = WriteEntrySubkey(root, UninstallEntryKeyName(plan.uninstallEntry), kProtectedRecordKey,
                                      ProtectedRecordValues(record)) &&
                     results.record;
  }
}

}  // namespace

bool SaveShortcut(const ShortcutPlan& link) {
  return CreateShortcut(link.target, link.linkFile, link.workingFolder, link.arguments, 1, "", 0, link.iconFile,
                        link.iconIndex) == 1;
}

InstallationOutcome RunInstallation(const InstallationRequest& request, const InterfaceTexts& texts,
                                    ControlSurface& surface, const EventPump& pump) {
  InstallationOutcome outcome;
  InstallationResults& results = outcome.results;
  Settings s = request.settings;
  OpenIniFile(request.workFolder + "setup.ini");
  ReadInstallationSettings(CurrentIniDocument(), s);
  CloseIniFile();

  const InstallationPlan plan =
      PlanInstallation(s, request.choices, texts, [](std::int32_t id) { return GetSpecialFolder(id); });
  outcome.installFolder = plan.installFolder;
  const std::string& dir = plan.installFolder;

  Progress progress(surface, texts, pump);
  progress.Add(plan.titleLine);
  progress.Add(plan.authorLine);
  progress.Add("");
  progress.Pump();
  const int copyLine = progress.Add(CopyingLine(texts));
  progress.Pump();

  // setup.pck is checked whole (every block decoded, every checksum
  // compared) before anything reaches the installation folder; a damaged
  // package installs nothing, and the folders made for it go again.
  const std::string package = request.workFolder + "setup.pck";
  const std::vector<std::string> madeLevels = dir.empty() ? std::vector<std::string>() : MissingFolderLevels(dir);
  const bool folderReady = !dir.empty() && EnsureFolder(dir);
  if (folderReady) {
    results.packageRead = ReadPackage(package) == 1;
    results.packageDamaged = !results.packageRead && PathExists(package) != 0;
  }
  bool placed = false;
  if (results.packageRead) {
    // The copy line moves while the files are staged (a large one takes a
    // while), and the window takes its events between the pieces.
    int shown = -1;
    ExtractPackage(dir, s.noCopyExt, AlwaysReplaced(), [&](std::uint64_t done, std::uint64_t total) {
      const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
      if (percent != shown) {
        shown = percent;
        progress.Set(copyLine, CopyingLine(texts) + " " + std::to_string(percent) + "%");
      }
      progress.Pump();
    });
    const ExtractionStats& stats = LastExtractionStats();
    results.packageDamaged = stats.packageDamaged;
    placed = stats.placed;
    results.filesComplete = placed && FilesComplete(stats);
    results.programPresent = placed && PathExists(dir + s.progExe) != 0;
  }
  if (!placed) RemoveEmptyFolderLevels(madeLevels);
  progress.Set(copyLine, CopiedLine(texts, placed && results.filesComplete));
  if (results.packageDamaged) progress.Add(texts.Get(TextId::InstallDamaged));
  progress.Add("");
  progress.Pump();

  // Without the program's files nothing may name them: an uninstall entry
  // pointing at a missing Uninstall.exe could never be removed.
  if (placed) RegisterAndLink(s, request.workFolder, plan, texts, request.choices, progress, outcome);
  outcome.packageDamaged = results.packageDamaged;
  outcome.complete = InstallationComplete(results);
  if (!ProgramReady(results)) {
    surface.SetState(RunProgramBox, 0);
    surface.Disable(RunProgramBox);
  }
  progress.Pump();
  return outcome;
}

}  // namespace brindorel

// The settings of "setup.ini": the record that holds the values and the three
// reading passes (start-up, wizard set-up, installation). Every key is read
// through the key table (install/setup_keys.h), which gives its group, kind and
// default, so the passes work on any document, also an empty one (every value
// its default).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "install/install_scope.h"
#include "install/setup_keys.h"

namespace brindorel {

class ControlSurface;
class IniDocument;

struct Settings {
  // [Settings]
  std::string language;       // pass 1
  std::string progExe;        // pass 1
  PackageScope scope = PackageScope::Machine;  // pass 1, key InstallScope
  std::string defaultDir;     // pass 2
  std::string noCopyExt;      // pass I
  std::int8_t iconId = 0;     // pass I
  // [Info]
  std::string titel = kDefaultProgramTitle;  // pass 1
  std::string version;        // pass 1
  std::string guid;           // pass 1
  std::string web;            // pass 2
  std::string date;           // pass I
  std::string author;         // pass I
  std::string email;          // pass I
  // [StartMenue]
  std::string defaultMenuFolder;  // pass 2, key DefaultDir
  std::string progLink;       // pass I
  std::string help;           // pass I, only when startMenu is set
  std::string url;            // pass I, only when startMenu is set
  std::string exe;            // pass I, only when startMenu is set
  std::uint8_t unistall = 0;  // pass I, only when startMenu is set
  // [Task]
  std::string mutexString;    // pass 2
  std::uint8_t reboot = 0;    // pass 2
  std::int32_t desktop = 0;   // pass 2
  std::int32_t startProg = 0; // pass 2
  std::uint8_t startMenu = 0; // pass 2
  // [UserTask]
  std::int32_t userTaskNumber = 0;     // pass I, as written
  std::vector<std::string> userTasks;  // pass I, the non-empty lines in task order
  // Derived in pass 2.
  std::string programSubfolder;
  std::string defaultInstallDir;
  std::string userInstallDir;  // the per-user default (empty: local application data unknown)
};

// The default installation folder of a scope.
const std::string& DefaultInstallDir(const Settings& settings, InstallScope scope);

// Resolves the folder placeholders of a path (the folder service's expansion).
using FolderExpander = std::function<std::string(const std::string&)>;

// Pass 1: [Settings] Language, ProgExe, InstallScope; [Info] Titel, Version, GUID.
void ReadFirstSettings(IniDocument& ini, Settings& settings);
// Pass 2: [Info] Web; [Settings] DefaultDir; [StartMenue] DefaultDir;
// [Task] MutexString, Reboot, Desktop, StartProg, StartMenu; then the derived
// ProgramSubfolder and DefaultInstallDir (through `expand`), and the per-user
// default below `localAppData` (UserDefaultInstallDir).
void ReadSecondSettings(IniDocument& ini, Settings& settings, const FolderExpander& expand,
                        const std::string& localAppData = "");
// Pass I: [Info] Date, Author, EMail; [Settings] NoCopyExt, IconID;
// [StartMenue] ProgLink, and Help, URL, Exe, Unistall only when StartMenu is
// set (pass 2 must have run); [UserTask] Number and its task lines.
void ReadInstallationSettings(IniDocument& ini, Settings& settings);

// Text after the second "%" when DefaultDir holds exactly two "%", else all of it.
std::string ProgramSubfolderOf(const std::string& defaultDir);

// The first two lines of the progress list, built from Titel, Version, Date,
// Author and EMail; the second is also ProgLink's default.
std::string ProgressTitleLine(const Settings& settings);
std::string ProgressAuthorLine(const Settings& settings);

// What pass 2 does to the wizard's controls.
struct SecondPassControls {
  bool webLinkShown = false;
  std::string webLinkText;
  bool runProgramChecked = false;
  bool runProgramEnabled = false;        // ProgExe ends in exactly "exe" and no reboot
  bool startMenuControlsEnabled = false; // label, field and Change button
};
SecondPassControls DecideSecondPassControls(const Settings& settings);
// Carries the decisions out: WebLink gets its text or is hidden, RunProgramBox
// is checked or not, and the controls that must be off are disabled (nothing
// is enabled here).
void ApplySecondPassControls(ControlSurface& surface, const SecondPassControls& controls);

}  // namespace brindorel

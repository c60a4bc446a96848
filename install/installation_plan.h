// What an installation run does, decided before anything is touched: the
// installation folder, the progress lines, the uninstall entry, the
// shortcuts, the product-key values and the uninstall record's keys, all
// computed from the settings (every pass read), the wizard's field values,
// the interface texts and a folder look-up. The Windows side
// (installation_win.cpp) carries a plan out and reports each step's result
// back through the progress-line helpers below.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "install/choices.h"
#include "services/folders.h"

namespace brindorel {

struct Settings;

// The product key, below HKEY_CURRENT_USER: kProductKeyBase + the GUID. It
// keeps the user's choices for the next installation of the same product.
extern const char* const kProductKeyBase;  // "SOFTWARE\Brindorel\"
struct InterfaceTexts;

// One shell link. Arguments, show command (1), description and hot key are
// the same for every link the plan makes, except the arguments of web links.
struct ShortcutPlan {
  std::string target;
  std::string linkFile;
  std::string workingFolder;
  std::string arguments;
  std::string iconFile;  // "|": the target itself
  std::int32_t iconIndex = 0;
};

struct UninstallEntryPlan {
  std::string guid;  // the subkey's name when not empty
  std::string displayName;
  std::string publisher;
  std::string webAddress;
  std::string contact;
  std::string iconPath;
  std::string uninstallCommand;
};

struct ProductKeyPlan {
  std::string key;          // below HKEY_CURRENT_USER
  std::string installDir;   // "InstallDir": the installation folder
  std::string startMenu;    // "StartMenu": the menu folder's name as chosen
  std::string desktopIcon;  // "DesktopIcon": "1" or "0"
};

struct InstallationPlan {
  std::string installFolder;  // ends in "\"; empty when no usable folder exists
  std::string titleLine;      // progress line 0
  std::string authorLine;     // progress line 1

  bool makeUninstallEntry = false;  // only with a ProgLink
  UninstallEntryPlan uninstallEntry;

  bool makeDesktopLink = false;
  ShortcutPlan desktopLink;

  bool startMenu = false;       // the start-menu flag: Msg3 and the menu links
  std::string menuFolderName;   // as chosen (or ProgExe's first part)
  std::string menuFolder;       // programs folder + name + "\"; empty without one
  std::vector<ShortcutPlan> menuLinks;

  bool writeProductKey = false;  // only with a GUID
  ProductKeyPlan productKey;

  // The folders the user tasks use (each ends in "\" or is empty).
  std::string desktopFolder;
  std::string programsFolder;

  std::string recordProgLink;  // ProgLink, or ProgExe before its first "."
};

// A web link through the system's URL handler: rundll32.exe with
// "url.dll,FileProtocolHandler " + address, the icon from url.dll (a link
// whose target is an address does not open it). Empty target when the
// system folder is unknown.
ShortcutPlan WebShortcut(const std::string& systemFolder, const std::string& address,
                         const std::string& linkFile);

// The text before the first "." (all of it when there is none).
std::string FirstNamePart(const std::string& name);

// Every character a file name cannot hold (\ / : * ? " < > |) becomes "_".
std::string SafeFileNamePart(const std::string& name);

// The whole plan. `settings` holds every pass, the installation pass too.
InstallationPlan PlanInstallation(const Settings& settings, const InstallChoices& choices,
                                  const InterfaceTexts& texts, const FolderLookup& folders);

// ---- Progress lines ----

// Positions of the fixed lines at the top of the list.
constexpr int kTitleLinePosition = 0;
constexpr int kAuthorLinePosition = 1;
constexpr int kCopyLinePosition = 3;

// Msg1 + " ....." while the files are copied.
std::string CopyingLine(const InterfaceTexts& texts);
// Msg1 + "   -->   *** " + Ready or Failed + " ***".
std::string CopiedLine(const InterfaceTexts& texts, bool succeeded);
// A step's line: the message alone when the step succeeded, with the
// failure mark behind it when it did not.
std::string StepLine(const std::string& message, const InterfaceTexts& texts, bool succeeded);

// What each step achieved; a step that had nothing to do counts as done.
struct InstallationResults {
  bool packageRead = false;      // setup.pck's table was read
  bool packageDamaged = false;   // setup.pck failed a check: nothing was installed
  bool filesComplete = false;    // every entry is in place
  bool programPresent = false;   // InstallFolder + ProgExe exists
  bool uninstallEntry = true;
  bool desktopLink = true;
  bool menuLinks = true;
  bool productKey = true;
  bool userTasks = true;
  bool record = true;
};

// True when every step succeeded.
bool InstallationComplete(const InstallationResults& results);
// RunProgramBox may stay as it is only when the program's files are there.
bool ProgramReady(const InstallationResults& results);

}  // namespace brindorel

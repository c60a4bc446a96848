// "uninstall.dat", the record the uninstaller works from, in one place for
// the three programs that meet in it:
//   - the builder writes its first version into setup.pck: [Settings]
//     ProgName, Version, MutexString, NoDelAll and [Files] F001... (the
//     program's files, relative to the installation folder);
//   - the installer completes it in the installation folder: [Settings]
//     ProgDir, ProgExe, GUID, ProgLink, StartMenu, DesktopIcon; [Language]
//     the uninstaller's ten texts in the installation's language; [UserTask]
//     Number and Task1..TaskN, what the user tasks created. A key already
//     present is replaced in place, a new key goes after the last entry of its
//     group, a missing group is appended at the end;
//   - the uninstaller reads all of it back (ReadUninstallData), every value
//     as possibly hostile: the file lies in a folder users may write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/interface_texts.h"

namespace brindorel {

class IniDocument;

// The ten [Language] keys of the record and the interface texts they hold.
struct UninstallLanguageKey {
  const char* key;
  TextId text;
};
constexpr int kUninstallLanguageKeyCount = 10;
extern const UninstallLanguageKey kUninstallLanguageKeys[kUninstallLanguageKeyCount];

struct UninstallRecord {
  std::string progDir;      // the installation folder, ending in "\"
  std::string progExe;
  std::string guid;
  std::string progLink;     // empty: ProgExe before its first "." is written
  std::string startMenu;    // the full start-menu folder path; empty without one
  std::string desktopIcon;  // the desktop link's path; empty when none was made
  std::vector<std::string> undoList;  // one line per task that succeeded
};

// [Settings] ProgDir, ProgExe, GUID, ProgLink, StartMenu, DesktopIcon;
// [Language] the ten uninstaller texts; [UserTask] Number and Task1..TaskN.
// The document is then written as UTF-8 with the mark whenever it holds a
// character beyond ASCII.
void WriteUninstallRecord(IniDocument& document, const UninstallRecord& record, const InterfaceTexts& texts);

// True when the document holds the record's [Settings] ProgDir and
// [UserTask] Number, as a file read back after writing must.
bool HoldsUninstallRecord(IniDocument& document, const UninstallRecord& record);

// The builder's first version for a program whose files (relative,
// "\"-separated) are `files`.
std::string FirstUninstallRecord(const std::string& progName, const std::string& version,
                                 const std::string& mutexString, bool noDelAll,
                                 const std::vector<std::string>& files);

// The whole record as the uninstaller reads it.
struct UninstallData {
  std::string progName;
  std::string version;
  std::string mutexString;
  bool noDelAll = true;  // a record without the key never offers DelAll
  std::string progDir;   // as written, normally ending in "\"
  std::string progExe;
  std::string guid;
  std::string progLink;
  std::string startMenu;
  std::string desktopIcon;
  std::vector<std::string> files;  // [Files] values in file order, empty ones left out
  // [UserTask] records from Task<Number> down to Task1; keys missing or
  // beyond Number left out.
  std::vector<std::string> tasks;
  InterfaceTexts texts;  // the Uninstaller texts: [Language] over the English defaults
};

UninstallData ReadUninstallData(IniDocument& record);

// The text of one uninstaller text id (TextId::UninstallerTitel ...).
const std::string& UninstallText(const UninstallData& data, TextId id);

}  // namespace brindorel

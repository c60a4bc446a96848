// The installer's part of "uninstall.dat": where the program went, its
// shortcuts, the uninstaller's texts in the installation's language and what
// the user tasks created. Written over the builder's first version of the
// file: a key already present is replaced in place, a new key goes after the
// last entry of its group, a missing group is appended at the end.
#pragma once

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

}  // namespace brindorel

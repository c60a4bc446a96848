// The interface texts: every word the wizard shows, addressed as group/key
// (Page02/Titel), with built-in English defaults of which a few are composed
// from the program's title and version. Filled once from a language file (an
// IniDocument); a missing key keeps its default, a key present with an empty
// value is the empty text. Also the language-list rules: which language file
// a "file#number|file#number|" list names, and the chooser's lines.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace brindorel {

class IniDocument;

// The texts in table order (group by group, keys in reading order).
enum class TextId : int {
  InstallMsg1, InstallMsg2, InstallMsg3, InstallMsg5, InstallMsg6, InstallReady, InstallHelp,
  InstallFailed, InstallDamaged,
  Page01Titel, Page01Msg1, Page01Msg2, Page01Msg3, Page01CopyRight,
  Page02Titel, Page02Msg, Page02AcceptYes, Page02AcceptNo,
  Page03Titel, Page03Msg, Page03ProgDir, Page03MenuDir, Page03DesktopIcon, Page03BadFolder,
  Page03AllUsers, Page03OnlyMe,
  Page04Titel, Page04Msg,
  Page05Titel1, Page05Titel2, Page05Msg, Page05Install, Page05RunProg, Page05Ready,
  RequesterRQ1Titel, RequesterRQ1Msg, RequesterRQ2Titel, RequesterRQ3Titel, RequesterRQ4Titel,
  RequesterRQ4Msg, RequesterRQ4Msg2,
  ButtonsNext, ButtonsBack, ButtonsApply, ButtonsCancel, ButtonsChange, ButtonsInstall, ButtonsFinish,
  UninstallerTitel, UninstallerMsg, UninstallerUninstInfo, UninstallerDelAll, UninstallerError,
  UninstallerError2, UninstallerStatus, UninstallerOK, UninstallerCancel, UninstallerReady,
  Count
};

constexpr int kInterfaceTextCount = static_cast<int>(TextId::Count);

struct InterfaceTextEntry {
  const char* group;
  const char* key;
  // Built-in default; "{Titel}" and "{Version}" stand for the program's values.
  const char* defaultTemplate;
};

// The table, indexed by TextId.
const InterfaceTextEntry& InterfaceTextAt(TextId id);

// A default with the program's title and version put in.
std::string ComposeDefaultText(TextId id, const std::string& titel, const std::string& version);

struct InterfaceTexts {
  std::vector<std::string> values;  // kInterfaceTextCount texts, by TextId

  const std::string& Get(TextId id) const;
  // By group and key as spelt in language files (A-Z case ignored); the
  // empty text for a name that is not in the table.
  const std::string& Get(const std::string& group, const std::string& key) const;
};

// Every text at its default.
InterfaceTexts DefaultInterfaceTexts(const std::string& titel, const std::string& version);
// Reads group by group (Install, Page01 ... Uninstaller), each key with its
// composed default.
InterfaceTexts LoadInterfaceTexts(IniDocument& languageFile, const std::string& titel,
                                  const std::string& version);

// The program-running warning: RQ4_Msg with every "$Titel" replaced by the
// title, a line feed, then RQ4_Msg2. Its title is RQ4_Titel.
std::string RunningWarningText(const InterfaceTexts& texts, const std::string& titel);

// --- Language list: "file#number|file#number|", one entry per "|". ---

// The number of "|" in the list.
std::int32_t LanguageEntryCount(const std::string& list);
// The file name used when the list has fewer than two entries: the list cut at
// its first "#", then at its first "|".
std::string SingleLanguageFile(const std::string& list);
// The file name of the last entry whose number equals the low 9 bits of
// `languageId`; the empty text when none does.
std::string PickLanguageByLocale(const std::string& list, std::uint16_t languageId);
// File name of entry `entry` (from 1).
std::string LanguageEntryFile(const std::string& list, std::int32_t entry);
// The chooser's lines: one space and the upper-cased file name up to its first ".".
std::vector<std::string> LanguageChooserLines(const std::string& list);

// The whole choice: a single entry directly, else by language id, else the
// chooser (given the list, returns a file name or the empty text).
std::string ChooseLanguageFile(const std::string& list, std::uint16_t languageId,
                               const std::function<std::string(const std::string&)>& chooser);

}  // namespace brindorel

#include "core/setup_keys.h"

#include <cstdint>

#include "services/ini_document.h"
#include "services/text.h"

namespace brindorel {

const char* const kDefaultProgramTitle = "Brindorel Installer";

namespace {

using K = SetupKind;
using R = SetupReader;
constexpr std::int32_t kMax = INT32_MAX;

// A row for a new key (an install scope, say) goes into its group here and
// into SetupKeyId at the same place.
const SetupKey kTable[kSetupKeyCount] = {
    {"Settings", "Language", K::List, 0, 0, "", nullptr, false, R::Start,
     "language files as \"file#language number|\", every entry closed by \"|\"; none: the English texts"},
    {"Settings", "ProgExe", K::Path, 0, 0, "", nullptr, true, R::Start,
     "the program's main executable, relative to the installation folder: started at the end, target of the shortcuts, the running check"},
    {"Settings", "DefaultDir", K::Path, 0, 0, "", nullptr, false, R::Wizard,
     "the default installation folder, e.g. %ProgramFiles%Acme Tool (a placeholder's folder ends in \"\\\"); without two \"%\" below Program Files"},
    {"Settings", "NoCopyExt", K::List, 0, 0, "", nullptr, false, R::Installation,
     "extensions whose files never replace existing ones, each closed by \"|\": dat|ini|"},
    {"Settings", "IconID", K::SmallNumber, -128, 127, "0", nullptr, false, R::Installation,
     "icon index in ProgExe for the shortcuts"},
    {"Settings", "NoDelAll", K::Number, 0, 1, "0", nullptr, false, R::Builder,
     "1: the uninstaller does not offer to delete every file of the installation folder"},
    {"Info", "Titel", K::Text, 0, 0, kDefaultProgramTitle, nullptr, true, R::Start,
     "the program's title: window caption, page texts, uninstall entry"},
    {"Info", "Version", K::Text, 0, 0, "", nullptr, false, R::Start, "the program's version, shown beside the title"},
    {"Info", "GUID", K::Guid, 0, 0, "", nullptr, false, R::Start,
     "the program's identity: names the registry key of the user's choices and the uninstall entry"},
    {"Info", "Web", K::Text, 0, 0, "", nullptr, false, R::Wizard,
     "web address shown as a link on the wizard and in the uninstall entry; none: no link"},
    {"Info", "Date", K::Text, 0, 0, "", nullptr, false, R::Installation, "release date, on the progress list's first line"},
    {"Info", "Author", K::Text, 0, 0, "", nullptr, false, R::Installation,
     "publisher: the progress list's second line and the uninstall entry"},
    {"Info", "EMail", K::Text, 0, 0, "", nullptr, false, R::Installation,
     "contact address: the progress list's second line and the uninstall entry"},
    {"StartMenue", "DefaultDir", K::Path, 0, 0, "", nullptr, false, R::Wizard,
     "the default start-menu folder, relative to the start menu's programs folder"},
    {"StartMenue", "ProgLink", K::Text, 0, 0, "", "the progress list's second line", false, R::Installation,
     "name of the program's shortcuts and of the uninstall entry; empty: no uninstall entry"},
    {"StartMenue", "Help", K::Path, 0, 0, "", nullptr, false, R::Installation,
     "a file of the program that gets a help shortcut in the start-menu folder (only with StartMenu=1)"},
    {"StartMenue", "URL", K::Text, 0, 0, "", nullptr, false, R::Installation,
     "web address of a Homepage shortcut in the start-menu folder (only with StartMenu=1)"},
    {"StartMenue", "Exe", K::Path, 0, 0, "", nullptr, false, R::Installation,
     "a further program of the installation that gets a start-menu shortcut (only with StartMenu=1)"},
    {"StartMenue", "Unistall", K::Flag, 0, 1, "0", nullptr, false, R::Installation,
     "1: an Uninstall shortcut in the start-menu folder (only with StartMenu=1)"},
    {"Task", "MutexString", K::Text, 0, 0, "", nullptr, false, R::Wizard,
     "a mutex the running program holds; set, the running check looks for it instead of ProgExe's process"},
    {"Task", "Reboot", K::Flag, 0, 1, "0", nullptr, false, R::Wizard,
     "1: ask to restart Windows at the end instead of starting the program"},
    {"Task", "Desktop", K::Number, 0, 1, "0", nullptr, false, R::Wizard,
     "1: the desktop-icon box starts checked (unless an earlier installation chose)"},
    {"Task", "StartProg", K::Number, 0, 1, "0", nullptr, false, R::Wizard,
     "1: the box that starts the program at the end starts checked"},
    {"Task", "StartMenu", K::Flag, 0, 1, "0", nullptr, false, R::Wizard,
     "1: a start-menu folder with the program's shortcuts; 0: none, and [StartMenue] Help, URL, Exe, Unistall are not read"},
    {"UserTask", "Number", K::Number, 0, kMax, "0", nullptr, false, R::Installation,
     "how many task lines run: Task1 up to this number"},
    {"UserTask", "Task<n>", K::TaskLines, 0, 0, "", nullptr, false, R::Installation,
     "a task, \"|\"-separated: 0/1/4|link|target|icon (desktop, start menu, startup), 2/3|link|address, "
     "5|file|source|folder (copy), 6|root|key|name|text (registry)"},
};

// "Task" followed by a number without leading zero.
bool IsTaskLineKey(const std::string& key) {
  if (key.size() < 5 || key.size() > 14 || !EqualIgnoringAsciiCase(key.substr(0, 4), "Task") || key[4] == '0')
    return false;
  for (std::size_t i = 4; i < key.size(); ++i) {
    if (key[i] < '0' || key[i] > '9') return false;
  }
  return true;
}

}  // namespace

const SetupKey& SetupKeyAt(SetupKeyId id) {
  const int i = static_cast<int>(id);
  return kTable[(i >= 0 && i < kSetupKeyCount) ? i : 0];
}

const SetupKey* FindSetupKey(const std::string& group, const std::string& key) {
  for (const SetupKey& entry : kTable) {
    if (!EqualIgnoringAsciiCase(entry.group, group)) continue;
    if (entry.kind == SetupKind::TaskLines ? IsTaskLineKey(key) : EqualIgnoringAsciiCase(entry.key, key))
      return &entry;
  }
  return nullptr;
}

bool IsSetupGroup(const std::string& group) {
  for (const SetupKey& entry : kTable) {
    if (EqualIgnoringAsciiCase(entry.group, group)) return true;
  }
  return false;
}

std::int32_t StoredSetupNumber(SetupKind kind, std::int32_t value) {
  const auto low = static_cast<std::int32_t>(static_cast<std::uint32_t>(value) & 0xFFu);
  switch (kind) {
    case SetupKind::Flag: return low;
    case SetupKind::SmallNumber: return low < 0x80 ? low : low - 0x100;
    default: return value;
  }
}

std::string ReadSetupText(IniDocument& ini, SetupKeyId id) {
  return ReadSetupText(ini, id, SetupKeyAt(id).defaultValue);
}

std::string ReadSetupText(IniDocument& ini, SetupKeyId id, const std::string& fallback) {
  const SetupKey& key = SetupKeyAt(id);
  ini.SelectGroup(key.group);
  return ini.ReadString(key.key, fallback);
}

std::int32_t ReadSetupNumber(IniDocument& ini, SetupKeyId id) {
  const SetupKey& key = SetupKeyAt(id);
  ini.SelectGroup(key.group);
  return StoredSetupNumber(key.kind, ini.ReadNumber(key.key, TextToNumber(key.defaultValue)));
}

}  // namespace brindorel

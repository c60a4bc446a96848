#include "install/setup_keys.h"

#include <cstdint>

#include "services/ini_document.h"
#include "services/text.h"

namespace brindorel {

const char* const kDefaultProgramTitle = "Brindorel Installer";

namespace {

using K = SetupKind;
using R = SetupReader;
constexpr std::int32_t kMax = INT32_MAX;

// A row for a new key goes into its group here, into
// SetupKeyId at the same place, and its meaning into setup_key_meanings.cpp.
const SetupKey kTable[kSetupKeyCount] = {
    {"Settings", "Language", K::List, 0, 0, "", nullptr, false, R::Start},
    {"Settings", "ProgExe", K::Path, 0, 0, "", nullptr, true, R::Start},
    {"Settings", "InstallScope", K::Text, 0, 0, "machine", nullptr, false, R::Start},
    {"Settings", "DefaultDir", K::Path, 0, 0, "", nullptr, false, R::Wizard},
    {"Settings", "NoCopyExt", K::List, 0, 0, "", nullptr, false, R::Installation},
    {"Settings", "IconID", K::SmallNumber, -128, 127, "0", nullptr, false, R::Installation},
    {"Settings", "NoDelAll", K::Number, 0, 1, "0", nullptr, false, R::Builder},
    {"Info", "Titel", K::Text, 0, 0, kDefaultProgramTitle, nullptr, true, R::Start},
    {"Info", "Version", K::Text, 0, 0, "", nullptr, false, R::Start},
    {"Info", "GUID", K::Guid, 0, 0, "", nullptr, false, R::Start},
    {"Info", "Web", K::Text, 0, 0, "", nullptr, false, R::Wizard},
    {"Info", "Date", K::Text, 0, 0, "", nullptr, false, R::Installation},
    {"Info", "Author", K::Text, 0, 0, "", nullptr, false, R::Installation},
    {"Info", "EMail", K::Text, 0, 0, "", nullptr, false, R::Installation},
    {"StartMenue", "DefaultDir", K::Path, 0, 0, "", nullptr, false, R::Wizard},
    {"StartMenue", "ProgLink", K::Text, 0, 0, "", "the progress list's second line", false, R::Installation},
    {"StartMenue", "Help", K::Path, 0, 0, "", nullptr, false, R::Installation},
    {"StartMenue", "URL", K::Text, 0, 0, "", nullptr, false, R::Installation},
    {"StartMenue", "Exe", K::Path, 0, 0, "", nullptr, false, R::Installation},
    {"StartMenue", "Unistall", K::Flag, 0, 1, "0", nullptr, false, R::Installation},
    {"Task", "MutexString", K::Text, 0, 0, "", nullptr, false, R::Wizard},
    {"Task", "Reboot", K::Flag, 0, 1, "0", nullptr, false, R::Wizard},
    {"Task", "Desktop", K::Number, 0, 1, "0", nullptr, false, R::Wizard},
    {"Task", "StartProg", K::Number, 0, 1, "0", nullptr, false, R::Wizard},
    {"Task", "StartMenu", K::Flag, 0, 1, "0", nullptr, false, R::Wizard},
    {"UserTask", "Number", K::Number, 0, kMax, "0", nullptr, false, R::Installation},
    {"UserTask", "Task<n>", K::TaskLines, 0, 0, "", nullptr, false, R::Installation},
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
    if (entry.kind == SetupKind::TaskLines ? IsTaskLineKey(key) : EqualIgnoringAsciiCase(entry.key, key)) return &entry;
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

#include "install/uninstall_record.h"

#include <cstdint>
#include <map>

#include "services/ini_document.h"
#include "services/text.h"
#include "ui/interface_texts.h"

namespace brindorel {

const UninstallLanguageKey kUninstallLanguageKeys[kUninstallLanguageKeyCount] = {
    {"Titel", TextId::UninstallerTitel},   {"Msg", TextId::UninstallerMsg},
    {"UninstInfo", TextId::UninstallerUninstInfo}, {"DelAll", TextId::UninstallerDelAll},
    {"Error", TextId::UninstallerError},   {"Error2", TextId::UninstallerError2},
    {"Status", TextId::UninstallerStatus}, {"OK", TextId::UninstallerOK},
    {"Cancel", TextId::UninstallerCancel}, {"Ready", TextId::UninstallerReady},
};

namespace {

// "Task" + a decimal number without leading zero, as the installer writes
// the keys; 0 for any other name.
std::int64_t TaskNumberOf(const std::string& key) {
  if (key.size() < 5 || key.size() > 14 || !EqualIgnoringAsciiCase(key.substr(0, 4), "Task") || key[4] == '0')
    return 0;
  std::int64_t n = 0;
  for (std::size_t i = 4; i < key.size(); ++i) {
    if (key[i] < '0' || key[i] > '9') return 0;
    n = n * 10 + (key[i] - '0');
  }
  return n;
}

std::int32_t TaskCount(const UninstallRecord& record) {
  // The INI number is 32-bit; no run records anywhere near that many tasks.
  return static_cast<std::int32_t>(record.undoList.size());
}

}  // namespace

void WriteUninstallRecord(IniDocument& ini, const UninstallRecord& record, const InterfaceTexts& texts) {
  // The uninstaller may run under another code page than the installer: any
  // text beyond ASCII goes into a UTF-8 file with the mark.
  ini.PreferUtf8ForNonAscii();
  ini.SelectGroup("Settings");
  ini.WriteString("ProgDir", record.progDir);
  ini.WriteString("ProgExe", record.progExe);
  ini.WriteString("GUID", record.guid);
  const std::string progLink =
      record.progLink.empty() ? record.progExe.substr(0, record.progExe.find('.')) : record.progLink;
  ini.WriteString("ProgLink", progLink);
  ini.WriteString("StartMenu", record.startMenu);
  ini.WriteString("DesktopIcon", record.desktopIcon);

  ini.SelectGroup("Language");
  for (const UninstallLanguageKey& entry : kUninstallLanguageKeys) ini.WriteString(entry.key, texts.Get(entry.text));

  ini.SelectGroup("UserTask");
  ini.WriteNumber("Number", TaskCount(record));
  std::int32_t counter = 1;
  for (const std::string& line : record.undoList) ini.WriteString("Task" + NumberToText(counter++), line);
}

bool HoldsUninstallRecord(IniDocument& ini, const UninstallRecord& record) {
  if (ini.SelectGroup("Settings") == 0) return false;
  if (ini.ReadString("ProgDir", "\x01") != record.progDir) return false;
  if (ini.SelectGroup("UserTask") == 0) return false;
  return ini.ReadNumber("Number", -1) == TaskCount(record);
}

std::string FirstUninstallRecord(const std::string& progName, const std::string& version,
                                 const std::string& mutexString, bool noDelAll,
                                 const std::vector<std::string>& files) {
  std::string text = "[Settings]\r\n";
  text += "ProgName = " + progName + "\r\n";
  text += "Version = " + version + "\r\n";
  text += "MutexString = " + mutexString + "\r\n";
  text += std::string("NoDelAll = ") + (noDelAll ? "1" : "0") + "\r\n";
  text += "[Files]\r\n";
  for (std::size_t i = 0; i < files.size(); ++i) {
    // F001, F002, ...: at least three digits. No printf here: the
    // installer links this unit, and the C library's printf is large.
    std::string number = UnsignedToText(static_cast<std::uint32_t>(i + 1));
    if (number.size() < 3) number.insert(0, 3 - number.size(), '0');
    text += "F" + number + " = " + files[i] + "\r\n";
  }
  return text;
}

UninstallData ReadUninstallData(IniDocument& ini) {
  UninstallData data;
  ini.SelectGroup("Settings");
  data.progName = ini.ReadString("ProgName");
  data.version = ini.ReadString("Version");
  data.mutexString = ini.ReadString("MutexString");
  data.noDelAll = ini.ReadNumber("NoDelAll", 1) != 0;
  data.progDir = ini.ReadString("ProgDir");
  data.progExe = ini.ReadString("ProgExe");
  data.guid = ini.ReadString("GUID");
  data.progLink = ini.ReadString("ProgLink");
  data.startMenu = ini.ReadString("StartMenu");
  data.desktopIcon = ini.ReadString("DesktopIcon");

  if (ini.SelectGroup("Files") != 0) {
    for (const std::string& key : ini.KeyNames()) {
      std::string file = ini.ReadString(key);
      if (!file.empty()) data.files.push_back(file);
    }
  }

  // The keys present, not a loop up to Number: a hostile Number of two
  // thousand million must not mean as many look-ups.
  if (ini.SelectGroup("UserTask") != 0) {
    const std::int64_t number = ini.ReadNumber("Number", 0);
    std::map<std::int64_t, std::string> tasks;
    for (const std::string& key : ini.KeyNames()) {
      const std::int64_t n = TaskNumberOf(key);
      if (n >= 1 && n <= number && tasks.count(n) == 0) tasks[n] = ini.ReadString(key);
    }
    for (auto it = tasks.rbegin(); it != tasks.rend(); ++it) {
      if (!it->second.empty()) data.tasks.push_back(it->second);
    }
  }

  data.texts = DefaultInterfaceTexts(data.progName, data.version);
  if (ini.SelectGroup("Language") != 0) {
    for (const UninstallLanguageKey& entry : kUninstallLanguageKeys) {
      const std::string missing = "\x01";
      std::string text = ini.ReadString(entry.key, missing);
      if (text != missing) data.texts.values[static_cast<std::size_t>(entry.text)] = text;
    }
  }
  return data;
}

const std::string& UninstallText(const UninstallData& data, TextId id) { return data.texts.Get(id); }

}  // namespace brindorel

#include "install/uninstall_record.h"

#include <cstdint>

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

}  // namespace brindorel

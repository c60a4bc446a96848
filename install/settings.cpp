#include "install/settings.h"

#include "install/user_tasks.h"
#include "services/ini_document.h"
#include "services/text.h"
#include "ui/control_surface.h"

namespace brindorel {

const char* const kDefaultProgramTitle = "Brindorel Installer";

namespace {

using K = SettingKind;
using P = SettingPass;

std::uint8_t ReadFlag(const IniDocument& ini, const char* key) {
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(ini.ReadNumber(key, 0)) & 0xFFu);
}

std::int8_t ReadSignedByte(const IniDocument& ini, const char* key) {
  const auto low = static_cast<std::uint8_t>(static_cast<std::uint32_t>(ini.ReadNumber(key, 0)) & 0xFFu);
  return static_cast<std::int8_t>(low < 0x80 ? int(low) : int(low) - 0x100);
}

// A folder name for a package whose DefaultDir names none: the title, with
// the characters a folder name cannot hold replaced, else ProgExe's first part.
std::string ProgramFolderName(const Settings& s) {
  std::string name;
  for (char c : s.titel) {
    const auto u = static_cast<unsigned char>(c);
    const bool bad = u < 32 || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' ||
                     c == '>' || c == '|' || c == '%';
    name += bad ? '_' : c;
  }
  name = TrimSpaces(name);
  while (!name.empty() && name.back() == '.') name.pop_back();
  if (name.empty()) name = s.progExe.substr(0, s.progExe.find('.'));
  return name.empty() ? std::string("Program") : name;
}

}  // namespace

const std::vector<SettingKey>& SettingKeys() {
  static const std::vector<SettingKey> keys = {
      {"Settings", "Language", K::Text, "", P::First},
      {"Settings", "ProgExe", K::Text, "", P::First},
      {"Settings", "InstallScope", K::Text, "machine", P::First},
      {"Info", "Titel", K::Text, kDefaultProgramTitle, P::First},
      {"Info", "Version", K::Text, "", P::First},
      {"Info", "GUID", K::Text, "", P::First},
      {"Info", "Web", K::Text, "", P::Second},
      {"Settings", "DefaultDir", K::Text, "", P::Second},
      {"StartMenue", "DefaultDir", K::Text, "", P::Second},
      {"Task", "MutexString", K::Text, "", P::Second},
      {"Task", "Reboot", K::Flag, "0", P::Second},
      {"Task", "Desktop", K::Number, "0", P::Second},
      {"Task", "StartProg", K::Number, "0", P::Second},
      {"Task", "StartMenu", K::Flag, "0", P::Second},
      {"Info", "Date", K::Text, "", P::Installation},
      {"Info", "Author", K::Text, "", P::Installation},
      {"Info", "EMail", K::Text, "", P::Installation},
      {"Settings", "NoCopyExt", K::Text, "", P::Installation},
      {"Settings", "IconID", K::SignedByte, "0", P::Installation},
      {"StartMenue", "ProgLink", K::Text, "", P::Installation},
      {"StartMenue", "Help", K::Text, "", P::Installation},
      {"StartMenue", "URL", K::Text, "", P::Installation},
      {"StartMenue", "Exe", K::Text, "", P::Installation},
      {"StartMenue", "Unistall", K::Flag, "0", P::Installation},
      {"UserTask", "Number", K::Number, "0", P::Installation},
  };
  return keys;
}

void ReadFirstSettings(IniDocument& ini, Settings& s) {
  ini.SelectGroup("Settings");
  s.language = ini.ReadString("Language", "");
  s.progExe = ini.ReadString("ProgExe", "");
  s.scope = ParsePackageScope(ini.ReadString("InstallScope", "machine"));
  ini.SelectGroup("Info");
  s.titel = ini.ReadString("Titel", kDefaultProgramTitle);
  s.version = ini.ReadString("Version", "");
  s.guid = ini.ReadString("GUID", "");
}

void ReadSecondSettings(IniDocument& ini, Settings& s, const FolderExpander& expand,
                        const std::string& localAppData) {
  ini.SelectGroup("Info");
  s.web = ini.ReadString("Web", "");
  ini.SelectGroup("Settings");
  s.defaultDir = ini.ReadString("DefaultDir", "");
  ini.SelectGroup("StartMenue");
  s.defaultMenuFolder = ini.ReadString("DefaultDir", "");
  ini.SelectGroup("Task");
  s.mutexString = ini.ReadString("MutexString", "");
  s.reboot = ReadFlag(ini, "Reboot");
  s.desktop = ini.ReadNumber("Desktop", 0);
  s.startProg = ini.ReadNumber("StartProg", 0);
  s.startMenu = ReadFlag(ini, "StartMenu");

  s.programSubfolder = ProgramSubfolderOf(s.defaultDir);
  s.defaultInstallDir = expand ? expand(s.defaultDir) : s.defaultDir;
  s.userInstallDir = UserDefaultInstallDir(s.defaultDir, localAppData, ProgramFolderName(s));
}

const std::string& DefaultInstallDir(const Settings& s, InstallScope scope) {
  return scope == InstallScope::User ? s.userInstallDir : s.defaultInstallDir;
}

void ReadInstallationSettings(IniDocument& ini, Settings& s) {
  ini.SelectGroup("Info");
  s.date = ini.ReadString("Date", "");
  s.author = ini.ReadString("Author", "");
  s.email = ini.ReadString("EMail", "");
  ini.SelectGroup("Settings");
  s.noCopyExt = ini.ReadString("NoCopyExt", "");
  s.iconId = ReadSignedByte(ini, "IconID");
  ini.SelectGroup("StartMenue");
  s.progLink = ini.ReadString("ProgLink", ProgressAuthorLine(s));
  if (s.startMenu != 0) {
    s.help = ini.ReadString("Help", "");
    s.url = ini.ReadString("URL", "");
    s.exe = ini.ReadString("Exe", "");
    s.unistall = ReadFlag(ini, "Unistall");
  } else {
    s.help.clear();
    s.url.clear();
    s.exe.clear();
    s.unistall = 0;
  }
  ini.SelectGroup("UserTask");
  s.userTaskNumber = ini.ReadNumber("Number", 0);
  // Only the task keys present are visited: a hostile count costs nothing.
  s.userTasks = ReadUserTaskLines(ini);
}

std::string ProgramSubfolderOf(const std::string& defaultDir) {
  if (CountOccurrences(defaultDir, "%") != 2) return defaultDir;
  const std::size_t first = defaultDir.find('%');
  const std::size_t second = defaultDir.find('%', first + 1);
  return defaultDir.substr(second + 1);
}

std::string ProgressTitleLine(const Settings& s) {
  std::string line = s.titel;
  if (!s.version.empty()) line += "  -  Version " + s.version;
  if (!s.date.empty()) line += "   (" + s.date + ")";
  return line;
}

std::string ProgressAuthorLine(const Settings& s) {
  // C2 A9 hex: the copyright sign in UTF-8.
  std::string line = s.author.empty() ? ProgressTitleLine(s) : "\xC2\xA9 " + s.author;
  if (!s.email.empty()) line += "   ( " + s.email + " )";
  return line;
}

SecondPassControls DecideSecondPassControls(const Settings& s) {
  SecondPassControls c;
  c.webLinkShown = !s.web.empty();
  c.webLinkText = s.web;
  c.runProgramChecked = s.startProg != 0;
  c.runProgramEnabled = PathExtension(s.progExe) == "exe" && s.reboot == 0;
  c.startMenuControlsEnabled = s.startMenu != 0;
  return c;
}

void ApplySecondPassControls(ControlSurface& surface, const SecondPassControls& c) {
  if (c.webLinkShown)
    surface.SetText(WebLink, c.webLinkText);
  else
    surface.Hide(WebLink);
  surface.SetState(RunProgramBox, c.runProgramChecked ? 1 : 0);
  if (!c.runProgramEnabled) surface.Disable(RunProgramBox);
  if (!c.startMenuControlsEnabled) {
    surface.Disable(MenuFolderLabel);
    surface.Disable(MenuFolderField);
    surface.Disable(MenuFolderChange);
  }
}

}  // namespace brindorel

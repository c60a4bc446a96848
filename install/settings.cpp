#include "install/settings.h"

#include "install/user_tasks.h"
#include "services/ini_document.h"
#include "services/text.h"
#include "ui/control_surface.h"

namespace brindorel {

namespace {
using Id = SetupKeyId;

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

void ReadFirstSettings(IniDocument& ini, Settings& s) {
  s.language = ReadSetupText(ini, Id::Language);
  s.progExe = ReadSetupText(ini, Id::ProgExe);
  s.scope = ParsePackageScope(ReadSetupText(ini, Id::InstallScope));
  s.titel = ReadSetupText(ini, Id::Titel);
  s.version = ReadSetupText(ini, Id::Version);
  s.guid = ReadSetupText(ini, Id::Guid);
}

void ReadSecondSettings(IniDocument& ini, Settings& s, const FolderExpander& expand,
                        const std::string& localAppData) {
  s.web = ReadSetupText(ini, Id::Web);
  s.defaultDir = ReadSetupText(ini, Id::DefaultDir);
  s.defaultMenuFolder = ReadSetupText(ini, Id::MenuDefaultDir);
  s.mutexString = ReadSetupText(ini, Id::MutexString);
  s.reboot = static_cast<std::uint8_t>(ReadSetupNumber(ini, Id::Reboot));
  s.desktop = ReadSetupNumber(ini, Id::Desktop);
  s.startProg = ReadSetupNumber(ini, Id::StartProg);
  s.startMenu = static_cast<std::uint8_t>(ReadSetupNumber(ini, Id::StartMenu));

  s.programSubfolder = ProgramSubfolderOf(s.defaultDir);
  s.defaultInstallDir = expand ? expand(s.defaultDir) : s.defaultDir;
  s.userInstallDir = UserDefaultInstallDir(s.defaultDir, localAppData, ProgramFolderName(s));
}

const std::string& DefaultInstallDir(const Settings& s, InstallScope scope) {
  return scope == InstallScope::User ? s.userInstallDir : s.defaultInstallDir;
}

void ReadInstallationSettings(IniDocument& ini, Settings& s) {
  s.date = ReadSetupText(ini, Id::Date);
  s.author = ReadSetupText(ini, Id::Author);
  s.email = ReadSetupText(ini, Id::EMail);
  s.noCopyExt = ReadSetupText(ini, Id::NoCopyExt);
  s.iconId = static_cast<std::int8_t>(ReadSetupNumber(ini, Id::IconID));
  s.progLink = ReadSetupText(ini, Id::ProgLink, ProgressAuthorLine(s));
  if (s.startMenu != 0) {
    s.help = ReadSetupText(ini, Id::Help);
    s.url = ReadSetupText(ini, Id::Url);
    s.exe = ReadSetupText(ini, Id::Exe);
    s.unistall = static_cast<std::uint8_t>(ReadSetupNumber(ini, Id::Unistall));
  } else {
    s.help.clear();
    s.url.clear();
    s.exe.clear();
    s.unistall = 0;
  }
  s.userTaskNumber = ReadSetupNumber(ini, Id::TaskNumber);
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

#include "ui/interface_texts.h"

#include "services/ini_document.h"
#include "services/text.h"

namespace brindorel {

namespace {

const InterfaceTextEntry kTable[kInterfaceTextCount] = {
    {"Install", "Msg1", "Copy Program Files"},
    {"Install", "Msg2", "Create Desktop Icon"},
    {"Install", "Msg3", "Create Startmenu Shortcuts"},
    {"Install", "Msg5", "Create Uninstaller Entry"},
    {"Install", "Msg6", "Create additional Links"},
    {"Install", "Ready", "Completed"},
    {"Install", "Help", "Help"},
    {"Install", "Failed", "Failed"},
    {"Install", "Damaged", "The installer file is damaged and nothing was installed. Please download it again."},
    {"Page01", "Titel", "Welcome to the installation of '{Titel}'"},
    {"Page01", "Msg1", "Brindorel will now install '{Titel}' version {Version} on your computer."},
    {"Page01", "Msg2", "Click 'Next' to continue installation."},
    {"Page01", "Msg3", "Please close all other applications before continuing."},
    {"Page01", "CopyRight", "This program is protected by copyright."},
    {"Page02", "Titel", "Licence Agreement"},
    {"Page02", "Msg", "Please read the following information before continuing."},
    {"Page02", "AcceptYes", "I accept the agreement"},
    {"Page02", "AcceptNo", "I do not accept the agreement"},
    {"Page03", "Titel", "Setup Settings"},
    {"Page03", "Msg", "Installation Directory, StartMenu Folder and Desktop Icon"},
    {"Page03", "ProgDir", "Install program in this directory:"},
    {"Page03", "MenuDir", "StartMenu folder for Program Shortcuts:"},
    {"Page03", "DesktopIcon", "Create a desktop icon"},
    {"Page03", "BadFolder", "This folder cannot be used for the installation. Please choose another one:"},
    {"Page03", "AllUsers", "Install for all users of this computer"},
    {"Page03", "OnlyMe", "Install only for me"},
    {"Page04", "Titel", "Information"},
    {"Page04", "Msg", "A short description of the program"},
    {"Page05", "Titel1", "Installation of '{Titel}'"},
    {"Page05", "Titel2", "Installation finished"},
    {"Page05", "Msg", "Click 'Install' to start installation!"},
    {"Page05", "Install", "Install Program '{Titel}'"},
    {"Page05", "RunProg", "Start program after closing Brindorel."},
    {"Page05", "Ready", "Installation completed"},
    {"Requester", "RQ1_Titel", "Select Start Menu Folder"},
    {"Requester", "RQ1_Msg", "No valid start menu folder."},
    {"Requester", "RQ2_Titel", "Please select a directory"},
    {"Requester", "RQ3_Titel", "Select Directory"},
    {"Requester", "RQ4_Titel", "Brindorel - Warning"},
    {"Requester", "RQ4_Msg", "Close Program '{Titel}' first!"},
    {"Requester", "RQ4_Msg2", "Then press OK!"},
    {"Buttons", "Next", "Next"},
    {"Buttons", "Back", "Back"},
    {"Buttons", "Apply", "Apply"},
    {"Buttons", "Cancel", "Cancel"},
    {"Buttons", "Change", "Change"},
    {"Buttons", "Install", "Install"},
    {"Buttons", "Finish", "Finish"},
    {"Uninstaller", "Titel", "uninstall Program"},
    {"Uninstaller", "Msg", "Program files And registry entries will be removed."},
    {"Uninstaller", "UninstInfo", "Remove the following Program from your computer:"},
    {"Uninstaller", "DelAll", "Delete all(!) files in the directory (including user files)."},
    {"Uninstaller", "Error", "Uninstalling Program Not possible."},
    {"Uninstaller", "Error2", "Could Not Find 'uninstall.dat':"},
    {"Uninstaller", "Status", "Uninstalling completed."},
    {"Uninstaller", "OK", "OK"},
    {"Uninstaller", "Cancel", "Cancel"},
    {"Uninstaller", "Ready", "Ready"},
};

const std::string kEmpty;

// The entries of a language list: the texts before each "|". Split in one
// pass, so a long hostile list costs linear time.
std::vector<std::string> LanguageEntries(const std::string& list) {
  std::vector<std::string> entries;
  std::size_t start = 0;
  for (std::size_t bar = list.find('|'); bar != std::string::npos; bar = list.find('|', start)) {
    entries.push_back(list.substr(start, bar - start));
    start = bar + 1;
  }
  return entries;
}

}  // namespace

const InterfaceTextEntry& InterfaceTextAt(TextId id) {
  const int i = static_cast<int>(id);
  return kTable[(i >= 0 && i < kInterfaceTextCount) ? i : 0];
}

std::string ComposeDefaultText(TextId id, const std::string& titel, const std::string& version) {
  // One pass from the left, so a title that itself holds "{Version}" stays as written.
  static const std::string kTitel = "{Titel}";
  static const std::string kVersion = "{Version}";
  const std::string pattern = InterfaceTextAt(id).defaultTemplate;
  std::string out;
  std::size_t at = 0;
  while (at < pattern.size()) {
    if (pattern.compare(at, kTitel.size(), kTitel) == 0) {
      out += titel;
      at += kTitel.size();
    } else if (pattern.compare(at, kVersion.size(), kVersion) == 0) {
      out += version;
      at += kVersion.size();
    } else {
      out += pattern[at++];
    }
  }
  return out;
}

const std::string& InterfaceTexts::Get(TextId id) const {
  const auto i = static_cast<std::size_t>(id);
  return i < values.size() ? values[i] : kEmpty;
}

const std::string& InterfaceTexts::Get(const std::string& group, const std::string& key) const {
  for (int i = 0; i < kInterfaceTextCount; ++i) {
    if (EqualIgnoringAsciiCase(kTable[i].group, group) && EqualIgnoringAsciiCase(kTable[i].key, key))
      return Get(static_cast<TextId>(i));
  }
  return kEmpty;
}

InterfaceTexts DefaultInterfaceTexts(const std::string& titel, const std::string& version) {
  InterfaceTexts texts;
  texts.values.reserve(kInterfaceTextCount);
  for (int i = 0; i < kInterfaceTextCount; ++i)
    texts.values.push_back(ComposeDefaultText(static_cast<TextId>(i), titel, version));
  return texts;
}

InterfaceTexts LoadInterfaceTexts(IniDocument& languageFile, const std::string& titel,
                                  const std::string& version) {
  InterfaceTexts texts;
  texts.values.reserve(kInterfaceTextCount);
  const char* selected = nullptr;
  for (int i = 0; i < kInterfaceTextCount; ++i) {
    const InterfaceTextEntry& e = kTable[i];
    if (selected == nullptr || std::string(selected) != e.group) {
      languageFile.SelectGroup(e.group);
      selected = e.group;
    }
    texts.values.push_back(languageFile.ReadString(e.key, ComposeDefaultText(static_cast<TextId>(i), titel, version)));
  }
  return texts;
}

std::string RunningWarningText(const InterfaceTexts& texts, const std::string& titel) {
  return ReplaceAll(texts.Get(TextId::RequesterRQ4Msg), "$Titel", titel) + "\n" +
         texts.Get(TextId::RequesterRQ4Msg2);
}

std::int32_t LanguageEntryCount(const std::string& list) { return CountOccurrences(list, "|"); }

std::string SingleLanguageFile(const std::string& list) {
  return TextField(TextField(list, 1, "#"), 1, "|");
}

std::string LanguageEntryFile(const std::string& list, std::int32_t entry) {
  return TextField(TextField(list, entry, "|"), 1, "#");
}

std::string PickLanguageByLocale(const std::string& list, std::uint16_t languageId) {
  const std::int32_t primary = languageId & 0x1FF;
  std::string chosen;
  for (const std::string& entry : LanguageEntries(list)) {
    if (TextToNumber(TextField(entry, 2, "#")) == primary) chosen = TextField(entry, 1, "#");
  }
  return chosen;
}

std::vector<std::string> LanguageChooserLines(const std::string& list) {
  std::vector<std::string> lines;
  for (const std::string& entry : LanguageEntries(list))
    lines.push_back(" " + UpperCase(TextField(TextField(entry, 1, "#"), 1, ".")));
  return lines;
}

std::string ChooseLanguageFile(const std::string& list, std::uint16_t languageId,
                               const std::function<std::string(const std::string&)>& chooser) {
  if (LanguageEntryCount(list) < 2) return SingleLanguageFile(list);
  std::string name = PickLanguageByLocale(list, languageId);
  if (name.empty() && chooser) name = chooser(list);
  return name;
}

}  // namespace brindorel

// The meanings of the setup.ini keys: a unit of their own, so that the
// installer, which never shows them, does not carry them (2.5 KB).
#include "install/setup_keys.h"

namespace brindorel {
namespace {

struct Meaning {
  SetupKeyId id;
  const char* text;
};

const Meaning kMeanings[] = {
    {SetupKeyId::Language,
     "language files as \"file#language number|\", every entry closed by \"|\"; none: the English texts"},
    {SetupKeyId::ProgExe,
     "the program's main executable, relative to the installation folder: started at the end, target of "
     "the shortcuts, the running check"},
    {SetupKeyId::InstallScope,
     "for whom the package installs: machine (administrator rights), user (the user's own folders and "
     "HKEY_CURRENT_USER, no rights) or choose (the settings page, /ALLUSERS and /CURRENTUSER)"},
    {SetupKeyId::DefaultDir,
     "the default installation folder, e.g. %ProgramFiles%Acme Tool (a placeholder's folder ends in "
     "\"\\\"); without two \"%\" below Program Files"},
    {SetupKeyId::NoCopyExt, "extensions whose files never replace existing ones, each closed by \"|\": dat|ini|"},
    {SetupKeyId::IconID, "icon index in ProgExe for the shortcuts"},
    {SetupKeyId::NoDelAll, "1: the uninstaller does not offer to delete every file of the installation folder"},
    {SetupKeyId::Titel, "the program's title: window caption, page texts, uninstall entry"},
    {SetupKeyId::Version, "the program's version, shown beside the title"},
    {SetupKeyId::Guid, "the program's identity: names the registry key of the user's choices and the uninstall entry"},
    {SetupKeyId::Web, "web address shown as a link on the wizard and in the uninstall entry; none: no link"},
    {SetupKeyId::Date, "release date, on the progress list's first line"},
    {SetupKeyId::Author, "publisher: the progress list's second line and the uninstall entry"},
    {SetupKeyId::EMail, "contact address: the progress list's second line and the uninstall entry"},
    {SetupKeyId::MenuDefaultDir, "the default start-menu folder, relative to the start menu's programs folder"},
    {SetupKeyId::ProgLink, "name of the program's shortcuts and of the uninstall entry; empty: no uninstall entry"},
    {SetupKeyId::Help,
     "a file of the program that gets a help shortcut in the start-menu folder (only with StartMenu=1)"},
    {SetupKeyId::Url, "web address of a Homepage shortcut in the start-menu folder (only with StartMenu=1)"},
    {SetupKeyId::Exe, "a further program of the installation that gets a start-menu shortcut (only with StartMenu=1)"},
    {SetupKeyId::Unistall, "1: an Uninstall shortcut in the start-menu folder (only with StartMenu=1)"},
    {SetupKeyId::MutexString,
     "a mutex the running program holds; set, the running check looks for it instead of ProgExe's process"},
    {SetupKeyId::Reboot, "1: ask to restart Windows at the end instead of starting the program"},
    {SetupKeyId::Desktop, "1: the desktop-icon box starts checked (unless an earlier installation chose)"},
    {SetupKeyId::StartProg, "1: the box that starts the program at the end starts checked"},
    {SetupKeyId::StartMenu,
     "1: a start-menu folder with the program's shortcuts; 0: none, and [StartMenue] Help, URL, Exe, "
     "Unistall are not read"},
    {SetupKeyId::TaskNumber, "how many task lines run: Task1 up to this number"},
    {SetupKeyId::TaskLines,
     "a task, \"|\"-separated: 0/1/4|link|target|icon (desktop, start menu, startup), 2/3|link|address, "
     "5|file|source|folder (copy), 6|root|key|name|text (registry)"},
};

}  // namespace

const char* SetupKeyMeaning(SetupKeyId id) {
  for (const Meaning& meaning : kMeanings) {
    if (meaning.id == id) return meaning.text;
  }
  return "";
}

}  // namespace brindorel

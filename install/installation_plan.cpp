#include "install/installation_plan.h"

#include "install/settings.h"
#include "services/text.h"
#include "ui/interface_texts.h"

namespace brindorel {

const char* const kProductKeyBase = "SOFTWARE\\Brindorel\\";

namespace {

bool IsBlankFolderText(const std::string& text) { return RemoveAll(text, "\\").empty(); }

std::string LinkIn(const std::string& folder, const std::string& name) { return folder + name + ".lnk"; }

ShortcutPlan ProgramLink(const std::string& target, const std::string& linkFile, const std::string& workingFolder,
                         std::int32_t iconIndex) {
  ShortcutPlan link;
  link.target = target;
  link.linkFile = linkFile;
  link.workingFolder = workingFolder;
  link.iconFile = "|";
  link.iconIndex = iconIndex;
  return link;
}

}  // namespace

ShortcutPlan WebShortcut(const std::string& systemFolder, const std::string& address,
                         const std::string& linkFile) {
  ShortcutPlan link;
  link.linkFile = linkFile;
  const std::string system = WithTrailingSeparator(systemFolder);
  if (system.empty()) return link;
  link.target = system + "rundll32.exe";
  link.arguments = "url.dll,FileProtocolHandler " + address;
  link.iconFile = system + "url.dll";
  link.iconIndex = 0;
  return link;
}

std::string FirstNamePart(const std::string& name) { return name.substr(0, name.find('.')); }

std::string SafeFileNamePart(const std::string& name) {
  std::string safe = name;
  for (char& c : safe) {
    switch (c) {
      case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
        c = '_';
        break;
      default:
        break;
    }
  }
  return safe;
}

InstallationPlan PlanInstallation(const Settings& s, const InstallChoices& choices, const InterfaceTexts& texts,
                                  const FolderLookup& folders) {
  InstallationPlan plan;
  // SettleChoices has judged the folder: an absolute one of the program's own.
  plan.installFolder = WithTrailingSeparator(choices.installFolder);
  plan.titleLine = ProgressTitleLine(s);
  plan.authorLine = ProgressAuthorLine(s);
  plan.desktopFolder = WithTrailingSeparator(folders(kDesktopFolderId));
  plan.programsFolder = WithTrailingSeparator(folders(kProgramsFolderId));
  const std::string& dir = plan.installFolder;
  const bool haveFolder = !dir.empty();

  // The name of the program's links. Without a ProgLink it is ProgExe's first
  // part; a ProgLink that fell back to the author line may hold characters
  // that a file name cannot.
  std::string linkName = s.progLink;
  if (linkName.empty())
    linkName = FirstNamePart(s.progExe);
  else if (linkName == ProgressAuthorLine(s))
    linkName = SafeFileNamePart(linkName);
  plan.recordProgLink = s.progLink.empty() ? FirstNamePart(s.progExe) : s.progLink;

  plan.makeUninstallEntry = !s.progLink.empty() && haveFolder;
  plan.uninstallEntry.guid = s.guid;
  plan.uninstallEntry.displayName = s.progLink;
  plan.uninstallEntry.publisher = s.author;
  plan.uninstallEntry.webAddress = s.web;
  plan.uninstallEntry.contact = s.email;
  plan.uninstallEntry.iconPath = dir + s.progExe;
  plan.uninstallEntry.uninstallCommand = dir + "Uninstall.exe";

  const std::string program = dir + s.progExe;
  plan.makeDesktopLink = choices.desktopIcon && haveFolder && !plan.desktopFolder.empty() && !linkName.empty();
  if (plan.makeDesktopLink)
    plan.desktopLink = ProgramLink(program, LinkIn(plan.desktopFolder, linkName), dir, s.iconId);

  plan.startMenu = s.startMenu != 0;
  if (plan.startMenu) {
    plan.menuFolderName = choices.menuFolder.empty() ? FirstNamePart(s.progExe) : choices.menuFolder;
    // Without a folder name the links would land in the programs folder
    // itself, which the uninstaller would then remove whole.
    if (haveFolder && !plan.programsFolder.empty() && !IsBlankFolderText(plan.menuFolderName))
      plan.menuFolder = plan.programsFolder + WithTrailingSeparator(plan.menuFolderName);
  }
  const std::string& menu = plan.menuFolder;
  if (!menu.empty()) {
    if (!linkName.empty()) plan.menuLinks.push_back(ProgramLink(program, LinkIn(menu, linkName), dir, s.iconId));
    if (!s.exe.empty()) {
      const std::string exeName = FirstNamePart(PathFileName(s.exe));
      if (!exeName.empty()) plan.menuLinks.push_back(ProgramLink(dir + s.exe, LinkIn(menu, exeName), dir, 0));
    }
    if (!s.help.empty()) {
      const std::string helpName = TrimSpaces(texts.Get(TextId::InstallHelp));
      if (!helpName.empty()) plan.menuLinks.push_back(ProgramLink(dir + s.help, LinkIn(menu, helpName), dir, 0));
    }
    const ShortcutPlan web = WebShortcut(folders(kSystemFolderId), s.url, menu + "Homepage.lnk");
    if (!s.url.empty() && !web.target.empty()) plan.menuLinks.push_back(web);
    if (s.unistall != 0)
      plan.menuLinks.push_back(ProgramLink(dir + "Uninstall.exe", menu + "Uninstall.lnk", dir, 0));
  }

  plan.writeProductKey = !s.guid.empty() && haveFolder;
  plan.productKey.key = std::string(kProductKeyBase) + s.guid;
  plan.productKey.installDir = dir;
  plan.productKey.startMenu = plan.startMenu ? plan.menuFolderName : std::string();
  plan.productKey.desktopIcon = choices.desktopIcon ? "1" : "0";
  return plan;
}

std::string CopyingLine(const InterfaceTexts& texts) { return texts.Get(TextId::InstallMsg1) + " ....."; }

std::string CopiedLine(const InterfaceTexts& texts, bool succeeded) {
  return texts.Get(TextId::InstallMsg1) + "   -->   *** " +
         texts.Get(succeeded ? TextId::InstallReady : TextId::InstallFailed) + " ***";
}

std::string StepLine(const std::string& message, const InterfaceTexts& texts, bool succeeded) {
  if (succeeded) return message;
  return message + "   -->   *** " + texts.Get(TextId::InstallFailed) + " ***";
}

bool InstallationComplete(const InstallationResults& r) {
  return r.packageRead && r.filesComplete && r.uninstallEntry && r.desktopLink && r.menuLinks && r.productKey &&
         r.userTasks && r.record;
}

bool ProgramReady(const InstallationResults& r) { return r.packageRead && r.filesComplete && r.programPresent; }

}  // namespace brindorel

#include "install/installation_plan.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "install/settings.h"
#include "ui/interface_texts.h"

namespace brindorel {
namespace {

const std::map<std::int32_t, std::string> kFolders = {
    {kDesktopFolderId, "C:\\Users\\u\\Desktop\\"},
    {kProgramsFolderId, "C:\\Users\\u\\Start Menu\\Programs\\"},
    {kSystemFolderId, "C:\\windows\\system32\\"},
    {kProgramFilesFolderId, "C:\\Program Files\\"},
};

FolderLookup Folders(std::map<std::int32_t, std::string> folders = kFolders) {
  return [folders](std::int32_t id) {
    auto it = folders.find(id);
    return it == folders.end() ? std::string() : it->second;
  };
}

Settings DemoSettings() {
  Settings s;
  s.titel = "Demo";
  s.version = "1";
  s.guid = "{G}";
  s.progExe = "demo.exe";
  s.progLink = "Demo Tool";
  s.author = "Acme";
  s.email = "x@y";
  s.web = "http://info";
  s.iconId = 2;
  s.defaultInstallDir = "C:\\Program Files\\Demo\\";
  return s;
}

InstallChoices Choices(const std::string& dir = "D:\\Apps\\Demo", const std::string& menu = "Tools\\Demo",
                       bool desktop = true) {
  InstallChoices c;
  c.installFolder = dir;
  c.menuFolder = menu;
  c.desktopIcon = desktop;
  return c;
}

InstallationPlan Plan(const Settings& s, const InstallChoices& c, FolderLookup folders = Folders()) {
  return PlanInstallation(s, c, DefaultInterfaceTexts(s.titel, s.version), folders);
}

std::vector<std::string> LinkFiles(const InstallationPlan& plan) {
  std::vector<std::string> files;
  for (const ShortcutPlan& link : plan.menuLinks) files.push_back(link.linkFile);
  return files;
}

// The one rule for the folders a user chose, on the settings page and for
// /D= alike: an empty install folder takes the default; only an absolute
// folder of the program's own passes, ending in "\\" in the plan.
struct ChoiceCase {
  const char* folder;
  const char* defaultDir;
  const char* menu;
  ChoiceProblem problem;
  const char* planned;  // the plan's install folder when accepted
};

class SettleChoicesTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(SettleChoicesTest, JudgesAndCompletes) {
  const ChoiceCase& c = GetParam();
  Settings s = DemoSettings();
  s.startMenu = 1;
  s.defaultInstallDir = c.defaultDir;
  InstallChoices choices = Choices(c.folder, c.menu);
  ProtectedFolders protectedFolders;
  protectedFolders.folders.push_back(NormaliseFolderPath("C:\\Program Files"));
  ASSERT_EQ(SettleChoices(choices, s, protectedFolders), c.problem) << c.folder;
  if (c.problem == ChoiceProblem::None) {
    EXPECT_EQ(Plan(s, choices).installFolder, c.planned) << c.folder;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SettleChoicesTest,
    ::testing::Values(ChoiceCase{"D:\\Apps\\Demo", "", "Tools", ChoiceProblem::None, "D:\\Apps\\Demo\\"},
                      ChoiceCase{"D:\\Apps\\Demo\\", "", "", ChoiceProblem::None, "D:\\Apps\\Demo\\"},
                      ChoiceCase{"\\\\server\\share\\Demo", "", "", ChoiceProblem::None, "\\\\server\\share\\Demo\\"},
                      ChoiceCase{"", "E:\\Default\\", "", ChoiceProblem::None, "E:\\Default\\"},
                      // A drive or share itself, a relative text, a server without share, a
                      // device path and a protected folder are refused.
                      ChoiceCase{"c:", "", "", ChoiceProblem::InstallFolder, ""},
                      ChoiceCase{"\\\\server\\share", "", "", ChoiceProblem::InstallFolder, ""},
                      ChoiceCase{"\\\\server\\", "", "", ChoiceProblem::InstallFolder, ""},
                      ChoiceCase{"\\\\.\\pipe\\x", "", "", ChoiceProblem::InstallFolder, ""},
                      ChoiceCase{"Demo", "E:\\Default\\", "", ChoiceProblem::InstallFolder, ""},
                      ChoiceCase{"\\Demo", "", "", ChoiceProblem::InstallFolder, ""},
                      ChoiceCase{"1:\\Demo", "", "", ChoiceProblem::InstallFolder, ""},
                      ChoiceCase{"", "", "", ChoiceProblem::InstallFolder, ""},
                      ChoiceCase{"", "Default", "", ChoiceProblem::InstallFolder, ""},
                      ChoiceCase{"C:\\Program Files", "", "", ChoiceProblem::InstallFolder, ""},
                      // The menu folder must stay inside the programs folder.
                      ChoiceCase{"D:\\Demo", "", "..\\Up", ChoiceProblem::MenuFolder, ""},
                      ChoiceCase{"D:\\Demo", "", "C:\\Menu", ChoiceProblem::MenuFolder, ""}));

TEST(SettleChoicesTest, TheMenuFolderCountsOnlyWithStartMenuEntries) {
  Settings s = DemoSettings();
  s.startMenu = 0;
  InstallChoices choices = Choices("D:\\Demo", "..\\Up");
  EXPECT_EQ(SettleChoices(choices, s, ProtectedFolders()), ChoiceProblem::None);
}

struct LineCase {
  const char* version;
  const char* date;
  const char* author;
  const char* email;
  const char* title;
  const char* second;
};

class ProgressLinesTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(ProgressLinesTest, BuildsTheTwoInformationLines) {
  const LineCase& c = GetParam();
  Settings s = DemoSettings();
  s.version = c.version;
  s.date = c.date;
  s.author = c.author;
  s.email = c.email;
  InstallationPlan plan = Plan(s, Choices());
  EXPECT_EQ(plan.titleLine, c.title);
  EXPECT_EQ(plan.authorLine, c.second);
}

INSTANTIATE_TEST_SUITE_P(
    Combinations, ProgressLinesTest,
    ::testing::Values(
        LineCase{"1", "16.10.2006", "", "", "Demo  -  Version 1   (16.10.2006)", "Demo  -  Version 1   (16.10.2006)"},
        LineCase{"", "", "", "", "Demo", "Demo"},
        LineCase{"", "16.10.2006", "", "", "Demo   (16.10.2006)", "Demo   (16.10.2006)"},
        LineCase{"2", "", "", "x", "Demo  -  Version 2", "Demo  -  Version 2   ( x )"},
        LineCase{"", "", "Acme", "", "Demo", "\xC2\xA9 Acme"},
        LineCase{"", "", "Acme", "a@b", "Demo", "\xC2\xA9 Acme   ( a@b )"}));

TEST(ProgressLinesTest, MarksShowTheOutcome) {
  InterfaceTexts texts = DefaultInterfaceTexts("Demo", "1");
  EXPECT_EQ(CopyingLine(texts), "Copy Program Files .....");
  EXPECT_EQ(CopiedLine(texts, true), "Copy Program Files   -->   *** Completed ***");
  EXPECT_EQ(CopiedLine(texts, false), "Copy Program Files   -->   *** Failed ***");
  EXPECT_EQ(StepLine("Create Desktop Icon", texts, true), "Create Desktop Icon");
  EXPECT_EQ(StepLine("Create Desktop Icon", texts, false), "Create Desktop Icon   -->   *** Failed ***");
}

TEST(ProgressLinesTest, AnyFailedStepMakesTheInstallationIncomplete) {
  InstallationResults ok;
  ok.packageRead = ok.filesComplete = ok.programPresent = true;
  EXPECT_TRUE(InstallationComplete(ok));
  EXPECT_TRUE(ProgramReady(ok));
  bool InstallationResults::*steps[] = {&InstallationResults::packageRead,    &InstallationResults::filesComplete,
                                        &InstallationResults::uninstallEntry, &InstallationResults::desktopLink,
                                        &InstallationResults::menuLinks,      &InstallationResults::productKey,
                                        &InstallationResults::userTasks,      &InstallationResults::record};
  for (auto step : steps) {
    InstallationResults r = ok;
    r.*step = false;
    EXPECT_FALSE(InstallationComplete(r));
  }
  InstallationResults noProgram = ok;
  noProgram.programPresent = false;
  EXPECT_TRUE(InstallationComplete(noProgram));  // a package without ProgExe is complete
  EXPECT_FALSE(ProgramReady(noProgram));
  InstallationResults broken = ok;
  broken.filesComplete = false;
  EXPECT_FALSE(ProgramReady(broken));
  InstallationResults tasksFailed = ok;
  tasksFailed.userTasks = false;
  EXPECT_TRUE(ProgramReady(tasksFailed));
}

TEST(InstallationPlanTest, FullPackageWithStartMenu) {
  Settings s = DemoSettings();
  s.startMenu = 1;
  s.exe = "bin\\tool.v2.exe";
  s.help = "doc\\help file.chm";
  s.url = "http://home";
  s.unistall = 1;
  InstallationPlan plan = Plan(s, Choices());
  EXPECT_EQ(plan.installFolder, "D:\\Apps\\Demo\\");

  ASSERT_TRUE(plan.makeUninstallEntry);
  EXPECT_EQ(plan.uninstallEntry.guid, "{G}");
  EXPECT_EQ(plan.uninstallEntry.displayName, "Demo Tool");
  EXPECT_EQ(plan.uninstallEntry.publisher, "Acme");
  EXPECT_EQ(plan.uninstallEntry.webAddress, "http://info");  // [Info] Web, not the menu's URL
  EXPECT_EQ(plan.uninstallEntry.contact, "x@y");
  EXPECT_EQ(plan.uninstallEntry.iconPath, "D:\\Apps\\Demo\\demo.exe");
  EXPECT_EQ(plan.uninstallEntry.uninstallCommand, "D:\\Apps\\Demo\\Uninstall.exe");

  ASSERT_TRUE(plan.makeDesktopLink);
  EXPECT_EQ(plan.desktopLink.linkFile, "C:\\Users\\u\\Desktop\\Demo Tool.lnk");
  EXPECT_EQ(plan.desktopLink.target, "D:\\Apps\\Demo\\demo.exe");
  EXPECT_EQ(plan.desktopLink.workingFolder, "D:\\Apps\\Demo\\");
  EXPECT_EQ(plan.desktopLink.iconFile, "|");
  EXPECT_EQ(plan.desktopLink.iconIndex, 2);
  EXPECT_EQ(plan.desktopLink.arguments, "");

  EXPECT_EQ(plan.menuFolderName, "Tools\\Demo");
  const std::string menu = "C:\\Users\\u\\Start Menu\\Programs\\Tools\\Demo\\";
  EXPECT_EQ(plan.menuFolder, menu);
  EXPECT_EQ(LinkFiles(plan), (std::vector<std::string>{menu + "Demo Tool.lnk", menu + "tool.lnk", menu + "Help.lnk",
                                                       menu + "Homepage.lnk", menu + "Uninstall.lnk"}));
  EXPECT_EQ(plan.menuLinks[0].iconIndex, 2);
  EXPECT_EQ(plan.menuLinks[1].target, "D:\\Apps\\Demo\\bin\\tool.v2.exe");
  EXPECT_EQ(plan.menuLinks[1].iconIndex, 0);
  EXPECT_EQ(plan.menuLinks[2].target, "D:\\Apps\\Demo\\doc\\help file.chm");
  const ShortcutPlan& web = plan.menuLinks[3];
  EXPECT_EQ(web.target, "C:\\windows\\system32\\rundll32.exe");
  EXPECT_EQ(web.arguments, "url.dll,FileProtocolHandler http://home");
  EXPECT_EQ(web.iconFile, "C:\\windows\\system32\\url.dll");
  EXPECT_EQ(web.workingFolder, "");
  EXPECT_EQ(plan.menuLinks[4].target, "D:\\Apps\\Demo\\Uninstall.exe");
  for (const ShortcutPlan& link : plan.menuLinks) {
    if (&link != &web) {
      EXPECT_EQ(link.workingFolder, "D:\\Apps\\Demo\\");
    }
  }

  // The same names mean other things in the product key and in the record.
  ASSERT_TRUE(plan.writeProductKey);
  EXPECT_EQ(plan.productKey.key, "SOFTWARE\\Brindorel\\{G}");
  EXPECT_EQ(plan.productKey.installDir, "D:\\Apps\\Demo\\");
  EXPECT_EQ(plan.productKey.startMenu, "Tools\\Demo");
  EXPECT_EQ(plan.productKey.desktopIcon, "1");
  EXPECT_EQ(plan.recordProgLink, "Demo Tool");
}

TEST(InstallationPlanTest, WithoutStartMenuNoMenuLinksAndAnEmptyStartMenuValue) {
  Settings s = DemoSettings();
  s.startMenu = 0;
  s.url = "";  // the settings pass does not read URL without the flag
  InstallationPlan plan = Plan(s, Choices("D:\\Demo", "Tools", false));
  EXPECT_FALSE(plan.startMenu);
  EXPECT_EQ(plan.menuFolder, "");
  EXPECT_TRUE(plan.menuLinks.empty());
  EXPECT_FALSE(plan.makeDesktopLink);
  EXPECT_EQ(plan.productKey.startMenu, "");
  EXPECT_EQ(plan.productKey.desktopIcon, "0");
}

TEST(InstallationPlanTest, MenuFolderNameFallsBackToTheProgramName) {
  Settings s = DemoSettings();
  s.startMenu = 1;
  s.progExe = "tool.main.exe";
  InstallationPlan plan = Plan(s, Choices("D:\\Demo", ""));
  EXPECT_EQ(plan.menuFolderName, "tool");
  EXPECT_EQ(plan.menuFolder, "C:\\Users\\u\\Start Menu\\Programs\\tool\\");
  EXPECT_EQ(plan.productKey.startMenu, "tool");

  // No name at all: no links straight into the programs folder.
  s.progExe = ".exe";
  plan = Plan(s, Choices("D:\\Demo", ""));
  EXPECT_EQ(plan.menuFolder, "");
  EXPECT_TRUE(plan.menuLinks.empty());
}

TEST(InstallationPlanTest, EmptyProgLinkNamesLinksByTheProgramAndMakesNoEntry) {
  Settings s = DemoSettings();
  s.startMenu = 1;
  s.progLink = "";
  s.progExe = "demo.main.exe";
  InstallationPlan plan = Plan(s, Choices());
  EXPECT_FALSE(plan.makeUninstallEntry);
  EXPECT_EQ(plan.desktopLink.linkFile, "C:\\Users\\u\\Desktop\\demo.lnk");
  ASSERT_FALSE(plan.menuLinks.empty());
  EXPECT_EQ(plan.menuLinks[0].linkFile, "C:\\Users\\u\\Start Menu\\Programs\\Tools\\Demo\\demo.lnk");
  EXPECT_EQ(plan.recordProgLink, "demo");

  // Nothing to name them by: both program links are skipped.
  s.progExe = "";
  plan = Plan(s, Choices());
  EXPECT_FALSE(plan.makeDesktopLink);
  EXPECT_TRUE(plan.menuLinks.empty());
}

TEST(InstallationPlanTest, ProgLinkFromTheAuthorLineIsMadeSafeForFileNamesOnly) {
  Settings s = DemoSettings();
  s.author = "A/B";
  s.email = "c@d";
  s.progLink = ProgressAuthorLine(s);  // what the settings pass gives without the key
  InstallationPlan plan = Plan(s, Choices());
  EXPECT_EQ(plan.desktopLink.linkFile, "C:\\Users\\u\\Desktop\\\xC2\xA9 A_B   ( c@d ).lnk");
  EXPECT_EQ(plan.uninstallEntry.displayName, "\xC2\xA9 A/B   ( c@d )");
  EXPECT_EQ(plan.recordProgLink, "\xC2\xA9 A/B   ( c@d )");
  EXPECT_EQ(SafeFileNamePart("a\\b/c:d*e?f\"g<h>i|j"), "a_b_c_d_e_f_g_h_i_j");
}

TEST(InstallationPlanTest, MissingSpecialFoldersSkipTheirLinks) {
  Settings s = DemoSettings();
  s.startMenu = 1;
  s.url = "http://home";
  std::map<std::int32_t, std::string> folders = kFolders;
  folders.erase(kDesktopFolderId);
  InstallationPlan plan = Plan(s, Choices(), Folders(folders));
  EXPECT_FALSE(plan.makeDesktopLink);
  EXPECT_EQ(plan.menuLinks.size(), 2u);

  folders.erase(kSystemFolderId);
  plan = Plan(s, Choices(), Folders(folders));
  EXPECT_EQ(LinkFiles(plan), std::vector<std::string>{plan.menuFolder + "Demo Tool.lnk"});

  folders.erase(kProgramsFolderId);
  plan = Plan(s, Choices(), Folders(folders));
  EXPECT_EQ(plan.menuFolder, "");
  EXPECT_TRUE(plan.menuLinks.empty());
  EXPECT_EQ(plan.productKey.startMenu, "Tools\\Demo");  // still the user's choice for the next run
}

TEST(InstallationPlanTest, SecondaryLinksNeedANameAndTrimTheHelpText) {
  Settings s = DemoSettings();
  s.startMenu = 1;
  s.exe = "bin\\";
  s.help = "help.chm";
  InterfaceTexts texts = DefaultInterfaceTexts("Demo", "1");
  texts.values[static_cast<int>(TextId::InstallHelp)] = "  Help me  ";
  InstallationPlan plan = PlanInstallation(s, Choices(), texts, Folders());
  EXPECT_EQ(LinkFiles(plan),
            (std::vector<std::string>{plan.menuFolder + "Demo Tool.lnk", plan.menuFolder + "Help me.lnk"}));
  texts.values[static_cast<int>(TextId::InstallHelp)] = "   ";
  plan = PlanInstallation(s, Choices(), texts, Folders());
  EXPECT_EQ(plan.menuLinks.size(), 1u);
}

TEST(InstallationPlanTest, NoGuidNoProductKeyAndTheEntryIsNamedByTheLink) {
  Settings s = DemoSettings();
  s.guid = "";
  InstallationPlan plan = Plan(s, Choices());
  EXPECT_FALSE(plan.writeProductKey);
  EXPECT_TRUE(plan.makeUninstallEntry);
  EXPECT_EQ(plan.uninstallEntry.guid, "");
}

TEST(InstallationPlanTest, WithoutAnInstallFolderNothingIsPlannedOutsideIt) {
  Settings s = DemoSettings();
  s.startMenu = 1;
  s.defaultInstallDir = "";
  InstallationPlan plan = Plan(s, Choices(""));
  EXPECT_EQ(plan.installFolder, "");
  EXPECT_FALSE(plan.makeUninstallEntry);
  EXPECT_FALSE(plan.makeDesktopLink);
  EXPECT_TRUE(plan.menuLinks.empty());
  EXPECT_FALSE(plan.writeProductKey);
}

}  // namespace
}  // namespace brindorel

#include "install/settings.h"

#include <gtest/gtest.h>

#include <string>

#include "recording_surface.h"
#include "services/ini_document.h"

namespace brindorel {
namespace {

// Stands in for the folder service: "%ProgramFiles%" is C:\Program Files\ and
// a text with fewer than two "%" is anchored there.
std::string FakeExpand(const std::string& path) {
  const std::string pf = "C:\\Program Files\\";
  int percents = 0;
  for (char c : path) percents += c == '%';
  if (percents < 2) return pf + path;
  std::string out = path;
  const std::string ph = "%ProgramFiles%";
  for (std::size_t at = out.find(ph); at != std::string::npos; at = out.find(ph, at + pf.size()))
    out.replace(at, ph.size(), pf);
  return out;
}

Settings ReadAll(const std::string& text) {
  IniDocument ini = IniDocument::Parse(text);
  Settings s;
  ReadFirstSettings(ini, s);
  ReadSecondSettings(ini, s, FakeExpand);
  ReadInstallationSettings(ini, s);
  return s;
}

TEST(Settings, NoSettingsFileGivesDefaults) {
  const Settings s = ReadAll("");
  EXPECT_EQ(s.titel, "Brindorel Installer");
  EXPECT_EQ(s.version, "");
  EXPECT_EQ(s.language, "");
  EXPECT_EQ(s.defaultInstallDir, "C:\\Program Files\\");
  EXPECT_EQ(s.programSubfolder, "");
  EXPECT_EQ(s.defaultMenuFolder, "");
  EXPECT_EQ(s.userTaskNumber, 0);
  EXPECT_TRUE(s.userTasks.empty());
  // ProgLink falls back to the progress list's second line: the title alone.
  EXPECT_EQ(s.progLink, "Brindorel Installer");

  const SecondPassControls c = DecideSecondPassControls(s);
  EXPECT_FALSE(c.webLinkShown);
  EXPECT_FALSE(c.runProgramEnabled);
  EXPECT_FALSE(c.runProgramChecked);
  EXPECT_FALSE(c.startMenuControlsEnabled);
}

TEST(Settings, ReadsEveryPassFromItsGroups) {
  const Settings s = ReadAll(
      "[Settings]\nLanguage = english.lng#9|\nProgExe=acme.exe\nDefaultDir=%ProgramFiles%Acme\n"
      "NoCopyExt=dat|ini|\nIconID=200\n"
      "[info]\ntitel=Acme Tool\nVersion=2.1\nGUID={42}\nWeb=http://acme.example\n"
      "Date=2026\nAuthor=Acme Ltd\nEMail=info@acme.example\n"
      "[StartMenue]\nDefaultDir=Acme\nHelp=acme.hlp\nURL=http://acme.example\nExe=tool.exe\nUnistall=1\n"
      "[Task]\nMutexString=AcmeMutex\nReboot=0\nDesktop=1\nStartProg=-3\nStartMenu=1\n"
      "[UserTask]\nNumber=3\nTask1=0|Tool|tool.exe|0\nTask3=2|Web|http://acme.example\n");
  EXPECT_EQ(s.language, "english.lng#9|");
  EXPECT_EQ(s.progExe, "acme.exe");
  EXPECT_EQ(s.titel, "Acme Tool");
  EXPECT_EQ(s.version, "2.1");
  EXPECT_EQ(s.guid, "{42}");
  EXPECT_EQ(s.web, "http://acme.example");
  EXPECT_EQ(s.defaultMenuFolder, "Acme");
  EXPECT_EQ(s.mutexString, "AcmeMutex");
  EXPECT_EQ(s.desktop, 1);
  EXPECT_EQ(s.startProg, -3);
  EXPECT_EQ(s.startMenu, 1);
  EXPECT_EQ(s.noCopyExt, "dat|ini|");
  EXPECT_EQ(s.iconId, -56);  // 200 kept as a signed byte
  EXPECT_EQ(s.help, "acme.hlp");
  EXPECT_EQ(s.url, "http://acme.example");
  EXPECT_EQ(s.exe, "tool.exe");
  EXPECT_EQ(s.unistall, 1);
  EXPECT_EQ(s.progLink, "\xC2\xA9 Acme Ltd   ( info@acme.example )");
  EXPECT_EQ(s.userTaskNumber, 3);
  ASSERT_EQ(s.userTasks.size(), 2u);  // Task2 is missing
  EXPECT_EQ(s.userTasks[1], "2|Web|http://acme.example");

  const SecondPassControls c = DecideSecondPassControls(s);
  EXPECT_TRUE(c.webLinkShown);
  EXPECT_EQ(c.webLinkText, "http://acme.example");
  EXPECT_TRUE(c.runProgramChecked);
  EXPECT_TRUE(c.runProgramEnabled);
  EXPECT_TRUE(c.startMenuControlsEnabled);
}

struct DefaultDirCase {
  const char* defaultDir;
  const char* subfolder;
  const char* installDir;
};

class DefaultDirTest : public ::testing::TestWithParam<DefaultDirCase> {};

TEST_P(DefaultDirTest, DerivesSubfolderAndInstallDir) {
  const DefaultDirCase& c = GetParam();
  const Settings s = ReadAll(std::string("[Settings]\nDefaultDir=") + c.defaultDir + "\n");
  EXPECT_EQ(s.programSubfolder, c.subfolder);
  EXPECT_EQ(s.defaultInstallDir, c.installDir);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, DefaultDirTest,
    ::testing::Values(
        DefaultDirCase{"%ProgramFiles%\\Acme Tool", "\\Acme Tool", "C:\\Program Files\\\\Acme Tool"},
        DefaultDirCase{"%ProgramFiles%", "", "C:\\Program Files\\"},
        DefaultDirCase{"C:\\Acme", "C:\\Acme", "C:\\Program Files\\C:\\Acme"},
        DefaultDirCase{"%A%%B%x", "%A%%B%x", "%A%%B%x"},  // four "%": kept whole
        DefaultDirCase{"50%", "50%", "C:\\Program Files\\50%"}));

struct RunBoxCase {
  const char* progExe;
  const char* reboot;
  bool enabled;
};

class RunProgramBoxTest : public ::testing::TestWithParam<RunBoxCase> {};

TEST_P(RunProgramBoxTest, EnabledOnlyForExeWithoutReboot) {
  const RunBoxCase& c = GetParam();
  const Settings s = ReadAll(std::string("[Settings]\nProgExe=") + c.progExe + "\n[Task]\nReboot=" + c.reboot + "\n");
  EXPECT_EQ(DecideSecondPassControls(s).runProgramEnabled, c.enabled) << c.progExe << " reboot " << c.reboot;
}

INSTANTIATE_TEST_SUITE_P(
    Variants, RunProgramBoxTest,
    ::testing::Values(RunBoxCase{"acme.exe", "0", true}, RunBoxCase{"acme.EXE", "0", false},
                      RunBoxCase{"bin\\acme.exe", "0", true}, RunBoxCase{"acme.exe", "1", false},
                      RunBoxCase{"acme.exe", "256", true},  // only the low 8 bits count
                      RunBoxCase{"acme.exe", "257", false}, RunBoxCase{"acme.bat", "0", false},
                      RunBoxCase{"acme.exe\\tool", "0", false}, RunBoxCase{"", "0", false}));

TEST(Settings, SecondPassReachesTheControls) {
  RecordingSurface off;
  ApplySecondPassControls(off, DecideSecondPassControls(ReadAll("[Settings]\nProgExe=acme.EXE\n")));
  EXPECT_FALSE(off.Visible(WebLink));
  EXPECT_EQ(off.GetState(RunProgramBox), 0);
  EXPECT_FALSE(off.Enabled(RunProgramBox));
  EXPECT_FALSE(off.Enabled(MenuFolderLabel));
  EXPECT_FALSE(off.Enabled(MenuFolderField));
  EXPECT_FALSE(off.Enabled(MenuFolderChange));

  RecordingSurface on;
  ApplySecondPassControls(on, DecideSecondPassControls(ReadAll(
      "[Settings]\nProgExe=acme.exe\n[Info]\nWeb=www.acme.example\n[Task]\nStartProg=1\nStartMenu=1\n")));
  EXPECT_TRUE(on.Visible(WebLink));
  EXPECT_EQ(on.GetText(WebLink), "www.acme.example");
  EXPECT_EQ(on.GetState(RunProgramBox), 1);
  EXPECT_TRUE(on.Enabled(RunProgramBox));
  EXPECT_TRUE(on.Enabled(MenuFolderField));
  for (const RecordingSurface::Call& call : on.calls) EXPECT_NE(call.operation, "Disable");
}

TEST(Settings, StartMenuOffSkipsStartMenuKeysButNotProgLink) {
  const Settings s = ReadAll(
      "[StartMenue]\nDefaultDir=Acme\nProgLink=Acme Tool\nHelp=acme.hlp\nURL=http://x\nExe=x.exe\nUnistall=1\n"
      "[Task]\nStartMenu=0\n");
  EXPECT_EQ(s.defaultMenuFolder, "Acme");
  EXPECT_EQ(s.progLink, "Acme Tool");
  EXPECT_EQ(s.help, "");
  EXPECT_EQ(s.url, "");
  EXPECT_EQ(s.exe, "");
  EXPECT_EQ(s.unistall, 0);
  EXPECT_FALSE(DecideSecondPassControls(s).startMenuControlsEnabled);
}

TEST(Settings, PresentEmptyValuesAreNotDefaults) {
  const Settings s = ReadAll("[Info]\nTitel=\n[StartMenue]\nProgLink=\n");
  EXPECT_EQ(s.titel, "");
  EXPECT_EQ(s.progLink, "");  // no uninstall entry
}

TEST(Settings, ProgressLinesComposeFromInfo) {
  Settings s;
  s.titel = "Acme";
  EXPECT_EQ(ProgressTitleLine(s), "Acme");
  s.version = "2.1";
  s.date = "May";
  EXPECT_EQ(ProgressTitleLine(s), "Acme  -  Version 2.1   (May)");
  s.email = "a@b";
  EXPECT_EQ(ProgressAuthorLine(s), "Acme  -  Version 2.1   (May)   ( a@b )");
  s.author = "Ann";
  EXPECT_EQ(ProgressAuthorLine(s), "\xC2\xA9 Ann   ( a@b )");
}

TEST(Settings, HostileTaskCountIsBounded) {
  const Settings s = ReadAll("[UserTask]\nNumber=2147483647\nTask1=5|a|b|\n");
  EXPECT_EQ(s.userTaskNumber, 2147483647);
  ASSERT_EQ(s.userTasks.size(), 1u);
  const Settings negative = ReadAll("[UserTask]\nNumber=-5\nTask1=5|a|b|\n");
  EXPECT_TRUE(negative.userTasks.empty());
  // Bounded by the keys present, not by a fixed count: a high task key is read.
  const Settings far = ReadAll("[UserTask]\nNumber=50000\nTask40000=5|c|d|\nTask50001=5|e|f|\n");
  ASSERT_EQ(far.userTasks.size(), 1u);
  EXPECT_EQ(far.userTasks[0], "5|c|d|");
}

}  // namespace
}  // namespace brindorel

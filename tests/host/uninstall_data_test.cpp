#include "uninstaller/uninstall_data.h"

#include <gtest/gtest.h>

#include <string>

#include "services/ini_document.h"

namespace brindorel {
namespace {

const char kRecord[] =
    "[Settings]\r\nProgName = Acme\r\nVersion = 2.1\r\nMutexString = AcmeMutex\r\nNoDelAll = 0\r\n"
    "ProgDir = C:\\Program Files\\Acme\\\r\nProgExe = acme.exe\r\nGUID = {G}\r\nProgLink = Acme\r\n"
    "StartMenu = C:\\Menu\\Acme\\\r\nDesktopIcon = C:\\Desk\\Acme.lnk\r\n"
    "[Files]\r\nF001 = acme.exe\r\nF002 = \r\nF003 = doc\\readme.txt\r\n"
    "[Language]\r\nTitel = Programm entfernen\r\nStatus = \r\n"
    "[UserTask]\r\nNumber = 3\r\nTask1 = one\r\nTask3 = three\r\nTask4 = beyond\r\nTask02 = padded\r\n"
    "task2 = two\r\nTask2 = second two\r\n";

UninstallData Read(const std::string& text) {
  IniDocument doc = IniDocument::Parse(text);
  return ReadUninstallData(doc);
}

TEST(UninstallDataTest, ReadsEveryKeyTasksLastFirstTextsOverDefaults) {
  const UninstallData d = Read(kRecord);
  EXPECT_EQ(d.progName, "Acme");
  EXPECT_EQ(d.mutexString, "AcmeMutex");
  EXPECT_FALSE(d.noDelAll);
  EXPECT_EQ(d.progDir, "C:\\Program Files\\Acme\\");
  EXPECT_EQ(d.desktopIcon, "C:\\Desk\\Acme.lnk");
  EXPECT_EQ(d.files, (std::vector<std::string>{"acme.exe", "doc\\readme.txt"}));
  EXPECT_EQ(d.tasks, (std::vector<std::string>{"three", "two", "one"}));  // first "Task2" key counts
  EXPECT_EQ(UninstallText(d, TextId::UninstallerTitel), "Programm entfernen");
  EXPECT_EQ(UninstallText(d, TextId::UninstallerStatus), "");  // present and empty
  EXPECT_EQ(UninstallText(d, TextId::UninstallerOK), "OK");    // missing: the default
}

TEST(UninstallDataTest, DamagedRecordsGiveSafeValues) {
  // Truncated in the middle of [Settings]: no DelAll offer, nothing listed.
  UninstallData d = Read("[Settings]\r\nProgName = Acme\r\nNoDel");
  EXPECT_TRUE(d.noDelAll);
  EXPECT_TRUE(d.files.empty());
  EXPECT_TRUE(d.tasks.empty());
  EXPECT_EQ(UninstallText(d, TextId::UninstallerCancel), "Cancel");
  // A huge Number is no loop: only present keys count.
  d = Read("[UserTask]\r\nNumber = 2147483647\r\nTask2147483647 = last\r\nTask99999999999 = over\r\n");
  EXPECT_EQ(d.tasks, (std::vector<std::string>{"last"}));
  d = Read("[UserTask]\r\nNumber = -5\r\nTask1 = one\r\n");
  EXPECT_TRUE(d.tasks.empty());
}

struct RecordCase {
  const char* progDir;
  const char* folder;
  RecordProblem problem;
};

class CheckRecordTest : public ::testing::TestWithParam<RecordCase> {};

TEST_P(CheckRecordTest, Decides) {
  ProtectedFolders protectedFolders;
  for (const char* f : {"C:\\windows", "C:\\windows\\system32", "C:\\program files", "C:\\users\\u",
                        "C:\\users\\u\\desktop", "C:\\users\\u\\temp"})
    protectedFolders.folders.push_back(NormaliseFolderPath(f));
  protectedFolders.workFolder = NormaliseFolderPath("C:\\users\\u\\temp\\Brindorel");
  UninstallData d;
  d.progDir = GetParam().progDir;
  EXPECT_EQ(CheckRecord(true, d, GetParam().folder, protectedFolders), GetParam().problem) << GetParam().progDir;
}

INSTANTIATE_TEST_SUITE_P(
    Folders, CheckRecordTest,
    ::testing::Values(
        RecordCase{"C:\\Program Files\\Acme\\", "C:\\Program Files\\Acme\\", RecordProblem::None},
        RecordCase{"c:\\PROGRAM FILES\\\\Acme", "C:\\Program Files\\Acme\\", RecordProblem::None},
        RecordCase{"\\\\srv\\share\\Acme\\", "\\\\SRV\\share\\acme\\", RecordProblem::None},
        RecordCase{"", "C:\\Program Files\\Acme\\", RecordProblem::NotAbsolute},
        RecordCase{"Acme\\", "C:\\Program Files\\Acme\\", RecordProblem::NotAbsolute},
        RecordCase{"\\Acme\\", "C:\\Program Files\\Acme\\", RecordProblem::NotAbsolute},
        RecordCase{"C:Acme\\", "C:\\Program Files\\Acme\\", RecordProblem::NotAbsolute},
        RecordCase{"C:\\windows\\", "C:\\Program Files\\Acme\\", RecordProblem::NotOwnFolder},
        RecordCase{"C:\\Program Files\\Acme\\..\\Other\\", "C:\\Program Files\\Acme\\", RecordProblem::NotOwnFolder},
        RecordCase{"C:\\windows\\", "C:\\windows\\", RecordProblem::ProtectedFolder},
        RecordCase{"C:\\", "C:\\", RecordProblem::ProtectedFolder},
        RecordCase{"\\\\srv\\share\\", "\\\\srv\\share\\", RecordProblem::ProtectedFolder},
        RecordCase{"C:\\Users\\", "C:\\Users\\", RecordProblem::ProtectedFolder},  // holds the profile
        RecordCase{"C:\\users\\u\\temp\\", "C:\\users\\u\\temp\\", RecordProblem::ProtectedFolder},
        // Below the temporary folder is fine for a removal (the work folder rule is the installer's).
        RecordCase{"C:\\users\\u\\temp\\Brindorel\\", "C:\\users\\u\\temp\\Brindorel\\", RecordProblem::None}));

// The refusal list is the installer's: a record in a system folder of either
// view is refused, also when it is spelt with short names.
TEST(UninstallDataTest, RefusesRecordsInSystemFoldersOfEitherViewHoweverSpelt) {
  const ProtectedFolders protectedFolders = LookUpProtectedFolders(
      [](std::int32_t id) -> std::string {
        if (id == -6) return "C:\\Program Files (x86)\\";
        if (id == -9) return "C:\\Program Files\\";
        if (id == -11) return "C:\\Windows\\SysWOW64\\";
        return "";
      },
      "", [](const std::string& path) -> std::string {
        if (path == "c:\\progra~1") return "C:\\Program Files";
        if (path == "c:\\progra~2") return "C:\\Program Files (x86)";
        return "";
      });
  UninstallData d;
  for (const char* folder : {"C:\\Program Files\\", "C:\\PROGRA~1\\", "C:\\progra~2", "C:\\Windows\\SysWOW64\\"}) {
    d.progDir = folder;
    EXPECT_EQ(CheckRecord(true, d, folder, protectedFolders), RecordProblem::ProtectedFolder) << folder;
  }
  d.progDir = "C:\\PROGRA~2\\Acme\\";
  EXPECT_EQ(CheckRecord(true, d, d.progDir, protectedFolders), RecordProblem::None);
}

TEST(UninstallDataTest, AMissingRecordNamesItsPath) {
  UninstallData d;
  EXPECT_EQ(CheckRecord(false, d, "C:\\A\\", {}), RecordProblem::Missing);
  EXPECT_EQ(RecordProblemPath(RecordProblem::Missing, d, "C:\\A"), "C:\\A\\uninstall.dat");
}

TEST(UninstallDataTest, TheInstalledProgramByItsFullImagePath) {
  UninstallData d;
  d.progDir = "C:\\Program Files\\Acme\\";
  d.progExe = "bin\\acme.exe";
  EXPECT_TRUE(ImageIsInstalledProgram("c:\\program files\\acme\\BIN\\acme.exe", d));
  EXPECT_FALSE(ImageIsInstalledProgram("C:\\Other\\bin\\acme.exe", d));
  EXPECT_FALSE(ImageIsInstalledProgram("acme.exe", d));
  d.progExe = "";
  EXPECT_FALSE(ImageIsInstalledProgram("C:\\Program Files\\Acme\\", d));
}

TEST(UninstallDataTest, CommandLines) {
  UninstallArguments a = ParseUninstallArguments("\"C:\\P F\\Uninstall.exe\" /s");
  EXPECT_TRUE(a.silent);
  EXPECT_FALSE(a.isCopy);
  a = ParseUninstallArguments("C:\\T\\copy.exe " + CopyArguments(true, 4242, "C:\\Program Files\\Acme\\"));
  EXPECT_TRUE(a.silent);
  EXPECT_TRUE(a.isCopy);
  EXPECT_EQ(a.originProcess, 4242u);
  EXPECT_EQ(a.folder, "C:\\Program Files\\Acme\\");
  a = ParseUninstallArguments("x /ORIGIN=12 /DIR=\"C:\\A B\\\"  ");
  EXPECT_EQ(a.folder, "C:\\A B\\");
  EXPECT_FALSE(a.silent);
  for (const char* bad : {"x /ORIGIN=12", "x /ORIGIN=abc /DIR=C:\\A\\", "x /ORIGIN=99999999999 /DIR=C:\\A\\",
                          "x /ORIGIN= /DIR=C:\\A\\", "x /DIR=C:\\A\\"})
    EXPECT_FALSE(ParseUninstallArguments(bad).isCopy) << bad;
  EXPECT_FALSE(ParseUninstallArguments("x /SILENT").silent);
}

}  // namespace
}  // namespace brindorel

// The [UserTask] tasks carried out for real: links, copies and registry
// values, and only what was created in the undo list.
#include "install/user_tasks.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "services/file_system.h"
#include "services/folders.h"
#include "tests/win32/support/win32_checks.h"

namespace brindorel {
namespace {

using wine_checks::DeleteKeyTree;
using wine_checks::ReadLink;
using wine_checks::ReadStoredValue;

const std::string kKey = "Software\\BrindorelTest\\tasks";

std::string TestFolder() { return GetTempFolder() + "brindorel-tasks-test\\"; }

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class UserTasksRun : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    folders_.installFolder = TestFolder() + "install\\";
    folders_.workFolder = TestFolder() + "work\\";
    folders_.desktopFolder = TestFolder() + "desktop\\";
    folders_.menuFolder = TestFolder() + "menu\\";
    folders_.startupFolder = TestFolder() + "startup\\";
    for (const std::string* f : {&folders_.installFolder, &folders_.workFolder, &folders_.desktopFolder,
                                 &folders_.menuFolder})
      MakeFolderPath(*f);
    WriteFile(folders_.workFolder + "demo.ini", "[Demo]\r\n");
  }
  void TearDown() override { Clean(); }
  static void Clean() {
    RemoveFolder(TestFolder(), "", kRemoveSubfolders | kRemoveForced);
    DeleteKeyTree(HKEY_CURRENT_USER, kKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\BrindorelTest");  // only when empty
  }

  UserTaskFolders folders_;
};

TEST_F(UserTasksRun, OnlyTasksThatSucceededAreRecorded) {
  const std::vector<std::string> lines = {
      "0|Tool|bin\\tool.exe|2",
      "4|Starter|tool.exe|0",  // the startup folder does not exist: no link, no record
      "3|Home|https://acme.invalid/demo",
      "5|copy.ini|demo.ini|",
      "5|missing.ini|absent.ini|",  // nothing to copy
      "6|2147483649|" + kKey + "|Path|C:\\Demo",
      "6|-2147483647|" + kKey + "|Again|x",
      "6|12345|" + kKey + "|Never|x",
  };
  std::vector<std::string> undo;
  EXPECT_FALSE(PerformUserTasks(lines, folders_, undo));
  const std::vector<std::string> expected = {
      folders_.desktopFolder + "Tool.lnk",
      folders_.menuFolder + "Home.lnk",
      folders_.installFolder + "copy.ini",
      "2147483649|" + kKey + "|Path",
      "2147483649|" + kKey + "|Again",
  };
  EXPECT_EQ(undo, expected);

  const wine_checks::LinkContent tool = ReadLink(folders_.desktopFolder + "Tool.lnk");
  ASSERT_TRUE(tool.loaded);
  EXPECT_EQ(tool.path, folders_.installFolder + "bin\\tool.exe");
  EXPECT_EQ(tool.workingFolder, folders_.installFolder + "bin\\");
  EXPECT_EQ(tool.iconFile, tool.path);
  EXPECT_EQ(tool.iconIndex, 2);
  EXPECT_EQ(tool.showCommand, 1);

  const wine_checks::LinkContent home = ReadLink(folders_.menuFolder + "Home.lnk");
  ASSERT_TRUE(home.loaded);
  const std::string system = GetSpecialFolder(-2);
  EXPECT_EQ(home.path, system + "rundll32.exe");
  EXPECT_EQ(home.arguments, "url.dll,FileProtocolHandler https://acme.invalid/demo");
  EXPECT_EQ(home.iconFile, system + "url.dll");
  EXPECT_EQ(home.workingFolder, "");

  EXPECT_EQ(ReadFile(folders_.installFolder + "copy.ini"), "[Demo]\r\n");
  EXPECT_EQ(ReadStoredValue(HKEY_CURRENT_USER, kKey, "Path").bytes, std::string("C:\\Demo") + '\0');
  EXPECT_EQ(ReadStoredValue(HKEY_CURRENT_USER, kKey, "Again").Text(), "x");
  EXPECT_FALSE(ReadStoredValue(HKEY_CURRENT_USER, kKey, "Never").present);
}

TEST_F(UserTasksRun, CopyReplacesAnExistingFileAndExpandsPlaceholders) {
  WriteFile(folders_.installFolder + "copy.ini", "old");
  std::vector<std::string> undo;
  EXPECT_TRUE(PerformUserTasks({"5|copy.ini|demo.ini|", "5|brindorel-tasks-test.ini|demo.ini|%AppData%"},
                               folders_, undo));
  EXPECT_EQ(ReadFile(folders_.installFolder + "copy.ini"), "[Demo]\r\n");
  ASSERT_EQ(undo.size(), 2u);
  EXPECT_EQ(undo[1], GetSpecialFolder(26) + "brindorel-tasks-test.ini");
  EXPECT_EQ(ReadFile(undo[1]), "[Demo]\r\n");
  DeleteFileA(undo[1].c_str());
}

TEST_F(UserTasksRun, MenuTasksWithoutMenuFolderDoNothing) {
  folders_.menuFolder.clear();
  std::vector<std::string> undo;
  EXPECT_TRUE(PerformUserTasks({"1|Tool|tool.exe", "3|Home|http://x"}, folders_, undo));
  EXPECT_TRUE(undo.empty());
}

}  // namespace
}  // namespace brindorel

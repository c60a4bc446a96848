#include "install/user_tasks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "services/ini_document.h"

namespace brindorel {
namespace {

UserTaskFolders Folders() {
  UserTaskFolders f;
  f.installFolder = "D:\\Apps\\Demo\\";
  f.workFolder = "C:\\Temp\\Brindorel\\";
  f.desktopFolder = "C:\\Users\\u\\Desktop\\";
  f.menuFolder = "C:\\Users\\u\\Start Menu\\Programs\\Demo\\";
  f.startupFolder = "C:\\Users\\u\\Start Menu\\Programs\\Startup\\";
  f.systemFolder = "C:\\windows\\system32\\";
  return f;
}

std::string Lookup(std::int32_t id) {
  switch (id) {
    case -2: return "C:\\windows\\system32\\";
    case -6: return "C:\\Program Files\\";
    case 26: return "C:\\Users\\u\\AppData\\";
    default: return "";
  }
}

// The record a line leaves, or "-" when the line does nothing.
std::string RecordOf(const std::string& line, const UserTaskFolders& folders = Folders()) {
  UserTaskAction action;
  return PlanUserTask(line, folders, Lookup, action) ? action.record : "-";
}

struct RecordCase {
  const char* line;
  const char* record;
};

class UserTaskRecordTest : public ::testing::TestWithParam<RecordCase> {};

TEST_P(UserTaskRecordTest, RecordsWhatTheLineCreates) {
  EXPECT_EQ(RecordOf(GetParam().line), GetParam().record) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, UserTaskRecordTest,
    ::testing::Values(
        // Every type, with its folder.
        RecordCase{"0|Tool|bin\\tool.exe|2", "C:\\Users\\u\\Desktop\\Tool.lnk"},
        RecordCase{"1|Tool|tool.exe|0", "C:\\Users\\u\\Start Menu\\Programs\\Demo\\Tool.lnk"},
        RecordCase{"2|Site|http://x", "C:\\Users\\u\\Desktop\\Site.lnk"},
        RecordCase{"3|Site|http://x", "C:\\Users\\u\\Start Menu\\Programs\\Demo\\Site.lnk"},
        RecordCase{"4|Tool|tool.exe", "C:\\Users\\u\\Start Menu\\Programs\\Startup\\Tool.lnk"},
        RecordCase{"5|demo.dll|demo.dll|%System%", "C:\\windows\\system32\\demo.dll"},
        RecordCase{"5|demo.ini|demo.ini|%AppData%Demo", "C:\\Users\\u\\AppData\\Demo\\demo.ini"},
        RecordCase{"6|2147483649|Software\\Demo|Path|C:\\Demo", "2147483649|Software\\Demo|Path"},
        // The suffix rule: exactly ".lnk", letter case counts.
        RecordCase{"0|Readme.lnk|r.txt", "C:\\Users\\u\\Desktop\\Readme.lnk"},
        RecordCase{"0|Readme.LNK|r.txt", "C:\\Users\\u\\Desktop\\Readme.LNK.lnk"},
        RecordCase{"0|lnk|r.txt", "C:\\Users\\u\\Desktop\\lnk.lnk"},
        // A type without digits reads as 0; leading blanks and a sign are taken.
        RecordCase{"abc|Tool|t.exe", "C:\\Users\\u\\Desktop\\Tool.lnk"},
        RecordCase{" \t+4|Tool|t.exe", "C:\\Users\\u\\Start Menu\\Programs\\Startup\\Tool.lnk"},
        // Roots: both 32-bit spellings of the same key, recorded unsigned.
        RecordCase{"6|-2147483647|Software\\Demo|Path|x", "2147483649|Software\\Demo|Path"},
        RecordCase{"6|2147483648|K|V|x", "2147483648|K|V"},
        RecordCase{"6|2147483654|K|V|x", "2147483654|K|V"},
        RecordCase{"6|-2147483642|K|V|x", "2147483654|K|V"},
        RecordCase{"6|2147483655|K|V|x", "-"},
        RecordCase{"6|2147483647|K|V|x", "-"},
        RecordCase{"6|1|K|V|x", "-"},
        RecordCase{"6||K|V|x", "-"},
        // Unknown types, empty names and empty lines do nothing.
        RecordCase{"9|Tool|t.exe", "-"},
        RecordCase{"-1|Tool|t.exe", "-"},
        RecordCase{"7|a|b|c|d", "-"},
        RecordCase{"", "-"},
        RecordCase{"0||t.exe|0", "-"},
        RecordCase{"0|.lnk|t.exe|0", "-"},
        RecordCase{"2||http://x", "-"},
        RecordCase{"4", "-"},
        RecordCase{"2|Site|", "-"},
        RecordCase{"5|||", "-"},
        RecordCase{"5|a.txt||", "-"}));

TEST(UserTaskTest, ProgramLinkPointsIntoTheInstallFolder) {
  UserTaskAction action;
  ASSERT_TRUE(PlanUserTask("0|Tool|bin\\tool.exe|2", Folders(), Lookup, action));
  EXPECT_EQ(action.kind, UserTaskKind::Link);
  EXPECT_EQ(action.link.target, "D:\\Apps\\Demo\\bin\\tool.exe");
  EXPECT_EQ(action.link.linkFile, "C:\\Users\\u\\Desktop\\Tool.lnk");
  EXPECT_EQ(action.link.workingFolder, "D:\\Apps\\Demo\\bin\\");
  EXPECT_EQ(action.link.iconFile, "|");
  EXPECT_EQ(action.link.iconIndex, 2);
  EXPECT_EQ(action.link.arguments, "");
  // "/" separates folders too; no folder part means the install folder.
  ASSERT_TRUE(PlanUserTask("4|Tool|a/b/t.exe|-3", Folders(), Lookup, action));
  EXPECT_EQ(action.link.workingFolder, "D:\\Apps\\Demo\\a/b/");
  EXPECT_EQ(action.link.iconIndex, -3);
  ASSERT_TRUE(PlanUserTask("1|Tool|t.exe", Folders(), Lookup, action));
  EXPECT_EQ(action.link.workingFolder, "D:\\Apps\\Demo\\");
  EXPECT_EQ(action.link.iconIndex, 0);
}

TEST(UserTaskTest, WebLinkGoesThroughTheSystemUrlHandler) {
  UserTaskAction action;
  ASSERT_TRUE(PlanUserTask("3|Home|https://acme.invalid/a b", Folders(), Lookup, action));
  EXPECT_EQ(action.link.target, "C:\\windows\\system32\\rundll32.exe");
  EXPECT_EQ(action.link.arguments, "url.dll,FileProtocolHandler https://acme.invalid/a b");
  EXPECT_EQ(action.link.iconFile, "C:\\windows\\system32\\url.dll");
  EXPECT_EQ(action.link.iconIndex, 0);
  EXPECT_EQ(action.link.workingFolder, "");
  // Without a system folder there is nothing to point the link at.
  UserTaskFolders folders = Folders();
  folders.systemFolder.clear();
  EXPECT_EQ(RecordOf("2|Home|http://x", folders), "-");
}

TEST(UserTaskTest, CopyWithoutDestinationFolderGoesToTheInstallFolder) {
  UserTaskAction action;
  ASSERT_TRUE(PlanUserTask("5|demo.txt|src\\demo.txt|", Folders(), Lookup, action));
  EXPECT_EQ(action.kind, UserTaskKind::Copy);
  EXPECT_EQ(action.source, "C:\\Temp\\Brindorel\\src\\demo.txt");
  EXPECT_EQ(action.destination, "D:\\Apps\\Demo\\demo.txt");
  EXPECT_EQ(action.record, "D:\\Apps\\Demo\\demo.txt");
  // A field without placeholders goes below Program Files, like every folder text without a drive.
  EXPECT_EQ(RecordOf("5|a.txt|a.txt|Demo"), "C:\\Program Files\\Demo\\a.txt");
  EXPECT_EQ(RecordOf("5|a.txt|a.txt"), "D:\\Apps\\Demo\\a.txt");
}

TEST(UserTaskTest, RegistryTaskCarriesKeyValueAndText) {
  UserTaskAction action;
  ASSERT_TRUE(PlanUserTask("6|2147483650|Software\\Acme|Dir|C:\\Acme|extra", Folders(), Lookup, action));
  EXPECT_EQ(action.kind, UserTaskKind::RegistryText);
  EXPECT_EQ(action.root, 0x80000002u);
  EXPECT_EQ(action.key, "Software\\Acme");
  EXPECT_EQ(action.valueName, "Dir");
  EXPECT_EQ(action.valueText, "C:\\Acme");
}

// A task whose folder is unknown is skipped, never made relative to the
// current folder: types 1 and 3 without start-menu entries, and any folder
// the shell did not give.
TEST(UserTaskTest, TasksWithoutTheirFolderAreSkipped) {
  struct Case {
    std::string UserTaskFolders::*folder;
    std::vector<const char*> skipped;
    std::vector<const char*> kept;
  };
  const std::vector<Case> cases = {
      {&UserTaskFolders::menuFolder, {"1|T|t.exe", "3|W|http://x"}, {"0|T|t.exe", "2|W|http://x", "4|T|t.exe"}},
      {&UserTaskFolders::desktopFolder, {"0|T|t.exe", "2|W|http://x"}, {"1|T|t.exe", "4|T|t.exe"}},
      {&UserTaskFolders::startupFolder, {"4|T|t.exe"}, {"0|T|t.exe", "3|W|http://x"}},
      {&UserTaskFolders::installFolder, {"0|T|t.exe", "4|T|t.exe", "5|a|a|"}, {"2|W|http://x", "5|a|a|%System%"}},
      {&UserTaskFolders::workFolder, {"5|a|a|%System%"}, {"0|T|t.exe"}},
  };
  for (const Case& c : cases) {
    UserTaskFolders folders = Folders();
    (folders.*c.folder).clear();
    for (const char* line : c.skipped) EXPECT_EQ(RecordOf(line, folders), "-") << line;
    for (const char* line : c.kept) EXPECT_NE(RecordOf(line, folders), "-") << line;
  }
}

TEST(UserTaskTest, PlanKeepsOrderAndLeavesOutLinesThatDoNothing) {
  const std::vector<std::string> lines = {"6|2147483649|K|A|1", "9|x", "0|T|t.exe", "6|5|K|B|2", "5|a|a|"};
  const std::vector<UserTaskAction> actions = PlanUserTasks(lines, Folders(), Lookup);
  ASSERT_EQ(actions.size(), 3u);
  EXPECT_EQ(actions[0].record, "2147483649|K|A");
  EXPECT_EQ(actions[1].record, "C:\\Users\\u\\Desktop\\T.lnk");
  EXPECT_EQ(actions[2].record, "D:\\Apps\\Demo\\a");
}

std::vector<std::string> LinesOf(const std::string& ini) {
  IniDocument document = IniDocument::Parse(ini);
  return ReadUserTaskLines(document);
}

struct LinesCase {
  const char* ini;
  std::vector<std::string> lines;
};

class UserTaskLinesTest : public ::testing::TestWithParam<LinesCase> {};

TEST_P(UserTaskLinesTest, ReadsThePresentTaskKeysUpToNumber) {
  EXPECT_EQ(LinesOf(GetParam().ini), GetParam().lines) << GetParam().ini;
}

INSTANTIATE_TEST_SUITE_P(
    Groups, UserTaskLinesTest,
    ::testing::Values(
        // A gap in the numbers: tasks 1 and 3 run.
        LinesCase{"[UserTask]\r\nNumber=3\r\nTask1=a\r\nTask3=c\r\n", {"a", "c"}},
        // Key order in the file does not matter, the number does; keys above Number are not read.
        LinesCase{"[UserTask]\r\nTask2=b\r\nTask1=a\r\nTask3=c\r\nNumber=2\r\n", {"a", "b"}},
        // Group and key names in any case; padded numbers are other keys.
        LinesCase{"[usertask]\r\nnumber=3\r\ntask1=a\r\nTASK2=b\r\nTask03=x\r\n", {"a", "b"}},
        // Empty lines are skipped, a key given twice counts once with its first value.
        LinesCase{"[UserTask]\r\nNumber=3\r\nTask1=\r\nTask2=b\r\nTask2=x\r\n", {"b"}},
        LinesCase{"[UserTask]\r\nNumber=0\r\nTask1=a\r\n", {}},
        LinesCase{"[UserTask]\r\nNumber=-2\r\nTask1=a\r\n", {}},
        LinesCase{"[UserTask]\r\nNumber=x\r\nTask1=a\r\n", {}},
        LinesCase{"[Other]\r\nNumber=1\r\nTask1=a\r\n", {}},
        // Keys numbered beyond 32 bits are no task keys.
        LinesCase{"[UserTask]\r\nNumber=2147483647\r\nTask2147483647=z\r\nTask2147483648=y\r\nTask1=a\r\n",
                  {"a", "z"}}));

// A Number of two billion must end at once: only the keys present are visited.
TEST(UserTaskLinesTest, HugeNumberEndsAtOnce) {
  std::string ini = "[UserTask]\r\nNumber=2000000000\r\n";
  for (int i = 1; i <= 200; ++i) ini += "Task" + std::to_string(i * 9999991) + "=l" + std::to_string(i) + "\r\n";
  const std::vector<std::string> lines = LinesOf(ini);
  ASSERT_EQ(lines.size(), 200u);
  EXPECT_EQ(lines.front(), "l1");
  EXPECT_EQ(lines.back(), "l200");
}

TEST(UserTaskTest, LinkSuffix) {
  EXPECT_EQ(WithLinkSuffix("a"), "a.lnk");
  EXPECT_EQ(WithLinkSuffix("a.lnk"), "a.lnk");
  EXPECT_EQ(WithLinkSuffix("a.Lnk"), "a.Lnk.lnk");
  EXPECT_EQ(WithLinkSuffix(".lnk"), ".lnk");
  EXPECT_EQ(WithLinkSuffix("nk"), "nk.lnk");
}

}  // namespace
}  // namespace brindorel

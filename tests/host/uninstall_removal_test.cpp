#include "uninstaller/removal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/host/uninstall_system_double.h"

namespace brindorel {
namespace {

const char kDir[] = "C:\\Program Files\\Acme\\";
const char kPrograms[] = "C:\\Users\\u\\Start Menu\\Programs\\";
const char kSystem[] = "C:\\windows\\system32\\";
const char kEntry[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{G}";

UninstallData Acme() {
  UninstallData d;
  d.progName = "Acme";
  d.progDir = kDir;
  d.progExe = "acme.exe";
  d.guid = "{G}";
  d.progLink = "Acme";
  d.startMenu = std::string(kPrograms) + "Acme\\";
  d.desktopIcon = "C:\\Users\\u\\Desktop\\Acme.lnk";
  d.files = {"acme.exe", "doc\\readme.txt"};
  d.noDelAll = false;
  return d;
}

RemovalContext Context() {
  RemovalContext c;
  c.systemFolder = kSystem;
  c.programsFolders = {kPrograms, "C:\\ProgramData\\Start Menu\\Programs\\"};
  return c;
}

// An installed Acme: files, links, the entry and the product key.
void Install(RecordingRemovalSystem& s) {
  const std::string dir = kDir;
  s.AddFile(dir + "acme.exe");
  s.AddFile(dir + "doc\\readme.txt");
  s.AddFile(dir + "uninstall.dat");
  s.AddFile(dir + "Uninstall.exe");
  s.AddLink("C:\\Users\\u\\Desktop\\Acme.lnk", dir + "acme.exe");
  const std::string menu = std::string(kPrograms) + "Acme\\";
  s.AddLink(menu + "Acme.lnk", dir + "acme.exe");
  s.AddLink(menu + "Uninstall.lnk", dir + "Uninstall.exe");
  s.AddLink(menu + "Homepage.lnk", std::string(kSystem) + "rundll32.exe", "url.dll,FileProtocolHandler http://a");
  s.AddLink(menu + "Help.lnk", dir + "doc\\readme.txt");
  s.SetValue(kLocalMachine, kEntry, "UninstallString", "\"C:\\Program Files\\Acme\\Uninstall.exe\"");
  s.SetValue(kCurrentUser, "SOFTWARE\\Brindorel\\{G}", "InstallDir", dir);
  s.SetValue(kCurrentUser, "SOFTWARE\\Brindorel\\{G}", "StartMenu", "Acme");
}

RemovalOutcome Uninstall(RecordingRemovalSystem& s, const UninstallData& d, bool delAll = false) {
  RemovalOutcome outcome;
  RemoveInstallation(s, d, Context(), delAll, outcome);
  FinishRemoval(s, d, outcome);
  return outcome;
}

std::size_t Position(const std::vector<std::string>& log, const std::string& line) {
  return static_cast<std::size_t>(std::find(log.begin(), log.end(), line) - log.begin());
}

TEST(RemovalTest, AWholeInstallationGoesInReverseOrderLeavingTheUsersFile) {
  RecordingRemovalSystem s;
  Install(s);
  s.AddFile(std::string(kDir) + "doc\\mine.txt");
  const RemovalOutcome outcome = Uninstall(s, Acme());
  EXPECT_TRUE(outcome.Complete()) << outcome.left.front();
  EXPECT_FALSE(s.Has(std::string(kDir) + "acme.exe"));
  EXPECT_FALSE(s.Has(std::string(kPrograms) + "Acme"));
  EXPECT_TRUE(s.Has(kPrograms));  // the programs folder itself stays
  EXPECT_FALSE(s.Has("C:\\Users\\u\\Desktop\\Acme.lnk"));
  EXPECT_TRUE(s.Has(std::string(kDir) + "doc\\mine.txt"));  // DelAll off
  EXPECT_FALSE(s.HasKey(kLocalMachine, kEntry));
  EXPECT_FALSE(s.HasKey(kCurrentUser, "SOFTWARE\\Brindorel"));
  const auto& log = s.log;
  EXPECT_LT(Position(log, "delete C:\\Users\\u\\Desktop\\Acme.lnk"),
            Position(log, "delete " + std::string(kDir) + "acme.exe"));
  EXPECT_LT(Position(log, "delete " + std::string(kDir) + "uninstall.dat"), Position(log, "regkey " + std::string(kEntry)));
  EXPECT_EQ(log.back(), "delete " + std::string(kDir) + "Uninstall.exe");  // ProgDir keeps the user's file
}

TEST(RemovalTest, DelAllEmptiesTheFolderButNeverEntersALinkedFolder) {
  RecordingRemovalSystem s;
  Install(s);
  s.AddFile(std::string(kDir) + "doc\\mine.txt", true);
  s.AddLinkedFolder(std::string(kDir) + "elsewhere");
  s.AddFile("D:\\outside\\keep.txt");
  const RemovalOutcome outcome = Uninstall(s, Acme(), true);
  EXPECT_TRUE(outcome.Complete());
  EXPECT_FALSE(s.Has(kDir));
  EXPECT_TRUE(s.Has("D:\\outside\\keep.txt"));

  // NoDelAll wins over the check box.
  RecordingRemovalSystem t;
  Install(t);
  t.AddFile(std::string(kDir) + "mine.txt");
  UninstallData d = Acme();
  d.noDelAll = true;
  Uninstall(t, d, true);
  EXPECT_TRUE(t.Has(std::string(kDir) + "mine.txt"));
}

TEST(RemovalTest, ALockedFileIsRetriedThenScheduledAndListed) {
  RecordingRemovalSystem s;
  Install(s);
  s.AddFile(std::string(kDir) + "doc\\readme.txt", true);  // read-only: goes on the second try
  s.Lock(std::string(kDir) + "acme.exe");
  const RemovalOutcome outcome = Uninstall(s, Acme());
  EXPECT_FALSE(s.Has(std::string(kDir) + "doc\\readme.txt"));
  ASSERT_FALSE(outcome.Complete());
  EXPECT_EQ(outcome.left.front(), std::string(kDir) + "acme.exe");
  EXPECT_EQ(outcome.scheduled.size(), 2u);  // the file, then ProgDir that only it keeps
  EXPECT_EQ(s.log.back(), "schedule " + std::string(kDir));
}

TEST(RemovalTest, ListedFilesAreRelativeAndNeverReachedThroughAJunction) {
  RecordingRemovalSystem s;
  Install(s);
  s.AddLinkedFolder(std::string(kDir) + "sys");
  s.AddFile("C:\\windows\\system32\\kernel32.dll");
  s.AddFile("C:\\secret.txt");
  UninstallData d = Acme();
  d.files = {"acme.exe", "..\\..\\secret.txt", "C:\\secret.txt", "\\secret.txt", "a:b", "sys\\kernel32.dll",
             "doc\\.\\readme.txt", "doc/readme.txt"};
  const RemovalOutcome outcome = Uninstall(s, d);
  EXPECT_TRUE(s.Has("C:\\secret.txt"));
  EXPECT_TRUE(s.Has("C:\\windows\\system32\\kernel32.dll"));
  EXPECT_FALSE(s.Has(std::string(kDir) + "acme.exe"));
  EXPECT_FALSE(s.Has(std::string(kDir) + "doc\\readme.txt"));  // "/" is a separator too
  EXPECT_EQ(outcome.left.size(), 6u);
}

struct RelativeCase {
  const char* name;
  bool safe;
};

class SafeRelativeFileTest : public ::testing::TestWithParam<RelativeCase> {};

TEST_P(SafeRelativeFileTest, Decides) { EXPECT_EQ(IsSafeRelativeFile(GetParam().name), GetParam().safe) << GetParam().name; }

INSTANTIATE_TEST_SUITE_P(Names, SafeRelativeFileTest,
                         ::testing::Values(RelativeCase{"a.exe", true}, RelativeCase{"bin\\a.exe", true},
                                           RelativeCase{"bin/a.exe", true}, RelativeCase{"", false},
                                           RelativeCase{"..\\a", false}, RelativeCase{"bin\\..\\..\\a", false},
                                           RelativeCase{"C:\\a", false}, RelativeCase{"C:a", false},
                                           RelativeCase{"\\a", false}, RelativeCase{"/a", false},
                                           RelativeCase{"\\\\srv\\s\\a", false}, RelativeCase{"bin\\", false},
                                           RelativeCase{"bin\\\\a", false}, RelativeCase{"a.txt:stream", false},
                                           RelativeCase{"a\x01", false}, RelativeCase{"..a", true}));

TEST(RemovalTest, TaskRecordsGoLastFirstAndOnlyTheirOwnValue) {
  RecordingRemovalSystem s;
  Install(s);
  s.SetValue(kCurrentUser, "Software\\Acme\\Settings", "Path", "x");
  s.SetValue(kCurrentUser, "Software\\Acme\\Keep", "Path", "x");
  s.SetValue(kCurrentUser, "Software\\Acme\\Keep", "Other", "y");
  s.SetValue(kCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Acme", "x");
  s.SetValue(kCurrentUser, "Software\\Acme", "Top", "x");
  s.AddLink("C:\\Users\\u\\Desktop\\Tool.lnk", std::string(kDir) + "acme.exe");
  s.AddLink("C:\\Users\\u\\Desktop\\Foreign.lnk", "C:\\Other\\other.exe");
  s.AddLink("C:\\Users\\u\\Desktop\\Web.lnk", std::string(kSystem) + "rundll32.exe",
            "url.dll,FileProtocolHandler http://a");
  s.AddFile("C:\\windows\\acme.dll");
  UninstallData d = Acme();
  d.tasks = {"2147483649|Software\\Acme\\Settings|Path",
             "2147483649|Software\\Acme\\Keep|Path",
             "2147483649|Software\\Microsoft\\Windows\\CurrentVersion\\Run|Acme",
             "2147483649|Software\\Acme|Top",
             "C:\\Users\\u\\Desktop\\Tool.lnk",
             "C:\\Users\\u\\Desktop\\Foreign.lnk",
             "C:\\Users\\u\\Desktop\\Web.lnk",
             "C:\\windows\\acme.dll",
             "relative.txt",
             "C:\\Program Files",
             "-2147483647|Software\\Acme|Top",
             "12|Software\\Acme|Top",
             "2147483649||Path",
             "2147483649|\\|Path"};
  const RemovalOutcome outcome = Uninstall(s, d);
  EXPECT_FALSE(s.HasKey(kCurrentUser, "Software\\Acme\\Settings"));   // empty and three deep: gone
  EXPECT_TRUE(s.HasKey(kCurrentUser, "Software\\Acme\\Keep"));        // still holds a value
  EXPECT_FALSE(s.HasValue(kCurrentUser, "Software\\Acme\\Keep", "Path"));
  EXPECT_TRUE(s.HasKey(kCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"));
  EXPECT_TRUE(s.HasKey(kCurrentUser, "Software\\Acme"));              // two levels: the key stays
  EXPECT_FALSE(s.Has("C:\\Users\\u\\Desktop\\Tool.lnk"));
  EXPECT_TRUE(s.Has("C:\\Users\\u\\Desktop\\Foreign.lnk"));
  EXPECT_FALSE(s.Has("C:\\Users\\u\\Desktop\\Web.lnk"));
  EXPECT_FALSE(s.Has("C:\\windows\\acme.dll"));
  // Foreign link, relative path, folder, signed root, unknown root, empty key, root only.
  EXPECT_EQ(outcome.left.size(), 7u);
  EXPECT_EQ(s.log.front(), "regval Software\\Acme\\Settings|Path");
  EXPECT_EQ(s.log[1], "regkey Software\\Acme\\Settings");
}

struct KeyCase {
  const char* key;
  bool deletable;
};

class EmptyKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(EmptyKeyTest, Decides) { EXPECT_EQ(MayDeleteEmptyKey(GetParam().key), GetParam().deletable) << GetParam().key; }

INSTANTIATE_TEST_SUITE_P(
    Keys, EmptyKeyTest,
    ::testing::Values(KeyCase{"Software\\Acme\\Settings", true}, KeyCase{"Software\\Acme", false},
                      KeyCase{"Software\\Acme\\Settings\\", true}, KeyCase{"Software\\\\Acme", false},
                      KeyCase{"Software\\Microsoft\\Windows\\CurrentVersion\\Run", false},
                      KeyCase{"Software\\Microsoft\\Windows\\CurrentVersion\\RUNONCE", false},
                      KeyCase{"Software\\Microsoft\\Windows\\CurrentVersion", false},
                      KeyCase{"Software\\Microsoft\\Windows", false}, KeyCase{"Software\\Classes\\.acme", false},
                      KeyCase{"Software\\Classes\\Acme.Doc\\DefaultIcon", true},
                      KeyCase{"Software\\Policies\\Acme", false}, KeyCase{"Software\\Policies\\Acme\\Opt", true},
                      KeyCase{"System\\CurrentControlSet\\Services\\Acme", false},
                      KeyCase{"SOFTWARE\\Brindorel\\x\\Brindorel", false}));

TEST(RemovalTest, RegistryRecordsNeedAPredefinedRootAndAKey) {
  RegistryRecord r;
  ASSERT_TRUE(ParseRegistryRecord("2147483650|\\Software\\Acme\\|", r));
  EXPECT_EQ(r.root, kLocalMachine);
  EXPECT_EQ(r.key, "Software\\Acme");
  EXPECT_EQ(r.name, "");
  for (const char* bad : {"2147483649|Software", "2147483649|a|b|c", "4294967297|Software\\A|v", "2147483652|S\\A|v",
                          "2147483654|S\\A|v", " 2147483649|S\\A|v", "0x80000001|S\\A|v", "|S\\A|v"})
    EXPECT_FALSE(ParseRegistryRecord(bad, r)) << bad;
  EXPECT_TRUE(ParseRegistryRecord("2147483648|.acme|", r));
  EXPECT_TRUE(ParseRegistryRecord("2147483653|Software\\A|v", r));
}

TEST(RemovalTest, StartMenuOnlyBelowAProgramsFolderAndOnlyOurLinks) {
  RecordingRemovalSystem s;
  Install(s);
  const std::string menu = std::string(kPrograms) + "Acme\\";
  s.AddLink(menu + "Foreign.lnk", "C:\\Other\\o.exe");
  s.AddLink(menu + "Web2.lnk", std::string(kSystem) + "rundll32.exe", "url.dll,FileProtocolHandler http://b");
  s.AddFile(menu + "notes.txt");
  Uninstall(s, Acme());
  EXPECT_FALSE(s.Has(menu + "Acme.lnk"));
  EXPECT_FALSE(s.Has(menu + "Homepage.lnk"));
  EXPECT_FALSE(s.Has(menu + "Help.lnk"));
  EXPECT_TRUE(s.Has(menu + "Foreign.lnk"));
  EXPECT_TRUE(s.Has(menu + "Web2.lnk"));  // web links count only under the record's own names
  EXPECT_TRUE(s.Has(menu + "notes.txt"));

  // A start menu outside the programs folders is not touched at all.
  RecordingRemovalSystem t;
  Install(t);
  t.AddLink("C:\\Users\\u\\Desktop\\Acme.lnk", std::string(kDir) + "acme.exe");
  t.AddLink("C:\\Users\\u\\Acme.lnk", std::string(kDir) + "acme.exe");
  UninstallData d = Acme();
  d.startMenu = "C:\\Users\\u\\";
  d.desktopIcon = "C:\\Users\\u\\Desktop\\notes.txt";
  t.AddFile(d.desktopIcon);
  const RemovalOutcome outcome = Uninstall(t, d);
  EXPECT_TRUE(t.Has("C:\\Users\\u\\Acme.lnk"));
  EXPECT_TRUE(t.Has(d.desktopIcon));
  EXPECT_EQ(outcome.left.size(), 2u);

  // Nested menu folders go up to, not including, the programs folder; a
  // parent holding something else stays.
  RecordingRemovalSystem u;
  Install(u);
  u.AddLink(std::string(kPrograms) + "Tools\\Acme\\Acme.lnk", std::string(kDir) + "acme.exe");
  u.AddFile(std::string(kPrograms) + "Tools\\Other.lnk");
  u.AddLink(std::string(kPrograms) + "Deep\\Er\\Acme\\Acme.lnk", std::string(kDir) + "acme.exe");
  d = Acme();
  d.startMenu = std::string(kPrograms) + "Tools\\Acme\\";
  Uninstall(u, d);
  EXPECT_FALSE(u.Has(std::string(kPrograms) + "Tools\\Acme"));
  EXPECT_TRUE(u.Has(std::string(kPrograms) + "Tools"));
  d.startMenu = std::string(kPrograms) + "Deep\\Er\\Acme\\";
  Uninstall(u, d);
  EXPECT_FALSE(u.Has(std::string(kPrograms) + "Deep"));
  EXPECT_TRUE(u.Has(kPrograms));
}

TEST(RemovalTest, TheEntryGoesOnlyWhenItNamesThisUninstaller) {
  RecordingRemovalSystem s;
  Install(s);
  // Another product's entry of the same name under the per-user list.
  s.SetValue(kCurrentUser, kEntry, "UninstallString", "C:\\Other\\Uninstall.exe");
  s.SetValue(kCurrentUser, "SOFTWARE\\Brindorel\\{G}", "Extra", "kept");
  s.SetValue(kCurrentUser, "SOFTWARE\\Brindorel\\{H}", "InstallDir", "x");
  Uninstall(s, Acme());
  EXPECT_FALSE(s.HasKey(kLocalMachine, kEntry));
  EXPECT_TRUE(s.HasKey(kCurrentUser, kEntry));
  EXPECT_TRUE(s.HasValue(kCurrentUser, "SOFTWARE\\Brindorel\\{G}", "Extra"));
  EXPECT_FALSE(s.HasValue(kCurrentUser, "SOFTWARE\\Brindorel\\{G}", "InstallDir"));
  EXPECT_TRUE(s.HasKey(kCurrentUser, "SOFTWARE\\Brindorel\\{H}"));

  // Without GUID the entry is named by ProgLink; an empty name removes nothing.
  UninstallData d = Acme();
  d.guid = "";
  EXPECT_EQ(UninstallEntryName(d), "Acme");
  d.progLink = "\\";
  EXPECT_EQ(UninstallEntryName(d), "");
}

TEST(RemovalTest, UninstallStringComparison) {
  EXPECT_TRUE(EntryNamesThisUninstaller("\"C:\\Program Files\\Acme\\Uninstall.exe\"", kDir));
  EXPECT_TRUE(EntryNamesThisUninstaller("c:\\program files\\\\acme\\UNINSTALL.EXE", kDir));
  EXPECT_FALSE(EntryNamesThisUninstaller("C:\\Program Files\\Acme\\Uninstall.exe /S", kDir));
  EXPECT_FALSE(EntryNamesThisUninstaller("C:\\Program Files\\Acme2\\Uninstall.exe", kDir));
  EXPECT_FALSE(EntryNamesThisUninstaller("", kDir));
  EXPECT_FALSE(EntryNamesThisUninstaller("Uninstall.exe", ""));
}

}  // namespace
}  // namespace brindorel

#include "install/shell_links.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "services/file_system.h"
#include "tests/win32/support/win32_checks.h"

namespace brindorel {
namespace {

using wine_checks::DeleteKeyTree;
using wine_checks::LinkContent;
using wine_checks::ReadLink;
using wine_checks::ReadStoredValue;
using wine_checks::StoredValue;

constexpr std::uint32_t kCurrentUser = 0x80000001u;
constexpr std::uint32_t kLocalMachine = 0x80000002u;
const std::string kSubkey = "{BrindorelTest-Links}";

std::string TestFolder() {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  return std::string(temp) + "brindorel-links-test\\";
}

class ShellLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveFolder(TestFolder(), "", kRemoveSubfolders | kRemoveForced);
    MakeFolderPath(TestFolder());
  }
  void TearDown() override { RemoveFolder(TestFolder(), "", kRemoveSubfolders | kRemoveForced); }
};

struct LinkCase {
  const char* name;
  const char* target;
  const char* workingFolder;
  const char* arguments;
  std::int32_t showCommand;
  const char* iconFile;  // "|": the target
  std::int32_t iconIndex;
  const char* expectedIcon;
};

class ShellLinkReadBack : public ShellLinkTest, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(ShellLinkReadBack, EveryFieldReadsBackThroughTheShell) {
  const LinkCase& c = GetParam();
  const std::string linkFile = TestFolder() + c.name;
  ASSERT_EQ(1, CreateShortcut(c.target, linkFile, c.workingFolder, c.arguments, c.showCommand, "", 0, c.iconFile,
                              c.iconIndex));
  const LinkContent link = ReadLink(linkFile);
  ASSERT_TRUE(link.loaded);
  EXPECT_EQ(link.path, c.target);
  EXPECT_EQ(link.arguments, c.arguments);
  EXPECT_EQ(link.workingFolder, c.workingFolder);
  EXPECT_EQ(link.iconFile, c.expectedIcon);
  EXPECT_EQ(link.iconIndex, c.iconIndex);
  EXPECT_EQ(link.showCommand, c.showCommand);
}

INSTANTIATE_TEST_SUITE_P(
    Links, ShellLinkReadBack,
    ::testing::Values(
        // "|" makes the target its own icon file.
        LinkCase{"Demo Tool.lnk", "C:\\Program Files\\Demo\\demo.exe", "C:\\Program Files\\Demo\\", "", 1, "|", 2,
                 "C:\\Program Files\\Demo\\demo.exe"},
        LinkCase{"negative.lnk", "C:\\Demo\\bin\\tool.exe", "C:\\Demo\\bin\\", "", 1, "|", -3,
                 "C:\\Demo\\bin\\tool.exe"},
        // Any other icon text is used as given; web links carry arguments and no working folder.
        // (Wine reads every show command back as 1, the only one the installer uses.)
        LinkCase{"Homepage.lnk", "C:\\windows\\system32\\rundll32.exe", "",
                 "url.dll,FileProtocolHandler https://acme.invalid/demo", 1, "C:\\windows\\system32\\url.dll", 0,
                 "C:\\windows\\system32\\url.dll"},
        LinkCase{"arguments.lnk", "C:\\Demo\\demo.exe", "C:\\Demo\\", "-x", 1, "C:\\Demo\\other.ico", 1,
                 "C:\\Demo\\other.ico"}));

TEST_F(ShellLinkTest, SaveIntoAMissingFolderGivesZeroAndNoFile) {
  const std::string linkFile = TestFolder() + "absent\\Demo.lnk";
  EXPECT_EQ(0, CreateShortcut("C:\\Demo\\demo.exe", linkFile, "C:\\Demo\\", "", 1, "", 0, "|", 0));
  EXPECT_EQ(0, PathExists(linkFile));
}

TEST_F(ShellLinkTest, CallsWorkInsideAnApartmentTheCallerOpened) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  EXPECT_EQ(1, CreateShortcut("C:\\Demo\\demo.exe", TestFolder() + "a.lnk", "", "", 1, "", 0, "|", 0));
  EXPECT_EQ(1, CreateShortcut("C:\\Demo\\demo.exe", TestFolder() + "b.lnk", "", "", 1, "", 0, "|", 0));
  // The apartment is still ours: a third call and the read-back work.
  EXPECT_TRUE(ReadLink(TestFolder() + "a.lnk").loaded);
  CoUninitialize();
}

class UninstallEntryTest : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  static void Clean() {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string(kUninstallKeyBase) + kSubkey);
    DeleteKeyTree(HKEY_CURRENT_USER, std::string(kUninstallKeyBase) + kSubkey);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string(kUninstallKeyBase) + "Demo Tool");
  }
  static StoredValue Value(HKEY root, const std::string& subkey, const char* name) {
    return ReadStoredValue(root, std::string(kUninstallKeyBase) + subkey, name);
  }
};

TEST_F(UninstallEntryTest, SevenValuesWithTheirZeroCounted) {
  ASSERT_EQ(kUninstallEntryMachine,
            WriteUninstallEntry(kSubkey, "Demo Tool", "Acme", "https://acme.invalid", "", "C:\\Apps\\Demo\\demo.exe",
                                "C:\\Program Files\\Demo\\Uninstall.exe"));
  const struct {
    const char* name;
    std::string text;
  } expected[] = {
      {"DisplayName", "Demo Tool"},
      {"DisplayIcon", "C:\\Apps\\Demo\\demo.exe"},
      {"Publisher", "Acme"},
      {"URLInfoAbout", "https://acme.invalid"},
      {"HelpLink", "https://acme.invalid"},
      {"Contact", ""},  // present, empty
      {"UninstallString", "\"C:\\Program Files\\Demo\\Uninstall.exe\""},
  };
  for (const auto& e : expected) {
    const StoredValue v = Value(HKEY_LOCAL_MACHINE, kSubkey, e.name);
    ASSERT_TRUE(v.present) << e.name;
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ)) << e.name;
    EXPECT_EQ(v.bytes, e.text + '\0') << e.name;
  }
  EXPECT_FALSE(wine_checks::KeyExists(HKEY_CURRENT_USER, std::string(kUninstallKeyBase) + kSubkey));
}

TEST_F(UninstallEntryTest, WithoutGuidTheDisplayNameNamesTheKeyAndAPathWithoutSpaceStaysBare) {
  ASSERT_EQ(kUninstallEntryMachine, WriteUninstallEntry("", "Demo Tool", "", "", "", "", "C:\\Demo\\Uninstall.exe"));
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "Demo Tool", "UninstallString").bytes, std::string("C:\\Demo\\Uninstall.exe") + '\0');
  // A second run overwrites the same entry.
  ASSERT_EQ(kUninstallEntryMachine, WriteUninstallEntry("", "Demo Tool", "B", "", "", "", "C:\\Demo\\Uninstall.exe"));
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "Demo Tool", "Publisher").Text(), "B");
}

TEST_F(UninstallEntryTest, PerUserListTakesTheSameValues) {
  ASSERT_EQ(1, WriteUninstallEntryUnder(kCurrentUser, kSubkey, "Demo Tool", "Acme", "w", "c", "i", "u"));
  EXPECT_EQ(Value(HKEY_CURRENT_USER, kSubkey, "Contact").bytes, std::string("c") + '\0');
  EXPECT_EQ(Value(HKEY_CURRENT_USER, kSubkey, "UninstallString").bytes, std::string("u") + '\0');
}

// A key name longer than the registry's 255 characters cannot be created
// under either list: the entry is reported as not written and nothing is
// left behind.
TEST_F(UninstallEntryTest, OverlongKeyNameIsReportedAsNotWritten) {
  for (const std::size_t length : {256u, 300u, 1000u}) {
    const std::string name(length, 'g');
    EXPECT_EQ(0, WriteUninstallEntryUnder(kLocalMachine, name, "D", "", "", "", "", "u")) << length;
    EXPECT_EQ(kUninstallEntryNotWritten, WriteUninstallEntry(name, "D", "", "", "", "", "u")) << length;
    EXPECT_FALSE(wine_checks::KeyExists(HKEY_CURRENT_USER, std::string(kUninstallKeyBase) + name));
  }
  EXPECT_EQ(0, WriteUninstallEntryUnder(kLocalMachine, "", "D", "", "", "", "", "u"));
}

}  // namespace
}  // namespace brindorel

#include "services/folders.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace brindorel {
namespace {

// A machine's folders for the expansion; ids not listed have no folder.
struct FakeFolders {
  std::map<std::int32_t, std::string> folders = {
      {-6, "C:\\Program Files\\"}, {-3, "C:\\windows\\"},      {-2, "C:\\windows\\system32\\"},
      {43, "C:\\Program Files\\Common Files\\"},                {26, "C:\\users\\me\\AppData\\"},
      {7, "C:\\users\\me\\Start Menu\\Programs\\StartUp\\"},   {-5, "C:\\users\\me\\AppData\\QL\\"},
      {5, "C:\\users\\me\\Documents\\"},                       {20, "C:\\windows\\Fonts\\"},
  };
  std::vector<std::int32_t> asked;

  FolderLookup Lookup() {
    return [this](std::int32_t id) {
      asked.push_back(id);
      auto found = folders.find(id);
      return found == folders.end() ? std::string() : found->second;
    };
  }
};

struct ExpansionCase {
  const char* text;
  const char* expected;
};

class ExpansionTest : public ::testing::TestWithParam<ExpansionCase> {};

TEST_P(ExpansionTest, Expands) {
  FakeFolders machine;
  EXPECT_EQ(GetParam().expected, ExpandFolderPlaceholders(GetParam().text, machine.Lookup()));
}

INSTANTIATE_TEST_SUITE_P(
    Placeholders, ExpansionTest,
    ::testing::Values(
        ExpansionCase{"%ProgramFiles%", "C:\\Program Files\\"},
        ExpansionCase{"%ProgramFiles%Brindorel", "C:\\Program Files\\Brindorel"},
        ExpansionCase{"%ProgramFiles%\\Brindorel", "C:\\Program Files\\\\Brindorel"},
        // Fewer than two "%": placed below Program Files whatever it holds.
        ExpansionCase{"Brindorel\\", "C:\\Program Files\\Brindorel\\"},
        ExpansionCase{"", "C:\\Program Files\\"},
        ExpansionCase{"100%Windows", "C:\\Program Files\\100%Windows"},
        ExpansionCase{"D:\\Tools", "C:\\Program Files\\D:\\Tools"},
        // A result that starts with a drive is not anchored.
        ExpansionCase{"%Windows%Brindorel", "C:\\windows\\Brindorel"},
        ExpansionCase{"%System%a.dll", "C:\\windows\\system32\\a.dll"},
        ExpansionCase{"%CommonFiles%Shared", "C:\\Program Files\\Common Files\\Shared"},
        ExpansionCase{"%AppData%x", "C:\\users\\me\\AppData\\x"},
        ExpansionCase{"%StartUp%", "C:\\users\\me\\Start Menu\\Programs\\StartUp\\"},
        ExpansionCase{"%QuickLaunch%", "C:\\users\\me\\AppData\\QL\\"},
        ExpansionCase{"%MyDocuments%", "C:\\users\\me\\Documents\\"},
        ExpansionCase{"%Fonts%f.ttf", "C:\\windows\\Fonts\\f.ttf"},
        ExpansionCase{"D:\\%Windows%", "D:\\C:\\windows\\"},
        ExpansionCase{"%Windows%%Windows%", "C:\\windows\\C:\\windows\\"},
        // Unknown names and other letter cases stay and are anchored.
        ExpansionCase{"%Unknown%x", "C:\\Program Files\\%Unknown%x"},
        ExpansionCase{"%windows%x", "C:\\Program Files\\%windows%x"},
        // A folder the machine lacks vanishes from the text.
        ExpansionCase{"%Quillmark%Macros", "C:\\Program Files\\Macros"},
        // Separators mean nothing here.
        ExpansionCase{"%Windows%a|%System%b", "C:\\windows\\a|C:\\windows\\system32\\b"}));

TEST(ExpansionOrderTest, EveryFolderIsAskedOnceInTableOrder) {
  FakeFolders machine;
  ExpandFolderPlaceholders("%Windows%x", machine.Lookup());
  EXPECT_EQ((std::vector<std::int32_t>{-6, -3, -2, 43, 26, 7, -5, 5, -7, 20}), machine.asked);
}

TEST(ExpansionOrderTest, WithoutProgramFilesNothingIsAnchored) {
  FakeFolders machine;
  machine.folders.erase(-6);
  EXPECT_EQ("Brindorel", ExpandFolderPlaceholders("Brindorel", machine.Lookup()));
  EXPECT_EQ("x", ExpandFolderPlaceholders("%ProgramFiles%x", machine.Lookup()));
}

TEST(FolderPartsTest, DriveAndSeparator) {
  EXPECT_TRUE(StartsWithDrive("C:\\"));
  EXPECT_FALSE(StartsWithDrive("C:"));
  EXPECT_FALSE(StartsWithDrive("C:/x"));
  EXPECT_FALSE(StartsWithDrive("\\\\server\\share"));
  EXPECT_EQ("", WithTrailingSeparator(""));
  EXPECT_EQ("C:\\a\\", WithTrailingSeparator("C:\\a"));
  EXPECT_EQ("C:\\a\\", WithTrailingSeparator("C:\\a\\"));
  EXPECT_EQ("C:\\Data\\Microsoft\\Internet Explorer\\Quick Launch\\", QuickLaunchFolder("C:\\Data\\"));
  EXPECT_EQ("C:\\Data\\Microsoft\\Internet Explorer\\Quick Launch\\", QuickLaunchFolder("C:\\Data"));
  EXPECT_EQ("", QuickLaunchFolder(""));
}

struct CommandCase {
  const char* value;
  const char* folder;
};

class CommandValueTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandValueTest, KeepsTheProgramFolder) {
  EXPECT_EQ(GetParam().folder, CommandValueFolder(GetParam().value));
}

INSTANTIATE_TEST_SUITE_P(
    Values, CommandValueTest,
    ::testing::Values(CommandCase{"\"C:\\Tools\\Quillmark\\Quillmark.exe\" \"%1\"", "C:\\Tools\\Quillmark\\"},
                      CommandCase{"\"C:/Tools/Quillmark.exe\" \"%1\"", "C:/Tools/"},
                      CommandCase{"\"C:\\A|B\\Quillmark.exe\" \"%1\"", "C:\\"},
                      CommandCase{"\"\"C:\\Tools\\Q.exe\" \"%1\"", "C:\\Tools\\"},
                      CommandCase{"\"Quillmark.exe\" \"%1\"", ""},
                      // Too short for the seven characters that are cut.
                      CommandCase{"", ""}, CommandCase{"\"", ""}, CommandCase{"\"%1\"", ""},
                      CommandCase{"\"\\\"%1\"", ""}, CommandCase{"x\\\"%1\"y", ""},
                      CommandCase{"x\\y\"%1\"z", "\\"}));

}  // namespace
}  // namespace brindorel

#include "services/folder_rules.h"

#include <gtest/gtest.h>

#include <map>

namespace brindorel {
namespace {

TEST(FolderRules, NormalisesSeparatorsLevelsAndCase) {
  EXPECT_EQ(NormaliseFolderPath("C:\\Program Files\\\\Acme\\"), "c:\\program files\\acme");
  EXPECT_EQ(NormaliseFolderPath("c:/Program Files/./Acme/Sub/.."), "c:\\program files\\acme");
  EXPECT_EQ(NormaliseFolderPath("C:\\..\\..\\Windows"), "c:\\windows");
  EXPECT_EQ(NormaliseFolderPath("\\\\Server\\Share\\\\Apps\\"), "\\\\server\\share\\apps");
  EXPECT_EQ(NormaliseFolderPath("\\\\server\\share\\..\\.."), "\\\\server\\share");
  for (const char* relative : {"", "Acme", "\\Acme", "C:Acme", "\\\\server", "\\\\\\share\\x",
                               "\\\\server\\\\x", "\\\\?\\C:\\x", "\\\\.\\pipe\\x"}) {
    EXPECT_EQ(NormaliseFolderPath(relative), "") << relative;
    EXPECT_FALSE(IsAbsoluteFolderPath(relative)) << relative;
  }
}

TEST(FolderRules, ComparesFoldersAsNormalised) {
  EXPECT_TRUE(SameFolderPath("C:\\Program Files\\Acme\\", "c:\\PROGRAM FILES\\\\acme"));
  EXPECT_FALSE(SameFolderPath("Acme", "Acme"));
  EXPECT_TRUE(IsBelowFolder("C:\\Program Files\\Acme\\bin", "c:\\program files\\"));
  EXPECT_FALSE(IsBelowFolder("C:\\Program Files", "C:\\Program Files\\"));
  // A common prefix is not a parent folder.
  EXPECT_FALSE(IsBelowFolder("C:\\Program Files Extra\\Acme", "C:\\Program Files"));
  EXPECT_TRUE(IsBelowFolder("C:\\x", "C:\\"));
}

class InstallFolderCheck : public ::testing::Test {
 protected:
  ProtectedFolders folders_ = LookUpProtectedFolders(
      [](std::int32_t id) -> std::string {
        static const std::map<std::int32_t, std::string> known = {
            {-3, "C:\\windows\\"},
            {-2, "C:\\windows\\system32\\"},
            {-4, "C:\\users\\bob\\Temp\\"},
            {-6, "C:\\Program Files\\"},
            {43, "C:\\Program Files\\Common Files\\"},
            {40, "C:\\users\\bob\\"},
            {0, "C:\\users\\bob\\Desktop\\"},
            {5, "C:\\users\\bob\\Documents\\"},
            {2, "C:\\users\\bob\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\"},
        };
        auto found = known.find(id);
        return found == known.end() ? std::string() : found->second;
      },
      "C:\\users\\bob\\Temp\\Brindorel\\");
};

TEST_F(InstallFolderCheck, AcceptsOrdinaryFolders) {
  for (const char* good : {"C:\\Program Files\\Acme Demo\\", "c:\\program files\\acme", "D:\\Apps\\Acme",
                           "\\\\server\\share\\Acme\\", "C:\\users\\bob\\Tools\\Acme",
                           "C:\\Program Files\\Common Files\\Acme", "C:\\Program Files\\..\\Acme"}) {
    EXPECT_EQ(CheckInstallFolder(good, folders_), FolderProblem::None) << good;
  }
}

TEST_F(InstallFolderCheck, RefusesWhatWouldHarmTheSystemOrTheUser) {
  const struct {
    const char* path;
    FolderProblem problem;
  } cases[] = {
      {"", FolderProblem::NotAbsolute},
      {"\\", FolderProblem::NotAbsolute},
      {"\\Acme Demo", FolderProblem::NotAbsolute},           // the current drive's root
      {"\\\\Acme Demo", FolderProblem::NotAbsolute},         // a server without share
      {"Program Files\\Acme", FolderProblem::NotAbsolute},
      {"C:\\", FolderProblem::DriveRoot},
      {"C:\\\\", FolderProblem::DriveRoot},
      {"C:\\Acme\\..", FolderProblem::DriveRoot},
      {"\\\\server\\share\\", FolderProblem::DriveRoot},
      {"C:\\Program Files\\", FolderProblem::ProtectedFolder},
      {"c:\\PROGRAM FILES", FolderProblem::ProtectedFolder},
      {"C:\\Program Files\\Common Files", FolderProblem::ProtectedFolder},
      {"C:\\Windows", FolderProblem::ProtectedFolder},
      {"C:\\Windows\\System32\\", FolderProblem::ProtectedFolder},
      {"C:\\Windows\\Acme\\..\\System32", FolderProblem::ProtectedFolder},
      {"C:\\users\\bob", FolderProblem::ProtectedFolder},
      {"C:\\users", FolderProblem::ProtectedFolder},  // holds the profile
      {"C:\\users\\bob\\Desktop", FolderProblem::ProtectedFolder},
      {"C:\\users\\bob\\Documents\\", FolderProblem::ProtectedFolder},
      {"C:\\users\\bob\\AppData\\Roaming", FolderProblem::ProtectedFolder},  // holds the programs folder
      {"C:\\users\\bob\\Temp", FolderProblem::ProtectedFolder},
      {"C:\\users\\bob\\Temp\\Brindorel\\Acme", FolderProblem::InsideWorkFolder},
      {"C:\\users\\bob\\Temp\\Brindorel", FolderProblem::InsideWorkFolder},
      {"C:\\Program Files\\Ac|me", FolderProblem::BadCharacters},
      {"C:\\Program Files\\Acme?", FolderProblem::BadCharacters},
      {"C:\\Program Files\\Acme:stream", FolderProblem::BadCharacters},
      {"C:\\Program Files\\Acme.", FolderProblem::BadCharacters},
      {"C:\\Program Files\\Acme \\bin", FolderProblem::BadCharacters},
      {"C:\\Program Files\\con", FolderProblem::BadCharacters},
      {"C:\\Program Files\\LPT1.txt", FolderProblem::BadCharacters},
      {"C:\\Program Files\\Ac\tme", FolderProblem::BadCharacters},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckInstallFolder(c.path, folders_), c.problem) << c.path;
}

TEST_F(InstallFolderCheck, RefusesFoldersThatLeaveNoRoomForFiles) {
  std::string path = "C:\\Apps\\";
  path += std::string(kLongestInstallFolder - path.size() - 1, 'a');
  EXPECT_EQ(CheckInstallFolder(path, folders_), FolderProblem::None);
  EXPECT_EQ(CheckInstallFolder(path + "\\", folders_), FolderProblem::None);
  EXPECT_EQ(CheckInstallFolder(path + "a", folders_), FolderProblem::TooLong);

  // The limit counts characters as Windows does (UTF-16 units), not bytes:
  // three-byte CJK characters fill it no faster than Latin letters.
  std::string cjk = "C:\\Apps\\";
  for (std::size_t i = cjk.size(); i + 1 < kLongestInstallFolder; ++i) cjk += "\xE4\xB8\xAD";
  EXPECT_EQ(CheckInstallFolder(cjk, folders_), FolderProblem::None);
  EXPECT_EQ(CheckInstallFolder(cjk + "\xE4\xB8\xAD", folders_), FolderProblem::TooLong);
}

// What a 32-bit installer sees on a 64-bit Windows: its own Program Files,
// Common Files and system folder are the 32-bit ones, the 64-bit programs'
// folders come from the other view, and the temporary folder is spelt short.
// `longForm` knows the folders that exist, by any spelling, as the system does.
class BothViewsCheck : public ::testing::Test {
 protected:
  static std::string Long(const std::string& path) {
    static const std::map<std::string, std::string> existing = {
        {"c:\\program files", "C:\\Program Files"},
        {"c:\\progra~1", "C:\\Program Files"},
        {"c:\\program files (x86)", "C:\\Program Files (x86)"},
        {"c:\\progra~2", "C:\\Program Files (x86)"},
        {"c:\\progra~2\\common~1", "C:\\Program Files (x86)\\Common Files"},
        {"c:\\progra~1\\common~1", "C:\\Program Files\\Common Files"},
        {"c:\\progra~2\\acme", "C:\\Program Files (x86)\\Acme"},
        {"c:\\progra~3", "C:\\ProgramData"},
        {"c:\\users\\bobsmi~1", "C:\\Users\\Bob Smith"},
        {"c:\\users\\bobsmi~1\\appdata\\local\\temp", "C:\\Users\\Bob Smith\\AppData\\Local\\Temp"},
        {"c:\\windows\\syswow64", "C:\\Windows\\SysWOW64"},
        {"c:\\windows\\system~2", "C:\\Windows\\SysWOW64"},
    };
    auto found = existing.find(NormaliseFolderPath(path));
    return found == existing.end() ? std::string() : found->second;
  }

  ProtectedFolders folders_ = LookUpProtectedFolders(
      [](std::int32_t id) -> std::string {
        static const std::map<std::int32_t, std::string> known = {
            {-3, "C:\\Windows\\"},
            {-2, "C:\\Windows\\system32\\"},
            {-4, "C:\\Users\\BOBSMI~1\\AppData\\Local\\Temp\\"},
            {-6, "C:\\Program Files (x86)\\"},
            {38, "C:\\Program Files (x86)\\"},
            {42, "C:\\Program Files (x86)\\"},
            {43, "C:\\Program Files (x86)\\Common Files\\"},
            {44, "C:\\Program Files (x86)\\Common Files\\"},
            {-9, "C:\\Program Files\\"},
            {-10, "C:\\Program Files\\Common Files\\"},
            {-11, "C:\\Windows\\SysWOW64\\"},
            {-12, "C:\\Windows\\Sysnative\\"},
            {35, "C:\\ProgramData\\"},
            {40, "C:\\Users\\Bob Smith\\"},
        };
        auto found = known.find(id);
        return found == known.end() ? std::string() : found->second;
      },
      "C:\\Users\\BOBSMI~1\\AppData\\Local\\Temp\\Brindorel\\", Long);
};

TEST_F(BothViewsCheck, RefusesTheSystemFoldersOfEitherViewHoweverSpelt) {
  const struct {
    const char* path;
    FolderProblem problem;
  } cases[] = {
      {"C:\\Program Files", FolderProblem::ProtectedFolder},
      {"C:\\Program Files (x86)\\", FolderProblem::ProtectedFolder},
      {"c:\\PROGRAM FILES (X86)", FolderProblem::ProtectedFolder},
      {"C:\\PROGRA~1", FolderProblem::ProtectedFolder},
      {"C:\\PROGRA~2\\", FolderProblem::ProtectedFolder},
      {"c:/progra~2/.", FolderProblem::ProtectedFolder},
      {"C:\\PROGRA~2\\Acme Demo\\..", FolderProblem::ProtectedFolder},
      {"C:\\Program Files\\Acme Demo\\..\\", FolderProblem::ProtectedFolder},
      {"C:\\Program Files\\Common Files", FolderProblem::ProtectedFolder},
      {"C:\\Program Files (x86)\\Common Files", FolderProblem::ProtectedFolder},
      {"C:\\PROGRA~2\\COMMON~1", FolderProblem::ProtectedFolder},
      {"C:\\PROGRA~1\\Common~1\\", FolderProblem::ProtectedFolder},
      {"C:\\Windows\\SysWOW64", FolderProblem::ProtectedFolder},
      {"C:\\WINDOWS\\SYSTEM~2", FolderProblem::ProtectedFolder},
      {"C:\\Windows\\Sysnative\\", FolderProblem::ProtectedFolder},
      {"C:\\Windows\\System32", FolderProblem::ProtectedFolder},
      {"C:\\ProgramData", FolderProblem::ProtectedFolder},
      {"C:\\PROGRA~3", FolderProblem::ProtectedFolder},
      {"C:\\Users\\Bob Smith", FolderProblem::ProtectedFolder},
      {"C:\\Users\\BOBSMI~1\\", FolderProblem::ProtectedFolder},
      {"C:\\Users", FolderProblem::ProtectedFolder},  // holds the profile
      {"C:\\Users\\Bob Smith\\AppData\\Local\\Temp", FolderProblem::ProtectedFolder},
      {"C:\\Users\\Bob Smith\\AppData\\Local\\Temp\\Brindorel\\x", FolderProblem::InsideWorkFolder},
      {"C:\\Users\\BOBSMI~1\\AppData\\Local\\Temp\\Brindorel", FolderProblem::InsideWorkFolder},
      {"C:\\PROGRA~2\\..", FolderProblem::DriveRoot},
      // Folders of their own below them are what installations are for.
      {"C:\\Program Files\\Acme Demo", FolderProblem::None},
      {"C:\\Program Files (x86)\\Acme Demo\\", FolderProblem::None},
      {"C:\\PROGRA~2\\Acme Demo", FolderProblem::None},
      {"C:\\PROGRA~2\\Acme\\Demo", FolderProblem::None},
      {"C:\\Program Files (x86)\\Common Files\\Acme", FolderProblem::None},
      {"D:\\PROGRA~2", FolderProblem::None},  // another drive's folder of that short name is unknown
      {"C:\\Program Files (x86) Extra", FolderProblem::None},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckInstallFolder(c.path, folders_), c.problem) << c.path;
}

TEST(FolderRules, LongFormsSpellOutTheDeepestLevelThatExists) {
  const LongPathLookup longForm = [](const std::string& path) -> std::string {
    if (path == "c:\\progra~2") return "C:\\Program Files (x86)";
    if (path == "c:\\progra~2\\acme~1") return "C:\\Program Files (x86)\\Acme Tools";
    if (path == "\\\\srv\\share\\apps~1") return "\\\\srv\\share\\Applications";
    return "";
  };
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\PROGRA~2", "c:\\program files (x86)"},
      {"C:\\PROGRA~2\\New\\Deeper\\", "c:\\program files (x86)\\new\\deeper"},
      {"C:\\PROGRA~2\\ACME~1\\bin", "c:\\program files (x86)\\acme tools\\bin"},
      {"C:\\PROGRA~2\\x\\..\\ACME~1", "c:\\program files (x86)\\acme tools"},
      {"C:\\Other\\PROGRA~2", "c:\\other\\progra~2"},
      {"C:\\", "c:"},
      {"\\\\SRV\\Share\\APPS~1\\x", "\\\\srv\\share\\applications\\x"},
      {"relative\\PROGRA~2", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(LongNormalisedFolderPath(c.first, longForm), c.second) << c.first;
  EXPECT_EQ(LongNormalisedFolderPath("C:\\PROGRA~2\\", LongPathLookup()), "c:\\progra~2");
  // A lookup that answers nonsense changes nothing.
  EXPECT_EQ(LongNormalisedFolderPath("C:\\A~1", [](const std::string&) { return std::string("rel"); }), "c:\\a~1");
}

TEST(FolderRules, WindowsNameProblems) {
  const std::pair<std::string, NameProblem> cases[] = {
      {"readme.txt", NameProblem::None},
      {"\xE4\xB8\xAD\xE6\x96\x87.txt", NameProblem::None},
      {"CONSOLE", NameProblem::None},
      {".profile", NameProblem::None},
      {std::string(255, 'x'), NameProblem::None},
      {"\xCE\xB1" + std::string(254, 'x'), NameProblem::None},  // 255 units, 256 bytes
      {std::string(256, 'x'), NameProblem::TooLong},
      {"aux", NameProblem::DeviceName},
      {"Nul.txt", NameProblem::DeviceName},
      {"com9.tar.gz", NameProblem::DeviceName},
      {"LPT1 ", NameProblem::TrailingDotOrSpace},
      {"name.", NameProblem::TrailingDotOrSpace},
      {"a:b", NameProblem::BadCharacter},
      {"a\\b", NameProblem::BadCharacter},
      {"a/b", NameProblem::BadCharacter},
      {"tab\there", NameProblem::BadCharacter},
      {"\x7F" "del", NameProblem::None},
      {"star*", NameProblem::BadCharacter},
      {"caf\xE9", NameProblem::NotUtf8},
  };
  for (const auto& c : cases) EXPECT_EQ(WindowsNameProblem(c.first), c.second) << c.first;
}

TEST(FolderRules, ExtendedLengthPathsAreTidiedAsTheSystemWould) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Program Files\\Acme\\app.exe", "\\\\?\\C:\\Program Files\\Acme\\app.exe"},
      {"c:/a//b/./c/../d\\", "\\\\?\\c:\\a\\b\\d\\"},
      {"C:\\..\\..\\x", "\\\\?\\C:\\x"},
      {"C:\\", "\\\\?\\C:\\"},
      {"\\\\Server\\Share\\dir\\f.txt", "\\\\?\\UNC\\Server\\Share\\dir\\f.txt"},
      {"\\\\?\\C:\\already", "\\\\?\\C:\\already"},
      {"\\\\.\\pipe\\x", "\\\\.\\pipe\\x"},
      {"relative\\path", "relative\\path"},
      {"C:relative", "C:relative"},
      {"C:\\\xCE\xB1\\\xE4\xB8\xAD", "\\\\?\\C:\\\xCE\xB1\\\xE4\xB8\xAD"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExtendedLengthPath(c.first), c.second) << c.first;
}

TEST(FolderRules, MenuFolderNamesStayInsideTheProgramsFolder) {
  for (const char* good : {"Acme", "Acme\\Demo", "Games\\Acme Demo", "Acme\\\\Demo"})
    EXPECT_TRUE(IsSafeMenuFolderName(good)) << good;
  for (const char* bad : {"", "\\", "\\Acme", "/Acme", "..", "Acme\\..\\..\\x", ".\\Acme", "C:\\Acme",
                          "C:Acme", "\\\\server\\share", "Ac*me", "Acme\\nul", "Acme."})
    EXPECT_FALSE(IsSafeMenuFolderName(bad)) << bad;
}

}  // namespace
}  // namespace brindorel

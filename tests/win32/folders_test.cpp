#include "services/folders.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace brindorel {
namespace {

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string MachineValue(const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return "";
  }
  char buffer[MAX_PATH] = {};
  DWORD size = sizeof buffer - 1;
  RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  return buffer;
}

class ExistingFolderTest : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(ExistingFolderTest, EndsInSeparatorAndExists) {
  std::string folder = GetSpecialFolder(GetParam());
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ('\\', folder.back());
  EXPECT_NE("\\\\", folder.substr(folder.size() - 2));
  EXPECT_TRUE(IsFolder(folder)) << folder;
}

// Desktop, programs, documents, startup, fonts, common programs, application
// data, common files, and the current, system, Windows and temporary folders.
INSTANTIATE_TEST_SUITE_P(Ids, ExistingFolderTest, ::testing::Values(0, 2, 5, 7, 20, 23, 26, 43, -1, -2, -3, -4, -6));

TEST(SpecialFolderTest, DirectoryCallsAndRegistryValues) {
  char buffer[MAX_PATH] = {};
  GetWindowsDirectoryA(buffer, MAX_PATH);
  EXPECT_EQ(std::string(buffer) + "\\", GetSpecialFolder(-3));
  GetSystemDirectoryA(buffer, MAX_PATH);
  EXPECT_EQ(std::string(buffer) + "\\", GetSpecialFolder(-2));
  GetCurrentDirectoryA(MAX_PATH, buffer);
  EXPECT_EQ(WithTrailingSeparator(buffer), GetSpecialFolder(-1));

  ASSERT_FALSE(MachineValue("ProgramFilesDir").empty());
  EXPECT_EQ(WithTrailingSeparator(MachineValue("ProgramFilesDir")), GetSpecialFolder(-6));
  EXPECT_EQ(WithTrailingSeparator(MachineValue("CommonFilesDir")), GetSpecialFolder(43));
}

TEST(SpecialFolderTest, QuickLaunchIsBelowApplicationData) {
  EXPECT_EQ(GetSpecialFolder(26) + "Microsoft\\Internet Explorer\\Quick Launch\\", GetSpecialFolder(-5));
}

TEST(SpecialFolderTest, FoldersThatDoNotExistAreEmpty) {
  // Virtual shell folders and ids no one defines have no path; no "\" is added.
  for (std::int32_t id : {17, 200, -9, -100}) {
    SCOPED_TRACE(id);
    EXPECT_EQ("", GetSpecialFolder(id));
  }
  // The development environment is not registered in a fresh prefix.
  EXPECT_EQ("", GetSpecialFolder(-7));
  EXPECT_EQ("", GetSpecialFolder(-8));
}

TEST(TempFolderTest, LongFormEndingInSeparator) {
  std::string temp = GetTempFolder();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ('\\', temp.back());
  EXPECT_TRUE(IsFolder(temp));
  char long_form[MAX_PATH] = {};
  GetLongPathNameA(temp.c_str(), long_form, MAX_PATH);
  EXPECT_EQ(std::string(long_form), temp);
}

TEST(SystemExpansionTest, UsesTheMachineFolders) {
  const std::string programFiles = GetSpecialFolder(-6);
  EXPECT_EQ(programFiles, ExpandFolderPlaceholders("%ProgramFiles%"));
  EXPECT_EQ(programFiles + "Brindorel\\", ExpandFolderPlaceholders("Brindorel\\"));
  EXPECT_EQ(GetSpecialFolder(-3) + "Brindorel", ExpandFolderPlaceholders("%Windows%Brindorel"));
  EXPECT_EQ(programFiles + "Macros", ExpandFolderPlaceholders("%Quillmark%Macros"));
  EXPECT_EQ(programFiles + "%Unknown%x", ExpandFolderPlaceholders("%Unknown%x"));
}

}  // namespace
}  // namespace brindorel

// The Windows edge of text under Wine: the UTF-8/UTF-16 pair against the
// system's own conversions, the system's code page, and the services with
// names in other scripts and paths past 260 characters.
#include "services/wide_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "package/package_format.h"
#include "package/package_reader.h"
#include "install/shell_links.h"
#include "services/file_system.h"
#include "services/folders.h"
#include "services/process_runner.h"
#include "services/registry.h"
#include "services/text.h"
#include "services/utf8.h"
#include "tests/win32/support/win32_checks.h"

namespace brindorel {
namespace {

const char kGreek[] = "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC";  // "Ελληνικά"
const char kCjk[] = "\xE6\x96\x87\xE4\xBB\xB6";                                              // "文件"
const char kCyrillic[] = "\xD0\x9F\xD1\x83\xD1\x82\xD1\x8C";                                 // "Путь"

std::wstring SystemWide(const std::string& utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
  return wide;
}

TEST(WideEdgeTest, ConversionsAgreeWithTheSystem) {
  for (const std::string& text : {std::string("plain"), std::string(kGreek) + kCjk + kCyrillic,
                                 std::string("\xF0\x9F\x98\x80 smile"), std::string()}) {
    EXPECT_EQ(Wide(text), SystemWide(text)) << text;
    EXPECT_EQ(Narrow(Wide(text)), text);
  }
  const wchar_t lone[] = {L'a', 0xD800, L'b'};
  EXPECT_EQ(Narrow(lone, 3), "a\xEF\xBF\xBD" "b");
  const wchar_t zero[] = {L'a', L'\0', L'b'};
  EXPECT_EQ(Narrow(zero, 3), std::string("a\0b", 3));
  EXPECT_EQ(NarrowUntilZero(zero, 3), "a");
  EXPECT_EQ(NarrowUntilZero(L"abc", 2), "ab");
}

TEST(WideEdgeTest, SystemCodePageIsTheSystemsAnsiPage) {
  const CodePage& page = SystemCodePage();
  for (int b = 1; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    wchar_t wide[4] = {};
    const int n = MultiByteToWideChar(CP_ACP, 0, &byte, 1, wide, 4);
    EXPECT_EQ(page.toUtf8(std::string(1, byte)), Narrow(wide, static_cast<std::size_t>(n))) << b;
  }
  std::string text;
  EXPECT_TRUE(page.fromUtf8("ascii only", text));
  EXPECT_EQ(text, "ascii only");
  // Greek, Cyrillic and CJK together fit no single ANSI page: refused, never "?".
  const std::string mixed = std::string(kGreek) + kCyrillic + kCjk;
  EXPECT_FALSE(page.fromUtf8(mixed, text)) << text;
}

class WideFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = GetTempFolder() + "brindorel_wide_" + std::to_string(GetCurrentProcessId()) + "\\";
    RemoveFolder(base_, "", kRemoveSubfolders | kRemoveForced);
    MakeFolderPath(base_);
  }
  void TearDown() override {
    RemoveFolder(base_, "", kRemoveSubfolders | kRemoveForced);
    EXPECT_EQ(PathExists(base_), 0);
  }
  static void Write(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD put = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    CloseHandle(file);
  }
  std::string base_;
};

// Folders, copies, scans and removal through paths far past 260 characters
// whose levels are in other scripts.
TEST_F(WideFilesTest, LongPathsInOtherScripts) {
  std::string deep = base_ + kGreek + "\\";
  for (int level = 0; Utf16Length(deep) < 400; ++level) deep += std::string(kCyrillic) + "-" + std::to_string(level) + "\\";
  MakeFolderPath(deep);
  ASSERT_EQ(QueryPathSize(deep), -2) << Utf16Length(deep);
  const std::string file = deep + kCjk + ".txt";
  Write(file, "twelve bytes");
  EXPECT_EQ(QueryPathSize(file), 12);
  EXPECT_EQ(PathExists(file), 1);
  const std::string copy = deep + kGreek + ".bak";
  EXPECT_NE(CopyOneFile(file, copy), 0);
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(ReadWholeFile(copy, 100, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "twelve bytes");

  std::vector<std::string> names;
  const int scan = BeginFolderScan(-1, deep, "*.*");
  ASSERT_NE(scan, 0);
  while (NextFolderEntry(scan) != 0) names.push_back(FolderEntryName(scan));
  EndFolderScan(scan);
  EXPECT_NE(std::find(names.begin(), names.end(), std::string(kCjk) + ".txt"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), std::string(kGreek) + ".bak"), names.end());

  // A file two new folders deep, below the long path.
  const std::string nested = deep + kCjk + "\\" + kGreek + "\\f.txt";
  MakeParentFolders(nested);
  EXPECT_EQ(QueryPathSize(PathFolderPart(nested)), -2);
}

TEST_F(WideFilesTest, ProgramsAndLinksInOtherScripts) {
  const std::string folder = base_ + kGreek + "\\";
  MakeFolderPath(folder);
  const std::string program = folder + kCjk + ".exe";
  ASSERT_NE(CopyOneFile(GetOwnProgramPath().substr(0, GetOwnProgramPath().find_last_of('\\') + 1) +
                            "helpers\\exit_with_code.exe",
                        program),
            0);
  const ProgramHandle started = StartProgram(program, "7", folder, StartWait | StartKeep);
  ASSERT_GT(started, 1u);
  EXPECT_EQ(QueryExitCode(started), 7u);
  ReleaseProgram(started);

  const std::string link = folder + kCyrillic + ".lnk";
  ASSERT_EQ(CreateShortcut(program, link, folder, "7", 1, kCyrillic, 0, "|", 0), 1);
  const wine_checks::LinkContent read = wine_checks::ReadLink(link);
  EXPECT_EQ(read.itemPath, program);
  EXPECT_EQ(read.arguments, "7");
}

// Entry names are UTF-8; a name that is not (a package written in a code
// page) is read in the system's code page. Both extract under their names.
TEST_F(WideFilesTest, PackageNamesInUtf8AndInTheCodePage) {
  struct Item {
    std::string name;
    std::uint32_t type;
    std::string content;
  };
  const std::vector<Item> items = {
      {std::string(kGreek) + "\\", kEntryFolder, ""},
      {std::string(kGreek) + "\\" + kCjk + ".txt", kEntryFile, "utf-8 name"},
      {"caf\xE9.txt", kEntryFile, "code-page name"},
  };
  EntryList entries;
  std::vector<std::uint8_t> package;
  for (const Item& item : items) {
    PackageEntry e;
    e.name = item.name;
    e.type = item.type;
    e.size = e.storedSize = static_cast<std::uint32_t>(item.content.size());
    e.dataOffset = static_cast<std::uint32_t>(package.size());
    package.insert(package.end(), item.content.begin(), item.content.end());
    entries.push_back(e);
  }
  const std::vector<std::uint8_t> table = SerializeEntryTable(entries);
  package.insert(package.end(), table.begin(), table.end());
  const PackageTrailer trailer{static_cast<std::uint32_t>(table.size()), static_cast<std::uint32_t>(table.size()), 0,
                               kPackageMagic};
  const auto tail = SerializeTrailer(trailer);
  package.insert(package.end(), tail.begin(), tail.end());
  const std::string path = base_ + kCyrillic + ".pck";
  Write(path, std::string(package.begin(), package.end()));

  ASSERT_EQ(ReadPackage(path), 1);
  const std::string cafe = SystemCodePage().toUtf8("caf\xE9.txt");
  ASSERT_EQ(PackageEntries().size(), 3u);
  EXPECT_EQ(PackageEntries()[1].name, std::string(kGreek) + "\\" + kCjk + ".txt");
  EXPECT_EQ(PackageEntries()[2].name, cafe);
  const std::string target = base_ + "target\\";
  ExtractPackage(target, "");
  EXPECT_EQ(LastExtractionStats().filesWritten, 2u);
  EXPECT_EQ(QueryPathSize(target + kGreek + "\\" + kCjk + ".txt"), 10);
  EXPECT_EQ(QueryPathSize(target + cafe), 14);
}

TEST(WideRegistryTest, KeysNamesAndTextsInOtherScripts) {
  constexpr std::uint32_t kCurrentUser = 0x80000001u;
  const std::string key = std::string("Software\\BrindorelTest\\") + kGreek;
  ASSERT_EQ(WriteRegistryText(kCurrentUser, key, kCyrillic, std::string(kCjk) + kGreek), 2);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, key, kCyrillic), std::string(kCjk) + kGreek);
  // The limit counts characters: 254 CJK characters (762 bytes) read back
  // whole, 255 are too many.
  std::string many;
  for (int i = 0; i < 254; ++i) many += "\xE4\xB8\xAD";
  ASSERT_EQ(WriteRegistryText(kCurrentUser, key, "Many", many), 2);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, key, "Many"), many);
  ASSERT_EQ(WriteRegistryText(kCurrentUser, key, "TooMany", many + "\xE4\xB8\xAD"), 2);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, key, "TooMany"), "");
  wine_checks::DeleteKeyTree(HKEY_CURRENT_USER, "Software\\BrindorelTest");

  const std::string mutex = std::string("BrindorelTest-") + kCjk + std::to_string(GetCurrentProcessId());
  EXPECT_EQ(ClaimInstanceName(mutex), 0);
  EXPECT_EQ(ClaimInstanceName(mutex), 1);
}

}  // namespace
}  // namespace brindorel

#include "services/ini_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "services/file_system.h"
#include "services/wide_win.h"

namespace brindorel {
namespace {

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    folder_ = std::string(temp) + "brindorel_ini_file_test_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder_.c_str(), nullptr);
  }

  void TearDown() override {
    CloseIniFile();
    for (const char* name : {"a.ini", "b.ini", "missing.ini", "never.ini"}) {
      const std::string path = Path(name);
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(path.c_str());
    }
    RemoveDirectoryA(folder_.c_str());
  }

  std::string Path(const std::string& name) const { return folder_ + "\\" + name; }

  static void Store(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    CloseHandle(file);
  }

  static std::string Load(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD got = 0;
    if (!bytes.empty()) ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    bytes.resize(got);
    return bytes;
  }

  static bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  std::string folder_;
};

TEST_F(IniFileTest, ChangedFileIsRewrittenAndCut) {
  const std::string path = Path("a.ini");
  // The rewrite is shorter than the original, so the file must be cut.
  Store(path, "  ; note\r\n[Setup]\n        Titel =     Demo  \n\n\n\n\n\n\n\n[Tasks]\n     One=1\n;end\n\n\n\n\n\n");
  ASSERT_NE(OpenIniFile(path), 0);
  EXPECT_EQ(SelectIniGroup("setup"), 1);
  EXPECT_EQ(ReadIniString("TITEL"), "Demo");
  EXPECT_EQ(SelectIniGroup("Tasks"), 1);
  EXPECT_EQ(ReadIniNumber("One", 0), 1);
  WriteIniNumber("One", -5);
  CloseIniFile();
  EXPECT_EQ(Load(path),
            "; note\r\n[Setup]\r\nTitel = Demo  \r\n[Tasks]\r\nOne = -5\r\n"
            "; end\r\n");
}

TEST_F(IniFileTest, UnmodifiedFileIsLeftUntouched) {
  const std::string path = Path("a.ini");
  const std::string text = "[Setup]\n   Titel=Demo   \n\n\n";
  Store(path, text);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  SYSTEMTIME old_time = {2001, 5, 0, 17, 10, 30, 0, 0};
  FILETIME old_stamp;
  SystemTimeToFileTime(&old_time, &old_stamp);
  ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &old_stamp));
  CloseHandle(file);

  ASSERT_NE(OpenIniFile(path), 0);
  SelectIniGroup("Setup");
  EXPECT_EQ(ReadIniString("Titel"), "Demo");
  EXPECT_EQ(SelectIniGroup("Absent"), 0);
  CloseIniFile();

  EXPECT_EQ(Load(path), text);
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(CompareFileTime(&data.ftLastWriteTime, &old_stamp), 0);
}

TEST_F(IniFileTest, ReadOnlyFileReadsButKeepsItsBytes) {
  const std::string path = Path("a.ini");
  const std::string text = "[Setup]\nTitel=Demo\n";
  Store(path, text);
  // A file another program holds without write sharing opens for reading
  // only. (The read-only attribute would do as well on Windows, but Wine
  // running as root opens such a file for writing.)
  HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  ASSERT_NE(OpenIniFile(path), 0);
  SelectIniGroup("Setup");
  EXPECT_EQ(ReadIniString("Titel"), "Demo");
  WriteIniString("Titel", "Lost");
  CloseIniFile();
  CloseHandle(holder);
  EXPECT_EQ(Load(path), text);
}

TEST_F(IniFileTest, MissingFileIsCreatedOnlyWhenWritten) {
  const std::string never = Path("never.ini");
  EXPECT_EQ(OpenIniFile(never), 0);
  EXPECT_EQ(SelectIniGroup("Setup"), 0);
  EXPECT_EQ(ReadIniString("Titel", "default"), "default");
  CloseIniFile();
  EXPECT_FALSE(Exists(never));

  const std::string path = Path("missing.ini");
  EXPECT_EQ(OpenIniFile(path), 0);
  EXPECT_EQ(SelectIniGroup("Settings"), 0);
  WriteIniString("Path", "C:\\Apps");
  WriteIniNumber("Count", 3);
  EXPECT_EQ(ReadIniNumber("Count", 0), 3);
  CloseIniFile();
  EXPECT_EQ(Load(path), "[Settings]\r\nPath = C:\\Apps\r\nCount = 3\r\n");
}

TEST_F(IniFileTest, OpeningAnotherFileWritesTheFirst) {
  const std::string first = Path("a.ini");
  const std::string second = Path("b.ini");
  Store(first, "[A]\nx=1\n");
  Store(second, "[B]\ny=2\n");
  ASSERT_NE(OpenIniFile(first), 0);
  SelectIniGroup("A");
  WriteIniString("x", "changed");
  ASSERT_NE(OpenIniFile(second), 0);
  EXPECT_EQ(Load(first), "[A]\r\nx = changed\r\n");
  SelectIniGroup("A");
  EXPECT_EQ(ReadIniString("x", "none"), "none");
  SelectIniGroup("B");
  EXPECT_EQ(ReadIniNumber("y", 0), 2);
  CloseIniFile();
  EXPECT_EQ(Load(second), "[B]\ny=2\n");
}

TEST_F(IniFileTest, NoDocumentIgnoresEverything) {
  CloseIniFile();
  EXPECT_EQ(SelectIniGroup(""), 0);
  EXPECT_EQ(SelectIniGroup("Setup"), 0);
  EXPECT_EQ(ReadIniString("Titel", "default"), "default");
  EXPECT_EQ(ReadIniNumber("Count", 42), 42);
  WriteIniString("Titel", "x");
  CloseIniFile();
  EXPECT_FALSE(Exists(Path("missing.ini")));
}

TEST_F(IniFileTest, Utf8FileKeepsItsEncoding) {
  const std::string path = Path("a.ini");
  Store(path, "\xEF\xBB\xBF[Sprache]\r\nTitel=Gr\xC3\xBC\xC3\x9F" "e\r\n");
  ASSERT_NE(OpenIniFile(path), 0);
  EXPECT_EQ(SelectIniGroup("Sprache"), 1);
  EXPECT_EQ(ReadIniString("Titel"), "Gr\xC3\xBC\xC3\x9F" "e");
  WriteIniString("\xC3\x9C" "ber", "\xC3\xA4");
  CloseIniFile();
  EXPECT_EQ(Load(path),
            "\xEF\xBB\xBF\r\n[Sprache]\r\nTitel = Gr\xC3\xBC\xC3\x9F" "e\r\n\xC3\x9C" "ber = \xC3\xA4\r\n");
}

TEST_F(IniFileTest, OversizedFileIsNeitherReadNorRewritten) {
  const std::string path = Path("a.ini");
  std::string text = "[Setup]\r\nTitel=Demo\r\n";
  text.resize(kIniFileSizeLimit + 1, 'x');
  Store(path, text);
  EXPECT_EQ(OpenIniFile(path), 0);
  EXPECT_EQ(SelectIniGroup("Setup"), 0);
  EXPECT_EQ(ReadIniString("Titel", "default"), "default");
  WriteIniString("Titel", "x");
  CloseIniFile();
  EXPECT_EQ(Load(path) == text, true);
}

// A file without the mark is in the system's code page: read as UTF-8,
// written back in the page, and as UTF-8 with the mark once it must hold a
// character the page lacks.
TEST_F(IniFileTest, CodePageFileIsConvertedBothWays) {
  const std::string path = Path("a.ini");
  Store(path, "[S]\r\nA=caf\xE9\r\n");
  const std::string cafe = SystemCodePage().toUtf8("caf\xE9");
  ASSERT_NE(OpenIniFile(path), 0);
  SelectIniGroup("S");
  EXPECT_EQ(ReadIniString("A"), cafe);
  WriteIniString("B", "plain");
  CloseIniFile();
  EXPECT_EQ(Load(path), "[S]\r\nA = caf\xE9\r\nB = plain\r\n");

  ASSERT_NE(OpenIniFile(path), 0);
  SelectIniGroup("S");
  WriteIniString("C", "\xE4\xB8\xAD\xCE\xA3");  // a CJK and a Greek character
  CloseIniFile();
  std::string page;
  if (!SystemCodePage().fromUtf8("\xE4\xB8\xAD\xCE\xA3", page)) {
    EXPECT_EQ(Load(path), "\xEF\xBB\xBF\r\n[S]\r\nA = " + cafe + "\r\nB = plain\r\nC = \xE4\xB8\xAD\xCE\xA3\r\n");
  }
  ASSERT_NE(OpenIniFile(path), 0);
  SelectIniGroup("S");
  EXPECT_EQ(ReadIniString("A"), cafe);
  EXPECT_EQ(ReadIniString("C"), "\xE4\xB8\xAD\xCE\xA3");
  CloseIniFile();
}

// Names outside any code page and paths past 260 characters.
TEST_F(IniFileTest, FilesOfAnyNameAndLength) {
  std::string folder = folder_ + "\\\xCE\xB5\xCE\xBB\xE4\xB8\xAD";  // Greek and CJK
  MakeFolder(folder);
  while (folder.size() < 300) {
    folder += "\\long folder name";
    MakeFolder(folder);
  }
  const std::string path = folder + "\\\xCF\x80.ini";
  EXPECT_EQ(OpenIniFile(path), 0);
  SelectIniGroup("S");
  WriteIniString("K", "v");
  CloseIniFile();
  EXPECT_EQ(QueryPathSize(path), 12);  // "[S]", "K = v", each with CR LF
  ASSERT_NE(OpenIniFile(path), 0);
  SelectIniGroup("S");
  EXPECT_EQ(ReadIniString("K"), "v");
  CloseIniFile();
  RemoveFolder(folder_ + "\\\xCE\xB5\xCE\xBB\xE4\xB8\xAD", "", kRemoveSubfolders);
}

}  // namespace
}  // namespace brindorel

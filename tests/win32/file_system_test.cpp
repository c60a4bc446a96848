#include "services/file_system.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brindorel {
namespace {

void WriteText(const std::string& path, const std::string& text) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE) << path;
  DWORD put = 0;
  WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
  CloseHandle(f);
}

std::string ReadText(const std::string& path) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return "<missing>";
  char buffer[4096];
  DWORD got = 0;
  ReadFile(f, buffer, sizeof buffer, &got, nullptr);
  CloseHandle(f);
  return std::string(buffer, got);
}

bool IsFolder(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// A fresh folder below the temporary folder, removed with all it holds.
class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    root_ = std::string(temp) + "brindorel_fs_" + std::to_string(GetCurrentProcessId()) + "\\";
    Wipe(root_);
    ASSERT_TRUE(CreateDirectoryA(root_.c_str(), nullptr));
  }
  void TearDown() override { Wipe(root_); }

  static void Wipe(const std::string& folder) {
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA((folder + "*").c_str(), &d);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        std::string name = d.cFileName;
        if (name == "." || name == "..") continue;
        std::string full = folder + name;
        SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          Wipe(full + "\\");
        } else {
          DeleteFileA(full.c_str());
        }
      } while (FindNextFileA(h, &d));
      FindClose(h);
    }
    RemoveDirectoryA(folder.c_str());
  }

  std::string root_;
};

char MissingDrive() {
  for (char c = 'Y'; c > 'D'; --c) {
    std::string root = std::string(1, c) + ":\\";
    if (GetDriveTypeA(root.c_str()) == DRIVE_NO_ROOT_DIR) return c;
  }
  return 0;
}

TEST_F(FileSystemTest, ExistenceAndSizes) {
  WriteText(root_ + "empty.txt", "");
  WriteText(root_ + "five.txt", "12345");
  CreateDirectoryA((root_ + "sub").c_str(), nullptr);

  EXPECT_EQ(QueryPathSize(root_ + "empty.txt"), 0);
  EXPECT_EQ(QueryPathSize(root_ + "five.txt"), 5);
  EXPECT_EQ(QueryPathSize(root_ + "sub"), -2);
  EXPECT_EQ(QueryPathSize(root_ + "sub\\"), -2);
  EXPECT_EQ(QueryPathSize(root_ + "none"), -1);
  EXPECT_EQ(QueryPathSize(""), -1);
  EXPECT_EQ(QueryPathSize(root_ + "*.txt"), -1);  // a pattern is not a name

  EXPECT_EQ(PathExists(root_ + "sub"), 1);
  EXPECT_EQ(PathExists(root_ + "sub\\"), 1);
  EXPECT_EQ(PathExists(root_ + "five.txt"), 1);
  EXPECT_EQ(PathExists(root_ + "none"), 0);
  EXPECT_EQ(PathExists(root_ + "f*"), 0);
  EXPECT_EQ(PathExists(""), 0);
  EXPECT_EQ(PathExists(std::string(300, 'a')), 0);
}

TEST_F(FileSystemTest, DriveRoots) {
  EXPECT_EQ(QueryPathSize("C:"), -2);
  EXPECT_EQ(QueryPathSize("C:\\"), -2);
  EXPECT_EQ(PathExists("C:\\"), 1);
  char missing = MissingDrive();
  ASSERT_NE(missing, 0);
  EXPECT_EQ(QueryPathSize(std::string(1, missing) + ":"), -1);
  EXPECT_EQ(QueryPathSize(std::string(1, missing) + ":\\"), -1);
  EXPECT_EQ(PathExists(std::string(1, missing) + ":\\"), 0);
}

TEST_F(FileSystemTest, MakingFolders) {
  EXPECT_NE(MakeFolder(root_ + "one\\ //"), 0);
  EXPECT_TRUE(IsFolder(root_ + "one"));
  EXPECT_EQ(MakeFolder(root_ + "one"), 0);  // exists already
  EXPECT_EQ(MakeFolder(root_ + "x\\y"), 0);  // missing parent

  // Partly existing: "one" keeps its file, the missing levels are made.
  WriteText(root_ + "one\\keep.txt", "keep");
  MakeFolderPath(root_ + "one\\two\\three");
  EXPECT_TRUE(IsFolder(root_ + "one\\two\\three"));
  EXPECT_EQ(ReadText(root_ + "one\\keep.txt"), "keep");
  MakeFolderPath(root_ + "one\\two\\three\\");  // all there: nothing happens

  MakeParentFolders(root_ + "a\\b\\file.txt");
  EXPECT_TRUE(IsFolder(root_ + "a\\b"));
  EXPECT_EQ(QueryPathSize(root_ + "a\\b\\file.txt"), -1);
  MakeParentFolders(root_ + "c\\d");  // no final "\": only c
  EXPECT_TRUE(IsFolder(root_ + "c"));
  EXPECT_FALSE(IsFolder(root_ + "c\\d"));
  MakeParentFolders(root_ + "c\\d\\");
  EXPECT_TRUE(IsFolder(root_ + "c\\d"));
}

TEST_F(FileSystemTest, RemovingFolders) {
  std::string w = root_ + "work\\";
  MakeFolderPath(w + "sub\\deeper\\");
  WriteText(w + "a.txt", "a");
  WriteText(w + "b.dat", "b");
  WriteText(w + "sub\\c.txt", "c");
  WriteText(w + "sub\\deeper\\d.txt", "d");

  EXPECT_EQ(RemoveFolder("", "", 0), 0);
  EXPECT_EQ(RemoveFolder(w, "*.none", 0), 0);  // nothing matches: all stays
  EXPECT_EQ(ReadText(w + "a.txt"), "a");

  // Without flags: files beside the subfolder go, the subfolder stays.
  EXPECT_EQ(RemoveFolder(w, "", 0), 0);
  EXPECT_EQ(PathExists(w + "a.txt"), 0);
  EXPECT_EQ(PathExists(w + "b.dat"), 0);
  EXPECT_EQ(ReadText(w + "sub\\c.txt"), "c");

  // A read-only file stays without kRemoveForced and goes with it.
  WriteText(w + "sub\\ro.txt", "r");
  SetFileAttributesA((w + "sub\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(RemoveFolder(w + "sub", "", 0), 0);
  EXPECT_EQ(ReadText(w + "sub\\ro.txt"), "r");
  EXPECT_NE(RemoveFolder(w, "*.*", kRemoveSubfolders | kRemoveForced), 0);
  EXPECT_EQ(PathExists(w), 0);
  EXPECT_EQ(PathExists(root_), 1);
}

TEST_F(FileSystemTest, CopyReplacesAnExistingFile) {
  WriteText(root_ + "from.txt", "new content");
  WriteText(root_ + "to.txt", "old");
  EXPECT_NE(CopyOneFile(root_ + "from.txt", root_ + "to.txt"), 0);
  EXPECT_EQ(ReadText(root_ + "to.txt"), "new content");
  EXPECT_EQ(CopyOneFile(root_ + "none.txt", root_ + "to2.txt"), 0);
}

TEST_F(FileSystemTest, FolderScans) {
  WriteText(root_ + "f1.txt", "1");
  WriteText(root_ + "f2.txt", "2");
  CreateDirectoryA((root_ + "dir").c_str(), nullptr);

  int scan = BeginFolderScan(-1, root_, "");
  ASSERT_GT(scan, 0);
  int files = 0, folders = 0;
  bool sawDir = false;
  while (NextFolderEntry(scan)) {
    std::string name = FolderEntryName(scan);
    int kind = FolderEntryKind(scan);
    if (kind == 1) ++files;
    if (kind == 2) ++folders;
    if (name == "dir") sawDir = kind == 2;
  }
  EXPECT_EQ(files, 2);
  EXPECT_EQ(folders, 3);  // ".", ".." and dir
  EXPECT_TRUE(sawDir);
  EndFolderScan(scan);
  // An ended scan is unknown: harmless.
  EXPECT_EQ(NextFolderEntry(scan), 0);
  EXPECT_EQ(FolderEntryName(scan), "");
  EXPECT_EQ(FolderEntryKind(scan), 0);
  EndFolderScan(scan);
  for (int bogus : {0, -1, -7, 99999})
    EXPECT_EQ(NextFolderEntry(bogus), 0) << bogus;

  EXPECT_EQ(BeginFolderScan(-1, root_, "*.none"), 0);
  EXPECT_EQ(BeginFolderScan(0, root_, ""), 0);

  // A caller's number names its scan; starting it again restarts it.
  ASSERT_EQ(BeginFolderScan(40, root_, "f*.txt"), 40);
  ASSERT_EQ(NextFolderEntry(40), 1);
  ASSERT_EQ(BeginFolderScan(40, root_, "f2.txt"), 40);
  ASSERT_EQ(NextFolderEntry(40), 1);
  EXPECT_EQ(FolderEntryName(40), "f2.txt");
  EXPECT_EQ(NextFolderEntry(40), 0);
  EndFolderScan(40);

  // Many open scans at once grow the table.
  std::vector<int> scans;
  for (int i = 0; i < 40; ++i) scans.push_back(BeginFolderScan(-1, root_, "f1.txt"));
  for (int s : scans) {
    ASSERT_GT(s, 0);
    EXPECT_EQ(NextFolderEntry(s), 1);
    EXPECT_EQ(FolderEntryName(s), "f1.txt");
  }
  for (int s : scans) EndFolderScan(s);
}

}  // namespace
}  // namespace brindorel

// The uninstaller's Windows edge for real: registry values and the key
// guards, link targets read through the shell, deletion at restart of a
// locked file, and the real Uninstall.exe copying itself away to remove its
// own folder.
#include "uninstaller/uninstall_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "install/shell_links.h"
#include "services/folders.h"
#include "services/registry.h"
#include "services/text.h"

namespace brindorel {
namespace {

const std::string kBase = "Software\\BrindorelTest\\uninstall";

std::string TestFolder(const std::string& name) {
  return GetTempFolder() + "brindorel-uninstall-" + UnsignedToText(GetCurrentProcessId()) + "-" + name + "\\";
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void DeleteTree(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + name;
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        DeleteTree(path + "\\");
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

bool KeyExists(const std::string& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

void DeleteTestKeys() {
  for (const char* key : {"\\a\\b\\c", "\\a\\b", "\\a\\keep", "\\a", ""}) RegDeleteKeyA(HKEY_CURRENT_USER, (kBase + key).c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\BrindorelTest");
}

// The pending renames the system keeps for the next restart, as one text.
std::string PendingRenames() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return "";
  std::string data(65536, '\0');
  DWORD size = static_cast<DWORD>(data.size());
  const LONG read = RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(&data[0]), &size);
  RegCloseKey(key);
  if (read != ERROR_SUCCESS) return "";
  data.resize(size);
  for (char& c : data) {
    if (c == '\0') c = '|';
  }
  return data;
}

std::string Lower(std::string text) {
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return text;
}

UninstallData DataFor(const std::string& folder) {
  UninstallData data;
  data.progName = "Test";
  data.progDir = folder;
  data.progExe = "prog.exe";
  data.noDelAll = false;
  return data;
}

TEST(UninstallWin, RegistryRecordsDeleteTheirValueAndOnlyEmptyDeepKeys) {
  DeleteTestKeys();
  constexpr std::uint32_t hkcu = 0x80000001u;
  ASSERT_EQ(2, WriteRegistryText(hkcu, kBase + "\\a\\b\\c", "Path", "x"));
  ASSERT_EQ(2, WriteRegistryText(hkcu, kBase + "\\a\\keep", "Path", "x"));
  ASSERT_EQ(2, WriteRegistryText(hkcu, kBase + "\\a\\keep", "Other", "y"));
  ASSERT_EQ(2, WriteRegistryText(hkcu, kBase + "\\a\\b", "Path", "x"));
  ASSERT_EQ(2, WriteRegistryText(hkcu, kBase + "\\a\\b\\c", "", "default"));
  const std::string folder = TestFolder("registry");
  UninstallData data = DataFor(folder);
  data.tasks = {"2147483649|" + kBase + "\\a\\b\\c|Path", "2147483649|" + kBase + "\\a\\b\\c|",
                "2147483649|" + kBase + "\\a\\keep|Path", "2147483649|" + kBase + "\\a\\b|Path",
                "2147483649|" + kBase + "\\a\\b\\c\\missing|Path"};
  WindowsRemovalSystem system;
  RemovalOutcome outcome;
  RemoveInstallation(system, data, SystemRemovalContext(), false, outcome);
  EXPECT_TRUE(outcome.Complete()) << outcome.left.front();
  EXPECT_FALSE(KeyExists(kBase + "\\a\\b\\c"));  // both values gone, then the key
  EXPECT_FALSE(KeyExists(kBase + "\\a\\b"));     // empty once c went, and deep enough
  EXPECT_TRUE(KeyExists(kBase + "\\a\\keep"));
  EXPECT_EQ(ReadRegistryText(hkcu, kBase + "\\a\\keep", "Path"), "");
  EXPECT_EQ(ReadRegistryText(hkcu, kBase + "\\a\\keep", "Other"), "y");

  // A key that still has a subkey is never deleted, even when asked directly.
  ASSERT_EQ(2, WriteRegistryText(hkcu, kBase + "\\a\\b\\c", "Path", "x"));
  EXPECT_FALSE(system.DeleteRegistryKey(hkcu, kBase + "\\a\\b"));
  EXPECT_TRUE(KeyExists(kBase + "\\a\\b\\c"));
  EXPECT_FALSE(system.DeleteRegistryKey(hkcu, ""));
  DeleteTestKeys();
}

TEST(UninstallWin, LinksAreReadThroughTheShellAndOnlyOursGo) {
  const std::string folder = TestFolder("links");
  const std::string outside = TestFolder("links-outside");
  CreateDirectoryA(folder.c_str(), nullptr);
  CreateDirectoryA(outside.c_str(), nullptr);
  WriteText(folder + "prog.exe", "MZ");
  WriteText(outside + "other.exe", "MZ");
  const std::string system32 = GetSpecialFolder(-2);
  ASSERT_EQ(1, CreateShortcut(folder + "prog.exe", outside + "ours.lnk", folder, "", 1, "", 0, "|", 0));
  ASSERT_EQ(1, CreateShortcut(outside + "other.exe", outside + "foreign.lnk", outside, "", 1, "", 0, "|", 0));
  ASSERT_EQ(1, CreateShortcut(system32 + "rundll32.exe", outside + "web.lnk", "",
                              "url.dll,FileProtocolHandler http://example.invalid/", 1, "", 0, system32 + "url.dll", 0));
  WriteText(outside + "fake.lnk", "not a link");

  WindowsRemovalSystem system;
  const ShortcutTarget ours = system.ReadShortcut(outside + "ours.lnk");
  ASSERT_TRUE(ours.read);
  EXPECT_EQ(Lower(ours.path), Lower(folder + "prog.exe"));
  const ShortcutTarget web = system.ReadShortcut(outside + "web.lnk");
  EXPECT_EQ(web.arguments, "url.dll,FileProtocolHandler http://example.invalid/");
  EXPECT_FALSE(system.ReadShortcut(outside + "fake.lnk").read);
  EXPECT_FALSE(system.ReadShortcut(outside + "absent.lnk").read);

  UninstallData data = DataFor(folder);
  data.tasks = {outside + "ours.lnk", outside + "foreign.lnk", outside + "web.lnk", outside + "fake.lnk"};
  RemovalOutcome outcome;
  RemoveInstallation(system, data, SystemRemovalContext(), false, outcome);
  EXPECT_FALSE(Exists(outside + "ours.lnk"));
  EXPECT_FALSE(Exists(outside + "web.lnk"));
  EXPECT_TRUE(Exists(outside + "foreign.lnk"));
  EXPECT_TRUE(Exists(outside + "fake.lnk"));
  EXPECT_EQ(outcome.left.size(), 2u);
  DeleteTree(folder);
  DeleteTree(outside);
}

TEST(UninstallWin, ALockedFileIsScheduledForTheNextRestartAndReadOnlyOnesGo) {
  const std::string folder = TestFolder("locked");
  CreateDirectoryA(folder.c_str(), nullptr);
  CreateDirectoryA((folder + "sub").c_str(), nullptr);
  WriteText(folder + "prog.exe", "MZ");
  WriteText(folder + "sub\\readonly.txt", "r");
  SetFileAttributesA((folder + "sub\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  HANDLE held = CreateFileA((folder + "prog.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);

  UninstallData data = DataFor(folder);
  data.files = {"prog.exe", "sub\\readonly.txt"};
  WindowsRemovalSystem system;
  RemovalOutcome outcome;
  RemoveInstallation(system, data, SystemRemovalContext(), false, outcome);
  FinishRemoval(system, data, outcome);
  CloseHandle(held);
  EXPECT_FALSE(Exists(folder + "sub"));
  ASSERT_EQ(outcome.scheduled.size(), 2u);  // the file, then its folder
  EXPECT_EQ(outcome.scheduled[0], folder + "prog.exe");
  const std::string pending = Lower(PendingRenames());
  EXPECT_NE(pending.find(Lower(folder + "prog.exe")), std::string::npos) << pending;
  DeleteTree(folder);
}

// ---- The real Uninstall.exe ----

std::string UninstallerImage() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string tests = PathFolderPart(path);  // <tree>\tests\ .
  tests.pop_back();
  return PathFolderPart(tests) + "uninstaller\\Uninstall.exe";
}

DWORD RunAndWait(const std::string& commandLine) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::string line = commandLine;
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return 999;
  WaitForSingleObject(info.hProcess, 120000);
  DWORD code = 999;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return code;
}

class RealUninstaller : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = GetSpecialFolder(-6) + "BrindorelUninstallTest" + UnsignedToText(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
    CreateDirectoryA((folder_ + "data").c_str(), nullptr);
    WriteText(folder_ + "prog.exe", "MZ");
    WriteText(folder_ + "data\\settings.txt", "x");
    ASSERT_TRUE(CopyFileA(UninstallerImage().c_str(), (folder_ + "Uninstall.exe").c_str(), FALSE))
        << UninstallerImage();
    mutex_ = "BrindorelUninstallTestMutex" + UnsignedToText(GetCurrentProcessId());
    WriteRecord(folder_);
  }
  void TearDown() override {
    DeleteTree(folder_);
    // The copies the runs left in the temporary folder (each scheduled for
    // the next restart) have ended by now.
    const std::string temp = GetTempFolder();
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((temp + "BrindorelUninstall*.exe").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
      DeleteFileA((temp + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }

  void WriteRecord(const std::string& progDir) {
    WriteText(folder_ + "uninstall.dat",
              "[Settings]\r\nProgName = Test\r\nVersion = 1\r\nMutexString = " + mutex_ +
                  "\r\nNoDelAll = 0\r\nProgDir = " + progDir +
                  "\r\nProgExe = prog.exe\r\nGUID = \r\nProgLink = \r\nStartMenu = \r\nDesktopIcon = \r\n"
                  "[Files]\r\nF001 = prog.exe\r\nF002 = data\\settings.txt\r\n");
  }

  std::string folder_;
  std::string mutex_;
};

TEST_F(RealUninstaller, SilentRemovalTakesItsOwnFolderThroughACopy) {
  WriteText(folder_ + "mine.txt", "the user's");
  EXPECT_EQ(RunAndWait("\"" + folder_ + "Uninstall.exe\" /S"), 0u);
  EXPECT_FALSE(Exists(folder_ + "prog.exe"));
  EXPECT_FALSE(Exists(folder_ + "data"));
  EXPECT_FALSE(Exists(folder_ + "uninstall.dat"));
  // The copy ends after the original; give it a moment to take Uninstall.exe.
  for (int i = 0; i < 100 && Exists(folder_ + "Uninstall.exe"); ++i) Sleep(100);
  EXPECT_FALSE(Exists(folder_ + "Uninstall.exe"));
  EXPECT_TRUE(Exists(folder_ + "mine.txt"));
  DeleteFileA((folder_ + "mine.txt").c_str());
}

TEST_F(RealUninstaller, RefusesWhileTheProgramRunsAndForAForeignFolder) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, mutex_.c_str());
  EXPECT_EQ(RunAndWait("\"" + folder_ + "Uninstall.exe\" /S"), 1u);
  CloseHandle(mutex);
  EXPECT_TRUE(Exists(folder_ + "prog.exe"));

  WriteRecord(GetSpecialFolder(-3));  // the Windows folder
  EXPECT_EQ(RunAndWait("\"" + folder_ + "Uninstall.exe\" /S"), 2u);
  EXPECT_TRUE(Exists(folder_ + "prog.exe"));
  DeleteFileA((folder_ + "uninstall.dat").c_str());
  EXPECT_EQ(RunAndWait("\"" + folder_ + "Uninstall.exe\" /S"), 2u);
  EXPECT_TRUE(Exists(folder_ + "prog.exe"));

  // A copy started by hand on a folder that is not its record's folder.
  WriteRecord("C:\\elsewhere\\");
  EXPECT_EQ(RunAndWait("\"" + folder_ + "Uninstall.exe\" /S /ORIGIN=1 /DIR=" + folder_), 2u);
  EXPECT_TRUE(Exists(folder_ + "prog.exe"));
}

}  // namespace
}  // namespace brindorel

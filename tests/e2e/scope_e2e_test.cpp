// Per-user installs and the private working folder through the real
// Install.exe and Uninstall.exe: a per-user package installs and goes away
// without touching the machine's registry or folders; the scope switches;
// whatever lies at the working folder's name beforehand is never used.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver.h"
#include "e2e_support.h"
#include "services/file_system.h"
#include "services/folders.h"
#include "services/private_folder.h"
#include "services/registry.h"
#include "services/wide_win.h"
#include "tests/win32/support/win32_checks.h"
#include "ui/control_surface.h"

namespace brindorel::e2e {
namespace {

using wine_checks::DeleteKeyTree;

const char kGuid[] = "{7D1E6F52-2C4B-4A8E-9B3D-1F0A6C5E8D24}";
const std::uint32_t kCurrentUser = 0x80000001u;
const std::string kEntry = std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kGuid;

std::string UserTarget() { return GetSpecialFolder(28) + "Programs\\Acme Demo\\"; }
std::string LogPath() { return OutFolder() + "scope.log"; }

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Names (and values) below a key, depth first: what the machine's registry
// holds where an installation could write.
void Snapshot(HKEY root, const std::wstring& key, int depth, std::string& out) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return;
  wchar_t name[16384];
  for (DWORD i = 0;; ++i) {
    DWORD length = 16384;
    if (RegEnumValueW(handle, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    out += Narrow(key) + "=" + Narrow(name, length) + "\n";
  }
  std::vector<std::wstring> subkeys;
  for (DWORD i = 0;; ++i) {
    DWORD length = 16384;
    if (RegEnumKeyExW(handle, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.emplace_back(name, length);
  }
  RegCloseKey(handle);
  if (depth == 0) return;
  for (const std::wstring& sub : subkeys) {
    out += Narrow(key + L"\\" + sub) + "\n";
    Snapshot(root, key + L"\\" + sub, depth - 1, out);
  }
}

// The machine's folders an installation could write into, two levels deep.
void FolderSnapshot(const std::string& folder, int depth, std::string& out) {
  if (folder.empty()) return;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(WidePath(WithTrailingSeparator(folder) + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = NarrowUntilZero(data.cFileName, MAX_PATH);
    if (name == "." || name == "..") continue;
    out += folder + "|" + name + "\n";
    if (depth > 0 && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
      FolderSnapshot(WithTrailingSeparator(folder) + name, depth - 1, out);
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

std::string MachineSnapshot() {
  std::string out;
  Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 2, out);
  Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 2, out);
  Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Classes\\acme", 2, out);
  Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Acme", 3, out);
  Snapshot(HKEY_LOCAL_MACHINE, L"Software\\Brindorel", 3, out);
  // Program Files in both views, common files, the common start menu,
  // desktop and application data.
  for (int id : {38, 42, 43, 22, 25, 35}) FolderSnapshot(GetSpecialFolder(id), 1, out);
  return out;
}

void Clean() {
  RemoveFolder(UserTarget(), "", kRemoveSubfolders | kRemoveForced);
  RemoveFolder(GetSpecialFolder(2) + "Acme\\", "", kRemoveSubfolders | kRemoveForced);
  for (const char* link : {"Acme Demo.lnk", "Acme Readme.lnk"}) DeleteFileW(WidePath(GetSpecialFolder(0) + link).c_str());
  DeleteFileW(WidePath(GetSpecialFolder(26) + "acme-demo.ini").c_str());
  DeleteFileW(WidePath(LogPath()).c_str());
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kEntry);
  DeleteKeyTree(HKEY_CURRENT_USER, kEntry);
  DeleteKeyTree(HKEY_CURRENT_USER, std::string("SOFTWARE\\Brindorel\\") + kGuid);
  DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Acme\\Demo");
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Acme");
}

// The uninstaller copies' folders in the temporary folder.
std::vector<std::string> CopyFolders() {
  std::vector<std::string> found;
  const std::string temp = GetTempFolder();
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(WidePath(temp + "BrindorelUninstall*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return found;
  do {
    found.push_back(NarrowUntilZero(data.cFileName, MAX_PATH));
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return found;
}

class ScopeRun : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CreateDirectoryW(WidePath(OutFolder()).c_str(), nullptr);
    machine_ = BuildInstaller(SourcePath("examples/acme-demo"), "ScopeMachine.exe");
    const std::string folder = CopyOfExample("scope-user", {});
    // The same package, for the current user only.
    std::string ini = ReadText(folder + "\\setup.ini");
    const std::size_t at = ini.find("[Settings]");
    if (at != std::string::npos) ini.insert(ini.find('\n', at) + 1, "InstallScope=user\r\n");
    std::ofstream(folder + "\\setup.ini", std::ios::binary) << ini;
    user_ = BuildInstaller(folder, "ScopeUser.exe");
    // And one that lets the user choose.
    const std::string choosing = CopyOfExample("scope-choose", {});
    ini = ReadText(choosing + "\\setup.ini");
    const std::size_t settings = ini.find("[Settings]");
    if (settings != std::string::npos) ini.insert(ini.find('\n', settings) + 1, "InstallScope=choose\r\n");
    std::ofstream(choosing + "\\setup.ini", std::ios::binary) << ini;
    choose_ = BuildInstaller(choosing, "ScopeChoose.exe");
  }
  void SetUp() override {
    ASSERT_FALSE(machine_.empty());
    ASSERT_FALSE(user_.empty());
    ASSERT_FALSE(choose_.empty());
    Clean();
  }
  void TearDown() override { Clean(); }

  static int Run(const std::string& installer, const std::string& arguments) {
    return RunAndWait("\"" + installer + "\" " + arguments, 120000);
  }

  static std::string machine_, user_, choose_;
};
std::string ScopeRun::machine_, ScopeRun::user_, ScopeRun::choose_;

TEST_F(ScopeRun, APerUserPackageInstallsAndGoesWithoutTouchingTheMachine) {
  const std::string before = MachineSnapshot();
  ASSERT_EQ(Run(user_, "/S /LOG=\"" + LogPath() + "\""), 0) << ReadText(LogPath());
  const std::string folder = UserTarget();
  EXPECT_TRUE(Exists(folder + "acme.exe"));
  EXPECT_TRUE(Exists(GetSpecialFolder(2) + "Acme\\Demo\\Acme Demo.lnk"));
  // The entry under the user, with what the system's list shows.
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kEntry, "DisplayVersion"), "2.1");
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kEntry, "InstallLocation"), folder);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kEntry, "InstallDate").size(), 8u);
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kEntry, "QuietUninstallString"), "\"" + folder + "Uninstall.exe\" /S");
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kEntry + "\\BrindorelRecord", "ProgDir"), folder);
  IniDocument record = ReadIni(folder + "uninstall.dat");
  record.SelectGroup("Settings");
  EXPECT_EQ(record.ReadString("Scope", ""), "user");
  EXPECT_EQ(MachineSnapshot(), before);

  const std::vector<std::string> copiesBefore = CopyFolders();
  ASSERT_EQ(RunAndWait("\"" + folder + "Uninstall.exe\" /S", 120000), 0);
  EXPECT_FALSE(Exists(folder + "acme.exe"));
  EXPECT_FALSE(wine_checks::KeyExists(HKEY_CURRENT_USER, kEntry));
  EXPECT_FALSE(Exists(GetSpecialFolder(2) + "Acme\\Demo\\Acme Demo.lnk"));
  EXPECT_EQ(MachineSnapshot(), before);
  // The uninstaller's copy ran from a new folder of its own.
  std::vector<std::string> fresh;
  for (const std::string& name : CopyFolders()) {
    bool old = false;
    for (const std::string& earlier : copiesBefore) old = old || earlier == name;
    if (!old) fresh.push_back(name);
  }
  ASSERT_EQ(fresh.size(), 1u);
  EXPECT_TRUE(IsRandomFolderName(fresh[0], kUninstallCopyFolderName)) << fresh[0];
  RemoveFolder(GetTempFolder() + fresh[0] + "\\", "", kRemoveSubfolders | kRemoveForced);
}

bool IsChecked(HWND wizard, int option) {
  return SendMessageW(FindControl(wizard, option), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// A package that lets the user choose, walked through the wizard: "only for
// me" puts the user's own default into the folder field (and the machine's
// back), and the installation goes there and under HKEY_CURRENT_USER.
TEST_F(ScopeRun, TheWizardInstallsOnlyForMeWhenChosen) {
  const std::string before = MachineSnapshot();
  Process installer;
  ASSERT_TRUE(installer.Start("\"" + choose_ + "\""));
  HWND wizard = WaitForWindow(installer.id(), kWizardClass, 60000);
  ASSERT_NE(wizard, nullptr);
  WaitForIdle(wizard);
  ASSERT_TRUE(ClickWhenClickable(wizard, NextButton));
  ASSERT_TRUE(ClickWhenClickable(wizard, AcceptOption));
  ASSERT_TRUE(ClickWhenClickable(wizard, NextButton));
  ASSERT_TRUE(WaitClickable(wizard, ScopeUserOption, 10000));
  HWND field = FindControl(wizard, InstallDirField);
  const std::string machineDefault = WindowText(field);
  EXPECT_NE(machineDefault.find("Acme Demo"), std::string::npos);
  EXPECT_EQ(machineDefault.find(UserTarget()), std::string::npos);
  EXPECT_TRUE(IsChecked(wizard, ScopeMachineOption));
  EXPECT_FALSE(IsChecked(wizard, ScopeUserOption));
  // The options sit above the folder label, clear of it.
  EXPECT_LE(Describe(FindControl(wizard, ScopeUserOption)).rect.bottom,
            Describe(FindControl(wizard, InstallDirLabel)).rect.top);

  ASSERT_TRUE(ClickWhenClickable(wizard, ScopeUserOption));
  EXPECT_TRUE(Eventually([&] { return WindowText(field) == UserTarget(); })) << WindowText(field);
  EXPECT_TRUE(IsChecked(wizard, ScopeUserOption));
  ASSERT_TRUE(ClickWhenClickable(wizard, ScopeMachineOption));
  EXPECT_TRUE(Eventually([&] { return WindowText(field) == machineDefault; })) << WindowText(field);
  ASSERT_TRUE(ClickWhenClickable(wizard, ScopeUserOption));
  EXPECT_TRUE(Eventually([&] { return WindowText(field) == UserTarget(); })) << WindowText(field);

  for (int step = 0; step < 4 && !WaitClickable(wizard, InstallButton, 300); ++step) {
    ASSERT_TRUE(ClickWhenClickable(wizard, NextButton));
  }
  ASSERT_TRUE(ClickWhenClickable(wizard, InstallButton));
  ASSERT_TRUE(WaitClickable(wizard, FinishButton, 60000));
  WaitForIdle(wizard);
  if (IsChecked(wizard, RunProgramBox)) {
    ASSERT_TRUE(ClickWhenClickable(wizard, RunProgramBox));
  }
  // A click that arrives while the window settles after the installation
  // may pass unseen: Finish again until the installer ends.
  bool ended = false;
  for (int attempt = 0; attempt < 3 && !ended; ++attempt) {
    ASSERT_TRUE(ClickWhenClickable(wizard, FinishButton));
    WaitForIdle(wizard);
    ended = installer.Wait(20000);
  }
  if (!ended) {
    std::string seen;
    for (HWND top : TopWindows(installer.id())) seen += "[" + WindowText(top) + "]";
    installer.Kill();  // the later tests need the instance name free
    FAIL() << "the installer still runs after Finish; its windows: " << seen;
  }
  EXPECT_EQ(installer.ExitCode(), 0u);

  const std::string folder = UserTarget();
  EXPECT_TRUE(Exists(folder + "acme.exe"));
  EXPECT_EQ(ReadRegistryText(kCurrentUser, kEntry, "InstallLocation"), folder);
  EXPECT_FALSE(wine_checks::KeyExists(HKEY_LOCAL_MACHINE, kEntry));
  IniDocument record = ReadIni(folder + "uninstall.dat");
  record.SelectGroup("Settings");
  EXPECT_EQ(record.ReadString("Scope", ""), "user");
  EXPECT_EQ(MachineSnapshot(), before);
  ASSERT_EQ(RunAndWait("\"" + folder + "Uninstall.exe\" /S", 120000), 0);
  EXPECT_FALSE(Exists(folder + "acme.exe"));
}

TEST_F(ScopeRun, ASwitchForAScopeThePackageDoesNotOfferIsABadArgument) {
  EXPECT_EQ(Run(user_, "/S /ALLUSERS"), 4);
  EXPECT_EQ(Run(machine_, "/S /CURRENTUSER"), 4);
  EXPECT_FALSE(Exists(UserTarget()));
  EXPECT_FALSE(wine_checks::KeyExists(HKEY_LOCAL_MACHINE, kEntry));
  EXPECT_FALSE(wine_checks::KeyExists(HKEY_CURRENT_USER, kEntry));
}

// What someone left at the working folder's name before the run.
TEST_F(ScopeRun, NothingPlantedAtTheWorkingFoldersNameIsUsed) {
  const std::string plain = GetTempFolder() + "Brindorel";
  const std::string elsewhere = OutFolder() + "planted-target\\";
  enum Planted { kFile, kStaleFolder, kLink };
  for (Planted planted : {kFile, kStaleFolder, kLink}) {
    SCOPED_TRACE(planted);
    Clean();
    wine_checks::RemoveFolderLink(plain);
    RemoveFolderTree(plain);
    RemoveFolderTree(elsewhere);
    CreateDirectoryW(WidePath(elsewhere).c_str(), nullptr);
    std::ofstream(elsewhere + "keep.txt") << "keep";
    switch (planted) {
      case kFile:
        std::ofstream(plain) << "a file";
        break;
      case kStaleFolder:
        CreateDirectoryW(WidePath(plain).c_str(), nullptr);
        std::ofstream(plain + "\\setup.ini") << "[Settings]\r\nProgExe=evil.exe\r\n";
        break;
      case kLink:
        ASSERT_TRUE(wine_checks::MakeFolderLink(plain, elsewhere));
        break;
    }
    ASSERT_EQ(Run(user_, "/S"), 0);
    EXPECT_TRUE(Exists(UserTarget() + "acme.exe"));
    // Nothing outside the real working folder was written or deleted.
    std::string inside;
    FolderSnapshot(elsewhere, 1, inside);
    EXPECT_EQ(inside, elsewhere + "|keep.txt\n");
    if (planted == kFile) {
      EXPECT_EQ(ReadText(plain), "a file");
    }
    if (planted == kStaleFolder) {
      EXPECT_FALSE(Exists(plain + "\\setup.ini"));
    }
    wine_checks::RemoveFolderLink(plain);
    RemoveFolderTree(plain);
  }
  RemoveFolderTree(elsewhere);
}

// A line added to "uninstall.dat" behind the installer's back deletes
// nothing outside the installation folder: the copy beside the entry does
// not list it. The program's own files still go.
TEST_F(ScopeRun, APlantedTaskLineOutsideTheFolderIsNotRemoved) {
  const std::string target = OutFolder() + "scope-planted\\Acme\\";
  const std::string victim = OutFolder() + "scope-victim.ini";
  std::ofstream(victim) << "[Keep]\r\n";
  ASSERT_EQ(Run(machine_, "/S /D=" + target), 0);
  ASSERT_TRUE(wine_checks::KeyExists(HKEY_LOCAL_MACHINE, kEntry + "\\BrindorelRecord"));
  std::string record = ReadText(target + "uninstall.dat");
  const std::size_t number = record.find("Number = ");
  ASSERT_NE(number, std::string::npos);
  const std::size_t end = record.find("\r\n", number);
  const int tasks = std::stoi(record.substr(number + 9, end - number - 9));
  record.replace(number, end - number, "Number = " + std::to_string(tasks + 1));
  record += "Task" + std::to_string(tasks + 1) + " = " + victim + "\r\n";
  std::ofstream(target + "uninstall.dat", std::ios::binary) << record;

  ASSERT_EQ(RunAndWait("\"" + target + "Uninstall.exe\" /S", 120000), 0);
  EXPECT_TRUE(Exists(victim));
  EXPECT_FALSE(Exists(target + "acme.exe"));
  EXPECT_FALSE(wine_checks::KeyExists(HKEY_LOCAL_MACHINE, kEntry));
  DeleteFileW(WidePath(victim).c_str());
  RemoveFolder(OutFolder() + "scope-planted\\", "", kRemoveSubfolders | kRemoveForced);
}

// Neither program asks for rights at start: a machine installation asks
// when it runs, a per-user one never.
TEST_F(ScopeRun, TheProgramsAskForNoRightsAtStart) {
  for (const char* program : {"core\\Install.exe", "uninstaller\\Uninstall.exe"}) {
    SCOPED_TRACE(program);
    HMODULE image = LoadLibraryExW(WidePath(BuildDir() + program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // the manifest
    ASSERT_NE(found, nullptr);
    const char* text = static_cast<const char*>(LockResource(LoadResource(image, found)));
    const std::string manifest(text, SizeofResource(image, found));
    FreeLibrary(image);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_EQ(manifest.find("requireAdministrator"), std::string::npos);
  }
}

}  // namespace
}  // namespace brindorel::e2e

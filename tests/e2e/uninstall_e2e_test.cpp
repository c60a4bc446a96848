// The round trip on the example package: the real Install.exe walked through
// its pages, then the installed Uninstall.exe through its window and with /S,
// while the installed program runs, and over a damaged "uninstall.dat".
// Afterwards everything the installation created is gone (files, folders,
// shortcuts, the start-menu folder, the entry, the product key, the task
// records) and nothing outside the installation folder was touched.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "driver.h"
#include "e2e_support.h"
#include "install/shell_links.h"
#include "services/folders.h"
#include "services/registry.h"
#include "ui/control_surface.h"
#include "uninstaller/uninstall_window.h"

namespace brindorel::e2e {
namespace {

constexpr std::uint32_t kUser = 0x80000001u;
const char kGuid[] = "{7D1E6F52-2C4B-4A8E-9B3D-1F0A6C5E8D24}";  // the example's GUID
const char kTaskKey[] = "Software\\Acme\\Demo";                  // its registry task
const char kExampleMutex[] = "AcmeDemoRunning";

std::string EntryKey() { return std::string(kUninstallKeyBase) + kGuid; }
std::string ProductKey() { return std::string("SOFTWARE\\Brindorel\\") + kGuid; }

bool KeyExists(HKEY root, const std::string& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// Every file and folder below `folder`, as full paths (folders end in "\").
void Collect(const std::string& folder, std::set<std::string>& paths) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      paths.insert(folder + name + "\\");
      Collect(folder + name + "\\", paths);
    } else {
      paths.insert(folder + name);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

// What lies outside the installation folder where an installation leaves
// something: the desktop, the programs folder, the application data.
std::set<std::string> OutsideFiles() {
  std::set<std::string> paths;
  for (std::int32_t id : {0, 2, 26}) Collect(GetSpecialFolder(id), paths);
  return paths;
}

void DeleteTree(const std::string& folder) {
  std::set<std::string> paths;
  Collect(folder, paths);
  for (auto it = paths.rbegin(); it != paths.rend(); ++it) {
    SetFileAttributesA(it->c_str(), FILE_ATTRIBUTE_NORMAL);
    if (it->back() == '\\') {
      RemoveDirectoryA(it->c_str());
    } else {
      DeleteFileA(it->c_str());
    }
  }
  RemoveDirectoryA(folder.c_str());
}

struct WindowSearch {
  const char* className;
  HWND found;
};

BOOL CALLBACK MatchVisibleWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (IsWindowVisible(window) && lstrcmpA(name, search->className) == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// A visible top-level window of that class in any process (the uninstaller's
// window belongs to its copy, whose process id the test does not know).
HWND WaitForAnyWindow(const char* className, DWORD milliseconds) {
  for (DWORD waited = 0; waited <= milliseconds; waited += 100) {
    WindowSearch search{className, nullptr};
    EnumWindows(MatchVisibleWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    Sleep(100);
  }
  return nullptr;
}

bool Shown(HWND wizard, int number) {
  HWND control = FindControl(wizard, number);
  return control != nullptr && Describe(control).shown;
}

int ShownPage(HWND wizard) {
  for (int page : {WelcomePage, LicencePage, SettingsPage, InfoPage, InstallPage}) {
    if (Shown(wizard, page)) return page;
  }
  return 0;
}

bool WaitUntil(DWORD milliseconds, const std::function<bool()>& condition) {
  for (DWORD waited = 0; waited <= milliseconds; waited += 100) {
    if (condition()) return true;
    Sleep(100);
  }
  return condition();
}

class UninstallRoundTrip : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    installer_ = new std::string(BuildInstaller(SourcePath("examples/acme-demo"), "uninstall-acme.exe"));
  }
  static void TearDownTestSuite() { delete installer_; }

  void SetUp() override {
    ASSERT_FALSE(installer_->empty());
    folder_ = GetSpecialFolder(-6) + "Acme Demo " + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
              "\\";
    DeleteTree(folder_);
    before_ = OutsideFiles();
  }
  // A failed run may leave the installer, the program or an uninstaller
  // copy waiting; the next test must start from nothing.
  void TearDown() override {
    for (const char* name : {"uninstall-acme.exe", "acme.exe", "Uninstall.exe", "BrindorelUninstall*"})
      KillProcesses(name);
    DeleteTree(folder_);
  }

  // Walks every page with the default choices, the folder typed on page 3,
  // and does not start the program at the end.
  void Install(const std::string& shots) {
    Process installer;
    ASSERT_TRUE(installer.Start("\"" + *installer_ + "\""));
    HWND wizard = WaitForWindow(installer.id(), kWizardClass, 90000);
    ASSERT_NE(wizard, nullptr);
    for (int step = 0; step < 12; ++step) {
      ASSERT_TRUE(WaitUntil(30000, [&] { return ShownPage(wizard) != 0; }));
      const int page = ShownPage(wizard);
      if (page == LicencePage) Click(FindControl(wizard, AcceptOption));
      if (page == SettingsPage) SetFieldText(FindControl(wizard, InstallDirField), folder_);
      WaitForIdle(wizard);
      SaveScreenshot(wizard, OutFolder() + shots + "-page" + std::to_string(step + 1) + ".bmp");
      if (page == InstallPage) {
        // The page's title changes when the installation has run.
        HWND title = FindControl(wizard, InstallTitle);
        const std::string before = WindowText(title);
        Click(FindControl(wizard, InstallButton));
        ASSERT_TRUE(WaitUntil(180000, [&] { return WindowText(title) != before; }));
        HWND run = FindControl(wizard, RunProgramBox);
        if (run != nullptr && SendMessageA(run, BM_GETCHECK, 0, 0) == BST_CHECKED) Click(run);
        WaitForIdle(wizard);
        SaveScreenshot(wizard, OutFolder() + shots + "-finished.bmp");
        Click(FindControl(wizard, FinishButton));
        break;
      }
      Click(FindControl(wizard, NextButton));
      ASSERT_TRUE(WaitUntil(30000, [&] { return ShownPage(wizard) != page; }));
    }
    ASSERT_TRUE(installer.Wait(60000));
    ASSERT_TRUE(Exists(folder_ + "uninstall.dat")) << folder_;
    ASSERT_TRUE(Exists(folder_ + "Uninstall.exe"));
    IniDocument record = ReadIni(folder_ + "uninstall.dat");
    record.SelectGroup("Settings");
    ASSERT_EQ(record.ReadString("ProgDir"), folder_);
    installed_ = OutsideFiles();
    ASSERT_GT(installed_.size(), before_.size());  // links, the start-menu folder, the copied file
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, EntryKey()) || KeyExists(HKEY_CURRENT_USER, EntryKey()));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, ProductKey()));
    EXPECT_NE(ReadRegistryText(kUser, kTaskKey, "InstallPath"), "");
  }

  DWORD UninstallSilently() {
    Process uninstaller;
    if (!uninstaller.Start("\"" + folder_ + "Uninstall.exe\" /S", GetSpecialFolder(-4))) return 999;
    if (!uninstaller.Wait(180000)) return 998;
    // The copy takes Uninstall.exe and the folder after the original ended.
    WaitUntil(15000, [&] { return !Exists(folder_ + "Uninstall.exe"); });
    return uninstaller.ExitCode();
  }

  // Everything the installation made outside its folder is gone again.
  void ExpectNothingLeftOutside() {
    const std::set<std::string> now = OutsideFiles();
    for (const std::string& path : now) EXPECT_TRUE(before_.count(path) != 0) << "left: " << path;
    for (const std::string& path : before_) EXPECT_TRUE(now.count(path) != 0) << "removed: " << path;
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, EntryKey()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, EntryKey()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ProductKey()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTaskKey));
  }

  void ExpectEverythingInstalledStill() {
    EXPECT_EQ(OutsideFiles(), installed_);
    EXPECT_TRUE(Exists(folder_ + "acme.exe"));
    EXPECT_TRUE(Exists(folder_ + "uninstall.dat"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, ProductKey()));
    EXPECT_NE(ReadRegistryText(kUser, kTaskKey, "InstallPath"), "");
  }

  static std::string* installer_;
  std::string folder_;
  std::set<std::string> before_, installed_;
};
std::string* UninstallRoundTrip::installer_ = nullptr;

// What the installation made, one line each (the demo prints them).
std::set<std::string> Made(const std::set<std::string>& before, const std::set<std::string>& after,
                           const std::string& folder) {
  std::set<std::string> made;
  for (const std::string& path : after) {
    if (before.count(path) == 0) made.insert(path);
  }
  made.insert(folder);
  Collect(folder, made);
  return made;
}

TEST_F(UninstallRoundTrip, ThroughTheWindowWithDelAllNothingIsLeft) {
  Install("uninstall-window");
  IniDocument record = ReadIni(folder_ + "uninstall.dat");
  record.SelectGroup("Language");
  const std::string ready = record.ReadString("Ready");
  const std::set<std::string> made = Made(before_, installed_, folder_);
  for (const std::string& path : made) std::printf("installed: %s\n", path.c_str());
  WriteWholeFile(folder_ + "docs\\mine.txt", "the user's own");

  Process uninstaller;
  ASSERT_TRUE(uninstaller.Start("\"" + folder_ + "Uninstall.exe\""));
  HWND window = WaitForAnyWindow(kUninstallWindowClass, 60000);
  ASSERT_NE(window, nullptr);
  WaitForIdle(window);
  EXPECT_EQ(WindowText(FindControl(window, kUninstallNameLabel)), "Acme Demo 2.1");
  HWND delAll = FindControl(window, kUninstallDelAllBox);
  ASSERT_NE(delAll, nullptr);
  EXPECT_EQ(SendMessageA(delAll, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  SaveScreenshot(window, OutFolder() + "uninstall-window-ask.bmp");
  Click(delAll);
  ASSERT_TRUE(WaitUntil(5000, [&] { return SendMessageA(delAll, BM_GETCHECK, 0, 0) == BST_CHECKED; }));
  Click(FindControl(window, kUninstallOkButton));
  HWND status = FindControl(window, kUninstallStatusLabel);
  ASSERT_TRUE(WaitUntil(120000, [&] { return WindowText(status).rfind(ready, 0) == 0; })) << WindowText(status);
  EXPECT_EQ(WindowText(status), ready);  // nothing left to list
  SaveScreenshot(window, OutFolder() + "uninstall-window-ready.bmp");
  Click(FindControl(window, kUninstallOkButton));
  ASSERT_TRUE(uninstaller.Wait(60000));
  EXPECT_EQ(uninstaller.ExitCode(), 0u);
  ASSERT_TRUE(WaitUntil(15000, [&] { return !Exists(folder_); })) << "the folder stayed";
  ExpectNothingLeftOutside();
  for (const std::string& path : made) std::printf("%s: %s\n", Exists(path) ? "LEFT" : "removed", path.c_str());
}

// The installation itself is checked value by value by the installation's
// own end-to-end test; here only what a second run makes of it.
TEST_F(UninstallRoundTrip, ASecondRunOffersTheFoldersOfTheFirstThenRemovalClearsThem) {
  Install("install-again");
  // A second run offers the first installation's folders on page 3.
  Process again;
  ASSERT_TRUE(again.Start("\"" + *installer_ + "\""));
  HWND wizard = WaitForWindow(again.id(), kWizardClass, 90000);
  ASSERT_NE(wizard, nullptr);
  for (int step = 0; step < 3 && ShownPage(wizard) != SettingsPage; ++step) {
    const int page = ShownPage(wizard);
    if (page == LicencePage) Click(FindControl(wizard, AcceptOption));
    Click(FindControl(wizard, NextButton));
    WaitUntil(30000, [&] { return ShownPage(wizard) != page; });
  }
  ASSERT_EQ(ShownPage(wizard), SettingsPage);
  EXPECT_EQ(WithTrailingSeparator(WindowText(FindControl(wizard, InstallDirField))), folder_);
  EXPECT_EQ(WindowText(FindControl(wizard, MenuFolderField)), "Acme\\Demo");
  RequestClose(wizard);
  EXPECT_TRUE(again.Wait(60000));
  EXPECT_EQ(UninstallSilently(), 0u);
  ExpectNothingLeftOutside();
}

TEST_F(UninstallRoundTrip, SilentlyTheUsersOwnFileStays) {
  Install("uninstall-silent");
  WriteWholeFile(folder_ + "mine.txt", "the user's own");
  EXPECT_EQ(UninstallSilently(), 0u);
  std::set<std::string> inside;
  Collect(folder_, inside);
  EXPECT_EQ(inside, (std::set<std::string>{folder_ + "mine.txt"}));
  ExpectNothingLeftOutside();
}

TEST_F(UninstallRoundTrip, RefusedWhileTheProgramRuns) {
  Install("uninstall-running");
  Process program;
  ASSERT_TRUE(program.Start("\"" + folder_ + "acme.exe\"", folder_));
  ASSERT_TRUE(WaitUntil(30000, [] {
    HANDLE m = OpenMutexA(SYNCHRONIZE, FALSE, kExampleMutex);
    if (m != nullptr) CloseHandle(m);
    return m != nullptr;
  }));
  EXPECT_EQ(UninstallSilently(), 1u);
  ExpectEverythingInstalledStill();

  // Through the window: the Error box, and Cancel on it ends with nothing removed.
  Process uninstaller;
  ASSERT_TRUE(uninstaller.Start("\"" + folder_ + "Uninstall.exe\""));
  HWND window = WaitForAnyWindow(kUninstallWindowClass, 60000);
  ASSERT_NE(window, nullptr);
  Click(FindControl(window, kUninstallOkButton));
  HWND box = WaitForAnyWindow("#32770", 30000);
  ASSERT_NE(box, nullptr);
  SaveScreenshot(box, OutFolder() + "uninstall-running-error.bmp");
  AnswerMessageBox(box, IDCANCEL);
  ASSERT_TRUE(uninstaller.Wait(60000));
  EXPECT_EQ(uninstaller.ExitCode(), 1u);
  ExpectEverythingInstalledStill();

  program.Kill();
  program.Wait(10000);
  EXPECT_EQ(UninstallSilently(), 0u);
  ExpectNothingLeftOutside();
}

TEST_F(UninstallRoundTrip, ADamagedRecordTouchesNothingOutsideTheFolder) {
  Install("uninstall-damaged");
  const std::string record = ReadWholeFile(folder_ + "uninstall.dat");
  const std::string bait = GetSpecialFolder(-6) + "bait.txt";  // "..\bait.txt" from the folder
  WriteWholeFile(bait, "not the installation's");

  // ProgDir naming the Windows folder: refused before anything is touched.
  std::string windows = record;
  const std::size_t at = windows.find("ProgDir = ");
  ASSERT_NE(at, std::string::npos);
  windows.replace(at, windows.find("\r\n", at) - at, "ProgDir = " + GetSpecialFolder(-3));
  WriteWholeFile(folder_ + "uninstall.dat", windows);
  EXPECT_EQ(UninstallSilently(), 2u);
  ExpectEverythingInstalledStill();

  // Cut in the middle of [Settings]: no ProgDir, refused.
  WriteWholeFile(folder_ + "uninstall.dat", record.substr(0, record.find("ProgDir") + 4));
  EXPECT_EQ(UninstallSilently(), 2u);
  ExpectEverythingInstalledStill();

  // A [Files] line leaving the folder is refused; the rest goes.
  std::string climbing = record;
  climbing.insert(climbing.find("[Files]\r\n") + 9, "F000 = ..\\bait.txt\r\nF999 = ..\\..\\x\r\n");
  WriteWholeFile(folder_ + "uninstall.dat", climbing);
  EXPECT_EQ(UninstallSilently(), 2u);
  EXPECT_TRUE(Exists(bait));
  ExpectNothingLeftOutside();
  DeleteFileA(bait.c_str());
}

}  // namespace
}  // namespace brindorel::e2e

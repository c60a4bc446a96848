// A user whose profile folder is named in Greek and CJK characters, outside
// the system's 8-bit code page (cmake/wine-profile-run makes such a Wine
// prefix and runs this program there): a package in Cyrillic, Greek and CJK,
// with a UTF-8 language file, a program file, a start-menu folder, links and
// registry values in those scripts, installed and removed again silently (with
// /D= in Cyrillic) and through the wizard and the uninstaller's window.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "driver.h"
#include "e2e_support.h"
#include "install/shell_links.h"
#include "services/file_system.h"
#include "services/folders.h"
#include "services/utf8.h"
#include "services/wide_win.h"
#include "tests/win32/support/win32_checks.h"
#include "ui/control_surface.h"
#include "ui/interface_texts.h"
#include "uninstaller/uninstall_window.h"

namespace brindorel::e2e {
namespace {

using wine_checks::DeleteKeyTree;
using wine_checks::KeyExists;
using wine_checks::ReadLink;
using wine_checks::ReadStoredValue;

const char kGuid[] = "{5B0E3C7A-91D4-4F2E-8A63-2C7D9E1F4B05}";
const char kTitel[] = "\xD0\x90\xD0\xBA\xD0\xBC\xD0\xB5 \xE6\xBC\x94\xE7\xA4\xBA";  // "Акме 演示"
const char kAuthor[] = "\xD0\x90\xD0\xBA\xD0\xBC\xD0\xB5 \xCE\xA3\xCE\xBF\xCF\x86\xCF\x84";  // "Акме Σοφτ"
const char kMenuName[] = "Acme\\\xD0\x94\xD0\xB5\xD0\xBC\xD0\xBE";  // "Acme\Демо"
const char kGreekFile[] = "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC \xE6\x96\x87\xE4\xBB\xB6.txt";
const char kGreekLink[] = "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC";  // "Ελληνικά"
const char kTaskKey[] = "Software\\Acme\\\xD0\x94\xD0\xB5\xD0\xBC\xD0\xBE";
const char kTaskValue[] = "\xD0\x9F\xD1\x83\xD1\x82\xD1\x8C";  // "Путь"
const char kProgramFolderName[] = "\xD0\x90\xD0\xBA\xD0\xBC\xD0\xB5 \xD0\x94\xD0\xB5\xD0\xBC\xD0\xBE";  // "Акме Демо"

// The settings in UTF-8 with the mark: every text a user sees or the system
// stores is in another script.
std::string SetupIni() {
  return std::string("\xEF\xBB\xBF") +
         "[Settings]\r\nLanguage=russian.lng#25|\r\nProgExe=acme.exe\r\nDefaultDir=%ProgramFiles%" +
         kProgramFolderName + "\r\nNoCopyExt=dat|\r\nIconID=0\r\n"
         "[Info]\r\nTitel=" + kTitel + "\r\nVersion=2.1\r\nGUID=" + kGuid +
         "\r\nWeb=https://acme.invalid/demo\r\nDate=07.12.2026\r\nAuthor=" + kAuthor +
         "\r\nEMail=support@acme.invalid\r\n"
         "[StartMenue]\r\nDefaultDir=" + kMenuName + "\r\nProgLink=" + kTitel +
         "\r\nHelp=acme-help.html\r\nURL=https://acme.invalid/demo\r\nExe=tools\\acme-config.exe\r\nUnistall=1\r\n"
         "[Task]\r\nMutexString=AcmeDemoRunning\r\nReboot=0\r\nDesktop=1\r\nStartProg=1\r\nStartMenu=1\r\n"
         "[UserTask]\r\nNumber=3\r\nTask1=0|" + kGreekLink + "|" + kGreekFile + "|0\r\nTask2=6|2147483649|" +
         kTaskKey + "|" + kTaskValue + "|%ProgramFiles%" + kProgramFolderName +
         "\r\nTask3=5|acme-demo.ini|acme-demo.ini|%AppData%\r\n";
}

// The language file: UTF-8 with the mark, Cyrillic and CJK.
std::string RussianLng() {
  return "\xEF\xBB\xBF"
         "[Page01]\r\n"
         "Titel=\xD0\x94\xD0\xBE\xD0\xB1\xD1\x80\xD0\xBE \xD0\xBF\xD0\xBE\xD0\xB6\xD0\xB0\xD0\xBB\xD0\xBE\xD0\xB2\xD0\xB0"
         "\xD1\x82\xD1\x8C \xE6\xAC\xA2\xE8\xBF\x8E\r\n"
         "Msg1=\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBC\xD0\xBC\xD0\xB0 \xE5\xAE\x89\xE8\xA3\x85\r\n"
         "[Buttons]\r\n"
         "Next=\xD0\x94\xD0\xB0\xD0\xBB\xD0\xB5\xD0\xB5\r\n"
         "Back=\xD0\x9D\xD0\xB0\xD0\xB7\xD0\xB0\xD0\xB4\r\n"
         "Cancel=\xD0\x9E\xD1\x82\xD0\xBC\xD0\xB5\xD0\xBD\xD0\xB0\r\n"
         "Install=\xD0\xA3\xD1\x81\xD1\x82\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xB2\xD0\xB8\xD1\x82\xD1\x8C\r\n"
         "Finish=\xD0\x93\xD0\xBE\xD1\x82\xD0\xBE\xD0\xB2\xD0\xBE\r\n"
         "[Page03]\r\n"
         "Titel=\xD0\x9D\xD0\xB0\xD1\x81\xD1\x82\xD1\x80\xD0\xBE\xD0\xB9\xD0\xBA\xD0\xB8 \xE8\xAE\xBE\xE7\xBD\xAE\r\n"
         "[Uninstaller]\r\n"
         "Titel=\xD0\xA3\xD0\xB4\xD0\xB0\xD0\xBB\xD0\xB5\xD0\xBD\xD0\xB8\xD0\xB5 \xE5\x8D\xB8\xE8\xBD\xBD\r\n"
         "OK=\xD0\x94\xD0\xB0\r\n"
         "Cancel=\xD0\x9E\xD1\x82\xD0\xBC\xD0\xB5\xD0\xBD\xD0\xB0\r\n"
         "Ready=\xD0\x93\xD0\xBE\xD1\x82\xD0\xBE\xD0\xB2\xD0\xBE.\r\n";
}

InterfaceTexts RussianTexts() {
  IniDocument language = IniDocument::Parse(RussianLng());
  return LoadInterfaceTexts(language, kTitel, "2.1");
}

void Store(const std::string& path, const std::string& bytes) {
  std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string Load(const std::string& path) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool WaitUntil(DWORD milliseconds, const std::function<bool()>& condition) {
  for (DWORD waited = 0; waited <= milliseconds; waited += 100) {
    if (condition()) return true;
    Sleep(100);
  }
  return condition();
}

struct WindowSearch {
  std::wstring className;
  HWND found;
};

BOOL CALLBACK MatchVisibleWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  if (search->className == name && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// A visible top-level window of that class in any process (the uninstaller
// shows its window from a copy of itself).
HWND WaitForAnyWindow(const char* className, DWORD milliseconds) {
  for (DWORD waited = 0; waited <= milliseconds; waited += 100) {
    WindowSearch search{Wide(className), nullptr};
    EnumWindows(MatchVisibleWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    Sleep(100);
  }
  return nullptr;
}

bool Checked(HWND control) { return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// The titles the X server holds for the top-level windows (_NET_WM_NAME, in
// UTF-8), read with xprop through Wine's way of starting Unix programs.
std::vector<std::string> X11WindowTitles() {
  const std::string unixFile = "/tmp/brindorel-titles-" + std::to_string(GetCurrentProcessId()) + ".txt";
  // Wine cannot wait for a Unix program: the file appears whole, at the end.
  const std::string script = "for w in $(xwininfo -root -children | awk '/^ +0x/ {print $1}'); do xprop -id $w "
                             "_NET_WM_NAME; done > " + unixFile + ".part 2>&1; mv " + unixFile + ".part " + unixFile;
  RunAndWait(GetSpecialFolder(-2) + "start.exe /wait /unix /bin/sh -c \"" + script + "\"", 60000);
  const std::string windowsFile = HostPath(unixFile);
  std::vector<std::string> titles;
  WaitUntil(30000, [&] { return Exists(windowsFile); });
  const std::string text = Load(windowsFile);
  DeleteFileW(Wide(windowsFile).c_str());
  const std::string prefix = "_NET_WM_NAME(UTF8_STRING) = \"";
  for (std::size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at + 1)) {
    const std::size_t start = at + prefix.size();
    const std::size_t end = text.find("\"\n", start);
    if (end != std::string::npos) titles.push_back(text.substr(start, end - start));
  }
  return titles;
}

class UnicodeProfile : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string folder = CopyOfExample("unicode-package", {"setup.ini"});
    ASSERT_FALSE(folder.empty());
    Store(folder + "\\setup.ini", SetupIni());
    Store(folder + "\\russian.lng", RussianLng());
    Store(folder + "\\program\\" + kGreekFile, "\xCE\xB3\xCE\xB5\xCE\xB9\xCE\xB1\r\n");
    installer_ = new std::string(BuildInstaller(folder, "unicode-profile.exe"));
  }
  static void TearDownTestSuite() {
    delete installer_;
    installer_ = nullptr;
  }
  void SetUp() override {
    ASSERT_FALSE(installer_->empty()) << "the package could not be built";
    Clean();
  }
  void TearDown() override {
    KillProcesses("unicode-profile.exe");
    KillProcesses("BrindorelUninstall*");
    Clean();
  }

  static std::string Desktop() { return GetSpecialFolder(0); }
  static std::string MenuFolder() { return GetSpecialFolder(2) + kMenuName + "\\"; }
  static std::string EntryKey() { return std::string(kUninstallKeyBase) + kGuid; }
  static std::string ProductKey() { return std::string("SOFTWARE\\Brindorel\\") + kGuid; }

  static void Clean() {
    for (const std::string& folder : {std::string("C:\\\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBC\xD0\xBC\xD1\x8B\\"),
                                      std::string("C:\\\xCE\xA0\xCF\x81\xCF\x8C\xCE\xB3\xCF\x81\xCE\xB1\xCE\xBC\xCE\xBC\xCE\xB1\\"),
                                      GetSpecialFolder(2) + "Acme\\"})
      RemoveFolder(folder, "", kRemoveSubfolders | kRemoveForced);
    for (const std::string& link : {std::string(kTitel) + ".lnk", std::string(kGreekLink) + ".lnk"})
      DeleteFileW(Wide(Desktop() + link).c_str());
    DeleteFileW(Wide(GetSpecialFolder(26) + "acme-demo.ini").c_str());
    DeleteKeyTree(HKEY_LOCAL_MACHINE, EntryKey());
    DeleteKeyTree(HKEY_CURRENT_USER, EntryKey());
    DeleteKeyTree(HKEY_CURRENT_USER, ProductKey());
    DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Acme");
  }

  // Everything the installation makes, read back exactly.
  static void ExpectInstalled(const std::string& dir, const InterfaceTexts& texts) {
    for (const std::string& file : {std::string("acme.exe"), std::string("tools\\acme-config.exe"),
                                    std::string("Uninstall.exe"), std::string(kGreekFile)})
      EXPECT_TRUE(Exists(dir + file)) << file;

    // "uninstall.dat": UTF-8 with the mark, every text as written.
    EXPECT_EQ(Load(dir + "uninstall.dat").rfind("\xEF\xBB\xBF", 0), 0u);
    IniDocument record = ReadIni(dir + "uninstall.dat");
    ASSERT_TRUE(record.utf8());
    record.SelectGroup("Settings");
    EXPECT_EQ(record.ReadString("ProgName"), kTitel);
    EXPECT_EQ(record.ReadString("ProgDir"), dir);
    EXPECT_EQ(record.ReadString("ProgLink"), kTitel);
    EXPECT_EQ(record.ReadString("StartMenu"), MenuFolder());
    EXPECT_EQ(record.ReadString("DesktopIcon"), Desktop() + kTitel + ".lnk");
    record.SelectGroup("Files");
    bool listed = false;
    for (const std::string& key : record.KeyNames()) listed |= record.ReadString(key) == kGreekFile;
    EXPECT_TRUE(listed);
    record.SelectGroup("Language");
    EXPECT_EQ(record.ReadString("Titel"), texts.Get(TextId::UninstallerTitel));
    record.SelectGroup("UserTask");
    EXPECT_EQ(record.ReadString("Task1"), Desktop() + kGreekLink + ".lnk");
    EXPECT_EQ(record.ReadString("Task2"), std::string("2147483649|") + kTaskKey + "|" + kTaskValue);

    // The registry: the uninstall entry, the product key and the task's value.
    EXPECT_EQ(ReadStoredValue(HKEY_LOCAL_MACHINE, EntryKey(), "DisplayName").Text(), kTitel);
    EXPECT_EQ(ReadStoredValue(HKEY_LOCAL_MACHINE, EntryKey(), "Publisher").Text(), kAuthor);
    EXPECT_EQ(ReadStoredValue(HKEY_LOCAL_MACHINE, EntryKey(), "UninstallString").Text(),
              UninstallCommandText(dir + "Uninstall.exe"));
    EXPECT_EQ(ReadStoredValue(HKEY_CURRENT_USER, ProductKey(), "InstallDir").Text(), dir);
    EXPECT_EQ(ReadStoredValue(HKEY_CURRENT_USER, ProductKey(), "StartMenu").Text(), kMenuName);
    // Registry tasks store their text as it stands.
    EXPECT_EQ(ReadStoredValue(HKEY_CURRENT_USER, kTaskKey, kTaskValue).Text(),
              std::string("%ProgramFiles%") + kProgramFolderName);

    // The links, compared through their item lists.
    EXPECT_EQ(ReadLink(Desktop() + kTitel + ".lnk").itemPath, dir + "acme.exe");
    EXPECT_EQ(ReadLink(Desktop() + kGreekLink + ".lnk").itemPath, dir + kGreekFile);
    EXPECT_EQ(ReadLink(MenuFolder() + kTitel + ".lnk").itemPath, dir + "acme.exe");
    EXPECT_EQ(ReadLink(MenuFolder() + "acme-config.lnk").itemPath, dir + "tools\\acme-config.exe");
    EXPECT_EQ(ReadLink(MenuFolder() + "Uninstall.lnk").itemPath, dir + "Uninstall.exe");
  }

  // Nothing of the installation is left.
  static void ExpectRemoved(const std::string& dir) {
    EXPECT_TRUE(WaitUntil(15000, [&] { return !Exists(dir); })) << dir;
    EXPECT_FALSE(Exists(MenuFolder()));
    EXPECT_FALSE(Exists(GetSpecialFolder(2) + "Acme\\"));
    EXPECT_FALSE(Exists(Desktop() + kTitel + ".lnk"));
    EXPECT_FALSE(Exists(Desktop() + kGreekLink + ".lnk"));
    EXPECT_FALSE(Exists(GetSpecialFolder(26) + "acme-demo.ini"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, EntryKey()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, ProductKey()));
    EXPECT_FALSE(ReadStoredValue(HKEY_CURRENT_USER, kTaskKey, kTaskValue).present);
  }

  static std::string* installer_;
};
std::string* UnicodeProfile::installer_ = nullptr;

// The test is only worth its name when the profile really is out of reach of
// the 8-bit code page.
TEST_F(UnicodeProfile, TheProfileFolderIsOutsideTheCodePage) {
  const std::string profile = GetSpecialFolder(40);
  const std::string temp = GetTempFolder();
  std::string plain;
  EXPECT_FALSE(IsAscii(profile)) << profile;
  EXPECT_FALSE(SystemCodePage().fromUtf8(profile, plain)) << profile;
  EXPECT_EQ(temp.rfind(profile, 0), 0u) << temp;
  EXPECT_TRUE(Exists(temp)) << temp;
}

TEST_F(UnicodeProfile, SilentInstallWithACyrillicFolderAndSilentRemoval) {
  const std::string dir = "C:\\\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBC\xD0\xBC\xD1\x8B\\"
                          "\xD0\x90\xD0\xBA\xD0\xBC\xD0\xB5 \xCE\x94\\";  // "C:\Программы\Акме Δ\"
  const std::string log = GetTempFolder() + "\xD0\xB6\xD1\x83\xD1\x80\xD0\xBD\xD0\xB0\xD0\xBB.log";  // "журнал.log"
  DeleteFileW(Wide(log).c_str());
  EXPECT_EQ(RunAndWait("\"" + *installer_ + "\" /S \"/LOG=" + log + "\" /D=" + dir.substr(0, dir.size() - 1), 180000), 0);
  const std::string text = Load(log);
  EXPECT_EQ(text.rfind("\xEF\xBB\xBF" + std::string(kTitel) + "  -  Version 2.1   (07.12.2026)\r\n", 0), 0u) << text;
  EXPECT_EQ(text.find("Failed"), std::string::npos) << text;
  DeleteFileW(Wide(log).c_str());
  ExpectInstalled(dir, RussianTexts());
  EXPECT_FALSE(Exists(WorkFolder()));

  EXPECT_EQ(RunAndWait("\"" + dir + "Uninstall.exe\" /S", 180000), 0);
  ExpectRemoved(dir);
}

TEST_F(UnicodeProfile, WizardShowsTheLanguageFileAndTheUninstallerWindowRemovesEverything) {
  const std::string dir = "C:\\\xCE\xA0\xCF\x81\xCF\x8C\xCE\xB3\xCF\x81\xCE\xB1\xCE\xBC\xCE\xBC\xCE\xB1\\"
                          "\xCE\x91\xCE\xBA\xCE\xBC\xCE\xAE\\";  // "C:\Πρόγραμμα\Ακμή\"
  const InterfaceTexts texts = RussianTexts();
  Process installer;
  ASSERT_TRUE(installer.Start("\"" + *installer_ + "\""));
  HWND wizard = WaitForWindow(installer.id(), kWizardClass, 90000);
  ASSERT_NE(wizard, nullptr);
  ASSERT_TRUE(WaitClickable(wizard, NextButton, 30000));

  // The title as the window holds it and as the X server shows it.
  const std::string title = " " + std::string(kTitel) + "  2.1";
  EXPECT_EQ(WindowText(wizard), title);
  const std::vector<std::string> shown = X11WindowTitles();
  EXPECT_NE(std::find(shown.begin(), shown.end(), title), shown.end()) << shown.size() << " titles read";

  // The language file's texts on the pages, each page kept as a picture.
  EXPECT_EQ(WindowText(FindControl(wizard, WelcomeTitle)), texts.Get(TextId::Page01Titel));
  EXPECT_EQ(WindowText(FindControl(wizard, WelcomeText)).rfind(texts.Get(TextId::Page01Msg1), 0), 0u);
  EXPECT_EQ(WindowText(FindControl(wizard, NextButton)), texts.Get(TextId::ButtonsNext) + " >");
  EXPECT_EQ(WindowText(FindControl(wizard, CancelButton)), texts.Get(TextId::ButtonsCancel));
  for (int step = 0; step < 6; ++step) {
    int page = 0;
    for (int candidate : {WelcomePage, LicencePage, SettingsPage, InfoPage, InstallPage}) {
      HWND control = FindControl(wizard, candidate);
      if (control != nullptr && Describe(control).shown) page = candidate;
    }
    ASSERT_NE(page, 0);
    if (page == LicencePage) Click(FindControl(wizard, AcceptOption));
    if (page == SettingsPage) {
      EXPECT_EQ(WindowText(FindControl(wizard, HeaderTitle)), texts.Get(TextId::Page03Titel));
      EXPECT_EQ(WindowText(FindControl(wizard, MenuFolderField)), kMenuName);
      SetFieldText(FindControl(wizard, InstallDirField), dir);
    }
    WaitForIdle(wizard);
    SaveScreenshot(wizard, OutFolder() + "unicode-page" + std::to_string(step + 1) + ".bmp");
    if (page == InstallPage) {
      EXPECT_EQ(WindowText(FindControl(wizard, InstallButton)), texts.Get(TextId::ButtonsInstall));
      // The page's title changes when the installation has run; clicks
      // before that are dropped.
      HWND installTitle = FindControl(wizard, InstallTitle);
      const std::string before = WindowText(installTitle);
      Click(FindControl(wizard, InstallButton));
      ASSERT_TRUE(WaitUntil(180000, [&] { return WindowText(installTitle) != before; }));
      ASSERT_TRUE(WaitClickable(wizard, FinishButton, 30000));
      EXPECT_EQ(WindowText(FindControl(wizard, FinishButton)), texts.Get(TextId::ButtonsFinish));
      HWND run = FindControl(wizard, RunProgramBox);
      if (run != nullptr && Checked(run)) Click(run);
      WaitForIdle(wizard);
      SaveScreenshot(wizard, OutFolder() + "unicode-finished.bmp");
      Click(FindControl(wizard, FinishButton));
      break;
    }
    Click(FindControl(wizard, NextButton));
    ASSERT_TRUE(WaitUntil(30000, [&] { return !Describe(FindControl(wizard, page)).shown; }));
  }
  ASSERT_TRUE(installer.Wait(60000));
  EXPECT_EQ(installer.ExitCode(), 0u);
  ExpectInstalled(dir, texts);

  // The uninstaller speaks the installation's language and removes it all.
  Process uninstaller;
  ASSERT_TRUE(uninstaller.Start("\"" + dir + "Uninstall.exe\""));
  HWND window = WaitForAnyWindow(kUninstallWindowClass, 90000);
  ASSERT_NE(window, nullptr);
  WaitForIdle(window);
  EXPECT_EQ(WindowText(window), texts.Get(TextId::UninstallerTitel));
  EXPECT_EQ(WindowText(FindControl(window, kUninstallNameLabel)), std::string(kTitel) + " 2.1");
  EXPECT_EQ(WindowText(FindControl(window, kUninstallOkButton)), texts.Get(TextId::UninstallerOK));
  SaveScreenshot(window, OutFolder() + "unicode-uninstall-ask.bmp");
  Click(FindControl(window, kUninstallOkButton));
  HWND status = FindControl(window, kUninstallStatusLabel);
  const std::string ready = texts.Get(TextId::UninstallerReady);
  ASSERT_TRUE(WaitUntil(180000, [&] { return WindowText(status).rfind(ready, 0) == 0; })) << WindowText(status);
  EXPECT_EQ(WindowText(status), ready);  // nothing left to list
  SaveScreenshot(window, OutFolder() + "unicode-uninstall-ready.bmp");
  Click(FindControl(window, kUninstallOkButton));
  ASSERT_TRUE(uninstaller.Wait(60000));
  EXPECT_EQ(uninstaller.ExitCode(), 0u);
  ExpectRemoved(dir);
}

}  // namespace
}  // namespace brindorel::e2e

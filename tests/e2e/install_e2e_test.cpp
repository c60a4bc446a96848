// The real Install.exe built from the example package, walked to Install and
// Finish under Wine: the installed files, "uninstall.dat", the uninstall
// entry and the product key, the links on the desktop and in the start menu,
// the example's user tasks and the install page's lines.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver.h"
#include "e2e_support.h"
#include "services/file_system.h"
#include "services/folders.h"
#include "services/ini_document.h"
#include "tests/win32/support/win32_checks.h"
#include "ui/control_surface.h"
#include "ui/interface_texts.h"

namespace brindorel::e2e {
namespace {

using wine_checks::DeleteKeyTree;
using wine_checks::ReadLink;
using wine_checks::ReadStoredValue;

// The example's settings.
const char kGuid[] = "{7D1E6F52-2C4B-4A8E-9B3D-1F0A6C5E8D24}";
const char kMenuName[] = "Acme\\Demo";
const char kTaskKey[] = "Software\\Acme\\Demo";

std::string InstallFolder() { return OutFolder() + "installed\\Acme Demo\\"; }
std::string MenuFolder() { return GetSpecialFolder(2) + kMenuName + "\\"; }
std::string Desktop() { return GetSpecialFolder(0); }

void Clean() {
  RemoveFolder(OutFolder() + "installed\\", "", kRemoveSubfolders | kRemoveForced);
  RemoveFolder(GetSpecialFolder(2) + "Acme\\", "", kRemoveSubfolders | kRemoveForced);
  for (const char* link : {"Acme Demo.lnk", "Acme Readme.lnk"}) DeleteFileA((Desktop() + link).c_str());
  DeleteFileA((GetSpecialFolder(26) + "acme-demo.ini").c_str());
  DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kGuid);
  DeleteKeyTree(HKEY_CURRENT_USER, std::string("SOFTWARE\\Brindorel\\") + kGuid);
  DeleteKeyTree(HKEY_CURRENT_USER, kTaskKey);
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Acme");  // only when empty
}

class InstallRun : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryA(OutFolder().c_str(), nullptr);
    Clean();
  }
  void TearDown() override {
    if (installer_.running()) installer_.Kill();
    Clean();
  }
  Process installer_;
};

void ClickWhenReady(HWND wizard, int number) {
  ASSERT_TRUE(WaitClickable(wizard, number, 10000)) << "control " << number;
  Click(FindControl(wizard, number));
  WaitForIdle(wizard);
}

// Forward to the install page: accept the licence, put the program into
// the test's own folder on the settings page.
void WalkToInstall(HWND wizard) {
  for (int step = 0; step < 8 && !WaitClickable(wizard, InstallButton, 300); ++step) {
    if (WaitClickable(wizard, AcceptOption, 200)) ClickWhenReady(wizard, AcceptOption);
    if (WaitClickable(wizard, InstallDirField, 200)) {
      SetFieldText(FindControl(wizard, InstallDirField), InstallFolder());
      EXPECT_EQ(Describe(FindControl(wizard, MenuFolderField)).text, kMenuName);
    }
    ClickWhenReady(wizard, NextButton);
  }
}

TEST_F(InstallRun, InstallThroughTheWizardAndFinish) {
  const std::string built = BuildInstaller(SourcePath("examples/acme-demo"), "InstallRun.exe");
  ASSERT_FALSE(built.empty());
  ASSERT_TRUE(installer_.Start("\"" + built + "\""));
  HWND wizard = WaitForWindow(installer_.id(), kWizardClass, 60000);
  ASSERT_NE(wizard, nullptr);
  WaitForIdle(wizard);
  IniDocument language = ReadIni(WorkFolder() + "english.lng");
  const InterfaceTexts texts = LoadInterfaceTexts(language, "Acme Demo", "2.1");

  WalkToInstall(wizard);
  ClickWhenReady(wizard, InstallButton);
  ASSERT_TRUE(WaitClickable(wizard, FinishButton, 60000));
  WaitForIdle(wizard);

  HWND list = FindControl(wizard, ProgressList);
  std::vector<std::string> lines;
  for (int i = 0; i < ListCount(list); ++i) lines.push_back(ListLine(list, i));
  const std::vector<std::string> expected = {
      "Acme Demo  -  Version 2.1   (07.12.2026)",
      "\xC2\xA9 Acme Software   ( support@acme.invalid )",  // UTF-8, as the driver reads texts
      "",
      texts.Get(TextId::InstallMsg1) + "   -->   *** " + texts.Get(TextId::InstallReady) + " ***",
      "",
      texts.Get(TextId::InstallMsg5),
      texts.Get(TextId::InstallMsg2),
      texts.Get(TextId::InstallMsg3),
      texts.Get(TextId::InstallMsg6),
  };
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(Describe(FindControl(wizard, InstallStatus)).text, texts.Get(TextId::Page05Ready));
  EXPECT_TRUE(SaveScreenshot(wizard, OutFolder() + "install-finished.bmp"));
  // Leave the program unstarted: untick the box, then Finish.
  HWND runBox = FindControl(wizard, RunProgramBox);
  ASSERT_TRUE(Describe(runBox).enabled);
  ASSERT_EQ(SendMessageA(runBox, BM_GETCHECK, 0, 0), BST_CHECKED);
  ClickWhenReady(wizard, RunProgramBox);
  ClickWhenReady(wizard, FinishButton);
  ASSERT_TRUE(installer_.Wait(60000));
  EXPECT_EQ(installer_.ExitCode(), 0u);

  const std::string dir = InstallFolder();
  for (const char* file : {"acme.exe", "tools\\acme-config.exe", "acme-help.html", "settings.dat", "Uninstall.exe",
                           "uninstall.dat", "docs\\notes.txt"})
    EXPECT_TRUE(Exists(dir + file)) << file;

  IniDocument record = ReadIni(dir + "uninstall.dat");
  record.SelectGroup("Settings");
  EXPECT_EQ(record.ReadString("ProgName"), "Acme Demo");
  EXPECT_EQ(record.ReadString("ProgDir"), dir);
  EXPECT_EQ(record.ReadString("ProgExe"), "acme.exe");
  EXPECT_EQ(record.ReadString("GUID"), kGuid);
  EXPECT_EQ(record.ReadString("ProgLink"), "Acme Demo");
  EXPECT_EQ(record.ReadString("StartMenu"), MenuFolder());
  EXPECT_EQ(record.ReadString("DesktopIcon"), Desktop() + "Acme Demo.lnk");
  record.SelectGroup("Language");
  EXPECT_EQ(record.ReadString("Titel"), texts.Get(TextId::UninstallerTitel));
  record.SelectGroup("UserTask");
  EXPECT_EQ(record.ReadNumber("Number", -1), 3);
  EXPECT_EQ(record.ReadString("Task1"), Desktop() + "Acme Readme.lnk");
  EXPECT_EQ(record.ReadString("Task2"), std::string("2147483649|") + kTaskKey + "|InstallPath");
  EXPECT_EQ(record.ReadString("Task3"), GetSpecialFolder(26) + "acme-demo.ini");
  EXPECT_TRUE(Exists(GetSpecialFolder(26) + "acme-demo.ini"));

  const std::string entry = std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kGuid;
  EXPECT_EQ(ReadStoredValue(HKEY_LOCAL_MACHINE, entry, "DisplayName").Text(), "Acme Demo");
  EXPECT_EQ(ReadStoredValue(HKEY_LOCAL_MACHINE, entry, "UninstallString").Text(), "\"" + dir + "Uninstall.exe\"");
  EXPECT_EQ(ReadStoredValue(HKEY_LOCAL_MACHINE, entry, "Publisher").Text(), "Acme Software");
  const std::string product = std::string("SOFTWARE\\Brindorel\\") + kGuid;
  EXPECT_EQ(ReadStoredValue(HKEY_CURRENT_USER, product, "InstallDir").Text(), dir);
  EXPECT_EQ(ReadStoredValue(HKEY_CURRENT_USER, product, "StartMenu").Text(), kMenuName);
  EXPECT_EQ(ReadStoredValue(HKEY_CURRENT_USER, product, "DesktopIcon").Text(), "1");
  EXPECT_FALSE(ReadStoredValue(HKEY_CURRENT_USER, kTaskKey, "InstallPath").Text().empty());

  EXPECT_EQ(ReadLink(Desktop() + "Acme Demo.lnk").path, dir + "acme.exe");
  EXPECT_EQ(ReadLink(Desktop() + "Acme Readme.lnk").path, dir + "docs\\notes.txt");
  EXPECT_EQ(ReadLink(MenuFolder() + "Acme Demo.lnk").path, dir + "acme.exe");
  EXPECT_EQ(ReadLink(MenuFolder() + "acme-config.lnk").path, dir + "tools\\acme-config.exe");
  EXPECT_EQ(ReadLink(MenuFolder() + "Help.lnk").path, dir + "acme-help.html");
  EXPECT_EQ(ReadLink(MenuFolder() + "Uninstall.lnk").path, dir + "Uninstall.exe");
  EXPECT_TRUE(ReadLink(MenuFolder() + "Homepage.lnk").loaded);
  // The working folder went with Finish; the program was not started.
  EXPECT_FALSE(Exists(WorkFolder()));
}

// A close request while the files are copied is not lost and does not cut
// the installation short: it ends the installer once the run has finished.
TEST_F(InstallRun, ACloseRequestDuringTheRunEndsTheInstallerAfterIt) {
  const std::string built = BuildInstaller(SourcePath("examples/acme-demo"), "InstallClose.exe");
  ASSERT_FALSE(built.empty());
  ASSERT_TRUE(installer_.Start("\"" + built + "\""));
  HWND wizard = WaitForWindow(installer_.id(), kWizardClass, 60000);
  ASSERT_NE(wizard, nullptr);
  WaitForIdle(wizard);
  WalkToInstall(wizard);
  ASSERT_TRUE(WaitClickable(wizard, InstallButton, 10000));
  Click(FindControl(wizard, InstallButton));
  RequestClose(wizard);
  ASSERT_TRUE(installer_.Wait(60000));
  EXPECT_EQ(installer_.ExitCode(), 0u);
  EXPECT_TRUE(Exists(InstallFolder() + "acme.exe"));
  EXPECT_TRUE(Exists(InstallFolder() + "uninstall.dat"));
  EXPECT_FALSE(Exists(WorkFolder()));
}

}  // namespace
}  // namespace brindorel::e2e

// The real Install.exe, built from the example package by brindorel-pack, started
// under Wine: page 1 as laid out, the window title, the single-instance
// refusal, and a close request that ends the run and removes the working folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "driver.h"
#include "e2e_support.h"
#include "services/ini_document.h"
#include "ui/control_surface.h"
#include "ui/interface_texts.h"
#include "ui/wizard_layout.h"

namespace brindorel::e2e {
namespace {

class InstallerStart : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { installer_ = new std::string(BuildInstaller(SourcePath("examples/acme-demo"), "Install.exe")); }
  static void TearDownTestSuite() { delete installer_; }
  static std::string* installer_;
};
std::string* InstallerStart::installer_ = nullptr;

TEST_F(InstallerStart, FirstPageShowsTheLayoutAndACloseRequestEndsCleanly) {
  ASSERT_TRUE(Exists(*installer_));
  Process installer;
  ASSERT_TRUE(installer.Start("\"" + *installer_ + "\""));
  HWND wizard = WaitForWindow(installer.id(), kWizardClass, 60000);
  ASSERT_NE(wizard, nullptr);
  WaitForIdle(wizard);

  // The example's own texts, as english.lng gives them.
  IniDocument setup = ReadIni(WorkFolder() + "setup.ini");
  setup.SelectGroup("Info");
  std::string titel = setup.ReadString("Titel");
  std::string version = setup.ReadString("Version");
  IniDocument language = ReadIni(WorkFolder() + "english.lng");
  InterfaceTexts texts = LoadInterfaceTexts(language, titel, version);

  EXPECT_EQ(WindowText(wizard), WizardWindowTitle(titel, version));
  SIZE client = ClientSize(wizard);
  EXPECT_EQ(client.cx, kWizardClientWidth);
  EXPECT_EQ(client.cy, kWizardClientHeight);

  const std::vector<int>& hidden = InitiallyHiddenControls();
  for (const ControlLayout& layout : WizardControls()) {
    SCOPED_TRACE(layout.number);
    HWND control = FindControl(wizard, layout.number);
    ASSERT_NE(control, nullptr);
    ControlInfo info = Describe(control);
    bool shouldHide = std::find(hidden.begin(), hidden.end(), layout.number) != hidden.end();
    EXPECT_EQ(info.visible, !shouldHide);
    if (layout.number != SideImage && layout.number != HeaderIcon) {
      EXPECT_EQ(info.rect.left, layout.x);
      EXPECT_EQ(info.rect.top, layout.y);
      EXPECT_EQ(info.rect.right - info.rect.left, layout.width);
      EXPECT_EQ(info.rect.bottom - info.rect.top, layout.height);
    }
    std::string expected = InitialControlText(layout, texts);
    if (!expected.empty() && layout.number != WebLink) {
      EXPECT_EQ(info.text, expected);
    }
  }
  EXPECT_TRUE(SaveScreenshot(wizard, OutFolder() + "page1.bmp"));

  RequestClose(wizard);
  ASSERT_TRUE(installer.Wait(30000));
  EXPECT_EQ(installer.ExitCode(), 0u);
  EXPECT_FALSE(Exists(WorkFolder()));
}

TEST_F(InstallerStart, ASecondInstallerEndsAtOnceAndTheFirstGoesOn) {
  Process first;
  ASSERT_TRUE(first.Start("\"" + *installer_ + "\""));
  HWND wizard = WaitForWindow(first.id(), kWizardClass, 60000);
  ASSERT_NE(wizard, nullptr);
  WaitForIdle(wizard);
  const std::string settings = WorkFolder() + "setup.ini";
  WIN32_FILE_ATTRIBUTE_DATA before{};
  ASSERT_TRUE(GetFileAttributesExA(settings.c_str(), GetFileExInfoStandard, &before));
  DeleteFileA((WorkFolder() + "english.lng").c_str());
  Process second;
  ASSERT_TRUE(second.Start("\"" + *installer_ + "\""));
  ASSERT_TRUE(second.Wait(30000));
  EXPECT_EQ(second.ExitCode(), 0u);
  EXPECT_TRUE(TopWindows(second.id(), kWizardClass).empty());
  // It unpacked nothing: the first one's files are as they were.
  WIN32_FILE_ATTRIBUTE_DATA after{};
  ASSERT_TRUE(GetFileAttributesExA(settings.c_str(), GetFileExInfoStandard, &after));
  EXPECT_EQ(CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime), 0);
  EXPECT_FALSE(Exists(WorkFolder() + "english.lng"));
  EXPECT_TRUE(first.running());
  EXPECT_TRUE(IsWindow(wizard));
  // Cancel on page 1 ends the run too.
  HWND cancel = FindControl(wizard, CancelButton);
  ASSERT_NE(cancel, nullptr);
  Click(cancel);
  ASSERT_TRUE(first.Wait(30000));
  EXPECT_EQ(first.ExitCode(), 0u);
}

// A package without language files shows the built-in texts, composed with
// the package's title and version.
TEST_F(InstallerStart, WithoutLanguageFilesTheBuiltInTextsShow) {
  const std::string copy = CopyOfExample("nolang", {"english.lng", "german.lng"});
  ASSERT_FALSE(copy.empty());
  const std::string installer = BuildInstaller(copy, "InstallNoLanguage.exe");
  Process process;
  ASSERT_TRUE(process.Start("\"" + installer + "\""));
  HWND wizard = WaitForWindow(process.id(), kWizardClass, 60000);
  ASSERT_NE(wizard, nullptr);
  WaitForIdle(wizard);
  InterfaceTexts defaults = DefaultInterfaceTexts("Acme Demo", "2.1");
  EXPECT_EQ(WindowText(FindControl(wizard, WelcomeTitle)), defaults.Get("Page01", "Titel"));
  EXPECT_EQ(WindowText(FindControl(wizard, WelcomeTitle)), "Welcome to the installation of 'Acme Demo'");
  EXPECT_EQ(WindowText(FindControl(wizard, NextButton)), "Next >");
  EXPECT_EQ(WindowText(FindControl(wizard, NoticeText)), "This program is protected by copyright.");
  RequestClose(wizard);
  ASSERT_TRUE(process.Wait(30000));
  EXPECT_EQ(process.ExitCode(), 0u);
}

// Run three times by CTest: in the default locale, with LC_ALL=de_DE.UTF-8
// (0x0407) and with LC_ALL=fr_FR.UTF-8 (0x040C, which the list does not name).
TEST_F(InstallerStart, LanguageFollowsTheUserLocale) {
  const unsigned primary = GetUserDefaultLangID() & 0x1FF;
  Process installer;
  ASSERT_TRUE(installer.Start("\"" + *installer_ + "\""));
  std::string expectedFile = primary == 7 ? "german.lng" : "english.lng";
  if (primary != 7 && primary != 9) {
    HWND chooser = WaitForWindow(installer.id(), "BrindorelLanguage", 60000);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(WindowText(chooser), " Brindorel");
    HWND list = FindControl(chooser, LanguageList);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(SendMessageA(list, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(ComboLine(list, 0), " ENGLISH");
    EXPECT_EQ(ComboLine(list, 1), " GERMAN");
    EXPECT_EQ(SendMessageA(list, CB_GETCURSEL, 0, 0), 0);
    Click(FindControl(chooser, LanguageOk));
  }
  HWND wizard = WaitForWindow(installer.id(), kWizardClass, 60000);
  ASSERT_NE(wizard, nullptr);
  WaitForIdle(wizard);
  IniDocument language = ReadIni(WorkFolder() + expectedFile);
  language.SelectGroup("Page01");
  EXPECT_EQ(WindowText(FindControl(wizard, WelcomeTitle)), language.ReadString("Titel"));
  language.SelectGroup("Buttons");
  EXPECT_EQ(WindowText(FindControl(wizard, CancelButton)), language.ReadString("Cancel"));
  if (primary == 7) {
    EXPECT_TRUE(SaveScreenshot(wizard, OutFolder() + "page1-german.bmp"));
  }
  RequestClose(wizard);
  ASSERT_TRUE(installer.Wait(30000));
}

}  // namespace
}  // namespace brindorel::e2e

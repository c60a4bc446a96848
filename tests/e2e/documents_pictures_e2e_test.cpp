// The example's licence, readme, side image and header icon in the real
// Install.exe under Wine: each in its control on its page, the agreement
// starting declined, a screenshot of each page kept.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "driver.h"
#include "e2e_support.h"
#include "ui/control_surface.h"

namespace brindorel::e2e {
namespace {

bool WaitShownAndEnabled(HWND wizard, int number, DWORD milliseconds) {
  for (DWORD waited = 0; waited < milliseconds; waited += 100) {
    HWND control = FindControl(wizard, number);
    if (control != nullptr) {
      const ControlInfo info = Describe(control);
      if (info.shown && info.enabled) return true;
    }
    Sleep(100);
  }
  return false;
}

LONG ImageStyle(HWND control) { return GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK; }

TEST(DocumentsAndPictures, TheExampleShowsItsLicenceReadmeAndPictures) {
  const std::string installer = BuildInstaller(SourcePath("examples/acme-demo"), "InstallDocuments.exe");
  ASSERT_TRUE(Exists(installer));
  Process process;
  ASSERT_TRUE(process.Start("\"" + installer + "\""));
  HWND wizard = WaitForWindow(process.id(), kWizardClass, 60000);
  ASSERT_NE(wizard, nullptr);
  WaitForIdle(wizard);

  // Page 1: the 130 x 300 side image at 0, 0, a bitmap decoded from the TGA.
  const ControlInfo side = Describe(FindControl(wizard, SideImage));
  EXPECT_TRUE(side.shown);
  EXPECT_EQ(ImageStyle(side.handle), SS_BITMAP);
  EXPECT_NE(SendMessageA(side.handle, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
  EXPECT_EQ(side.rect.left, 0);
  EXPECT_EQ(side.rect.top, 0);
  EXPECT_EQ(side.rect.right - side.rect.left, 130);
  EXPECT_EQ(side.rect.bottom - side.rect.top, 300);
  // The header icon is the package's 32 x 32 icon.
  const ControlInfo icon = Describe(FindControl(wizard, HeaderIcon));
  EXPECT_EQ(ImageStyle(icon.handle), SS_ICON);
  EXPECT_NE(SendMessageA(icon.handle, STM_GETIMAGE, IMAGE_ICON, 0), 0);
  EXPECT_EQ(icon.rect.left, 440);
  EXPECT_EQ(icon.rect.right - icon.rect.left, 32);
  EXPECT_EQ(icon.rect.bottom - icon.rect.top, 32);
  EXPECT_TRUE(SaveScreenshot(wizard, OutFolder() + "documents_page1.bmp"));

  // Page 2: the rich-text licence, declined to start with.
  ASSERT_TRUE(WaitShownAndEnabled(wizard, NextButton, 10000));
  Click(FindControl(wizard, NextButton));
  ASSERT_TRUE(WaitShownAndEnabled(wizard, AcceptOption, 10000));
  const std::string licence = WindowText(FindControl(wizard, LicenceView));
  EXPECT_EQ(licence.find("Acme Demo licence agreement"), 0u) << licence;
  EXPECT_EQ(licence.find("\\rtf"), std::string::npos);
  EXPECT_EQ(SendMessageA(FindControl(wizard, DeclineOption), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_FALSE(Describe(FindControl(wizard, NextButton)).enabled);
  EXPECT_TRUE(SaveScreenshot(wizard, OutFolder() + "documents_page2.bmp"));

  // Accepting opens the way to page 3 and on to the plain-text readme.
  Click(FindControl(wizard, AcceptOption));
  ASSERT_TRUE(WaitShownAndEnabled(wizard, NextButton, 10000));
  Click(FindControl(wizard, NextButton));
  ASSERT_TRUE(WaitShownAndEnabled(wizard, InstallDirField, 10000));
  Click(FindControl(wizard, NextButton));
  for (int i = 0; i < 100 && !Describe(FindControl(wizard, ReadmeView)).shown; ++i) Sleep(100);
  ASSERT_TRUE(Describe(FindControl(wizard, ReadmeView)).shown);
  const std::string readme = WindowText(FindControl(wizard, ReadmeView));
  EXPECT_EQ(readme.find("Acme Demo 2.1"), 0u) << readme;
  EXPECT_NE(readme.find("settings.dat"), std::string::npos);
  EXPECT_TRUE(Describe(FindControl(wizard, HeaderIcon)).shown);
  EXPECT_TRUE(SaveScreenshot(wizard, OutFolder() + "documents_page4.bmp"));

  RequestClose(wizard);
  ASSERT_TRUE(process.Wait(30000));
  EXPECT_EQ(process.ExitCode(), 0u);
}

}  // namespace
}  // namespace brindorel::e2e

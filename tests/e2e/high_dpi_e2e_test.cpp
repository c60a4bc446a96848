// The real Install.exe on screens of 96, 144 and 192 DPI under Wine (which
// takes the resolution from the registry and never stretches a window): the
// window, every control, the fonts and the pictures scaled, no text cut, a
// screenshot of every page at 144 DPI kept; and the built programs' manifests
// declaring that they draw for the screen's resolution themselves.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "driver.h"
#include "e2e_support.h"
#include "services/wide_win.h"
#include "ui/control_surface.h"
#include "ui/dpi_scale.h"
#include "ui/wizard_layout.h"

namespace brindorel::e2e {
namespace {

const char kChooserClass[] = "BrindorelStartMenu";

// The controls with text that show on a page (the rich views scroll).
std::set<int> TextsOn(int page) {
  switch (page) {
    case 1: return {WelcomeTitle, WelcomeText, NoticeText, NextButton, CancelButton};
    case 2: return {HeaderTitle, HeaderSubtitle, AcceptOption, DeclineOption, BackButton, NextButton, CancelButton};
    case 3:
      return {HeaderTitle,      HeaderSubtitle, InstallDirLabel, InstallDirChange, MenuFolderLabel,
              MenuFolderChange, DesktopIconBox, BackButton,      NextButton,       CancelButton};
    case 4: return {HeaderTitle, HeaderSubtitle, BackButton, NextButton, CancelButton};
    default: return {InstallTitle, InstallHint, BackButton, InstallButton, FinishButton};
  }
}

class HighDpi : public ::testing::TestWithParam<int> {
 protected:
  static void SetUpTestSuite() {
    installer_ = new std::string(BuildInstaller(SourcePath("examples/acme-demo"), "InstallDpi.exe"));
  }
  static void TearDownTestSuite() { delete installer_; }
  void TearDown() override {
    if (process_.running()) process_.Kill();
  }

  // Every control at its scaled place (the English texts keep the layout's
  // widths), the fonts scaled, the page's texts whole.
  void ExpectPage(HWND wizard, int page, int waitFor) {
    const int dpi = GetParam();
    SCOPED_TRACE("page " + std::to_string(page) + " at " + std::to_string(dpi) + " DPI");
    for (int waited = 0; waited < 100 && !Describe(FindControl(wizard, waitFor)).shown; ++waited) Sleep(100);
    WaitForIdle(wizard);
    const SIZE client = ClientSize(wizard);
    EXPECT_EQ(client.cx, ScaleForDpi(kWizardClientWidth, dpi));
    EXPECT_EQ(client.cy, ScaleForDpi(kWizardClientHeight, dpi));
    for (const ControlLayout& c : WizardControls()) {
      SCOPED_TRACE(c.number);
      const ControlInfo info = Describe(FindControl(wizard, c.number));
      const PixelRect want = ScaleRectForDpi({c.x, c.y, c.width, c.height}, dpi);
      EXPECT_EQ(info.rect.left, want.x);
      EXPECT_EQ(info.rect.top, want.y);
      // The pictures take their own scaled sizes (below).
      if (c.kind != ControlKind::Image) {
        EXPECT_EQ(info.rect.right - info.rect.left, want.width);
        EXPECT_EQ(info.rect.bottom - info.rect.top, want.height);
      }
    }
    for (int number : TextsOn(page)) {
      std::string reason;
      EXPECT_TRUE(TextFits(FindControl(wizard, number), FontOf(number, dpi), reason))
          << "control " << number << ": " << reason;
    }
    // The fonts are scaled: the text on the screen is as tall as its font says.
    for (int number : TextsOn(page)) {
      const ControlLayout& c = *FindWizardControl(number);
      if (c.kind != ControlKind::Label || c.font != FontId::Title) continue;
      const int em = MulDiv(FontStyleOf(c.font).points, dpi, 72);
      const int ink = InkHeight(FindControl(wizard, number), 0);
      EXPECT_GE(ink, em * 6 / 10) << "control " << number;
      EXPECT_LE(ink, em * 3) << "control " << number;  // two lines at most
    }
    const int buttonEm = MulDiv(8, dpi, 72);
    const int buttonInk = InkHeight(FindControl(wizard, CancelButton), ScaleForDpi(4, dpi));
    if (page != 5) {
      EXPECT_GE(buttonInk, buttonEm * 6 / 10);
      EXPECT_LE(buttonInk, buttonEm * 13 / 10);
    }
  }

  // The font a control should have (face, weight, size at `dpi`).
  static LOGFONTW FontOf(int number, int dpi) {
    const ControlLayout& c = *FindWizardControl(number);
    LOGFONTW font{};
    const FontStyle style = c.font == FontId::Default ? FontStyle{"MS Shell Dlg", 8, 400} : FontStyleOf(c.font);
    font.lfHeight = -MulDiv(style.points, dpi, 72);
    font.lfWeight = style.weight;
    font.lfCharSet = DEFAULT_CHARSET;
    const std::wstring face = Wide(style.face);
    face.copy(font.lfFaceName, LF_FACESIZE - 1);
    return font;
  }

  void ExpectPictures(HWND wizard, int dpi) {
    // The example's 130 x 300 side image and 32 x 32 header icon, scaled.
    const ControlInfo side = Describe(FindControl(wizard, SideImage));
    EXPECT_EQ(side.rect.right - side.rect.left, ScaleForDpi(130, dpi));
    EXPECT_EQ(side.rect.bottom - side.rect.top, ScaleForDpi(300, dpi));
    const ControlInfo icon = Describe(FindControl(wizard, HeaderIcon));
    EXPECT_EQ(icon.rect.right - icon.rect.left, ScaleForDpi(32, dpi));
    EXPECT_EQ(icon.rect.bottom - icon.rect.top, ScaleForDpi(32, dpi));
    // What the side image shows is a bitmap of that size.
    BITMAP shown{};
    HGDIOBJ bitmap = reinterpret_cast<HGDIOBJ>(SendMessageW(side.handle, STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(bitmap, nullptr);
    if (GetObjectW(bitmap, sizeof shown, &shown) != 0) {
      EXPECT_EQ(shown.bmWidth, ScaleForDpi(130, dpi));
    }
  }

  void Screenshot(HWND window, const std::string& name) {
    if (GetParam() == 144) {
      EXPECT_TRUE(SaveScreenshot(window, OutFolder() + "dpi144-" + name + ".bmp"));
    }
  }

  static std::string* installer_;
  Process process_;
};
std::string* HighDpi::installer_ = nullptr;

TEST_P(HighDpi, EveryPageScaledWithWholeTexts) {
  const int dpi = GetParam();
  HWND wizard = nullptr;
  {
    // Read once, as the program starts.
    ScreenDpi screen(dpi);
    ASSERT_FALSE(installer_->empty());
    ASSERT_TRUE(process_.Start("\"" + *installer_ + "\""));
    wizard = WaitForWindow(process_.id(), kWizardClass, 60000);
    ASSERT_NE(wizard, nullptr);
  }
  ExpectPage(wizard, 1, WelcomePage);
  ExpectPictures(wizard, dpi);
  Screenshot(wizard, "page1");

  ASSERT_TRUE(ClickWhenClickable(wizard, NextButton));
  ExpectPage(wizard, 2, LicencePage);
  Screenshot(wizard, "page2");
  ASSERT_TRUE(ClickWhenClickable(wizard, AcceptOption));
  ASSERT_TRUE(ClickWhenClickable(wizard, NextButton));
  ExpectPage(wizard, 3, SettingsPage);
  Screenshot(wizard, "page3");

  // The chooser too.
  ASSERT_TRUE(ClickWhenClickable(wizard, MenuFolderChange));
  HWND chooser = WaitForWindow(process_.id(), kChooserClass, 20000);
  ASSERT_NE(chooser, nullptr);
  WaitForIdle(chooser);
  const SIZE chooserClient = ClientSize(chooser);
  EXPECT_EQ(chooserClient.cx, ScaleForDpi(220, dpi));
  EXPECT_EQ(chooserClient.cy, ScaleForDpi(300, dpi));
  const ControlInfo apply = Describe(FindControl(chooser, ApplyButton));
  EXPECT_EQ(apply.rect.left, ScaleForDpi(75, dpi));
  std::string reason;
  EXPECT_TRUE(TextFits(apply.handle, FontOf(NextButton, dpi), reason)) << reason;
  Screenshot(chooser, "chooser");
  RequestClose(chooser);
  for (int waited = 0; waited < 100 && IsWindow(chooser); ++waited) Sleep(100);

  ASSERT_TRUE(ClickWhenClickable(wizard, NextButton));
  ExpectPage(wizard, 4, InfoPage);
  Screenshot(wizard, "page4");
  ASSERT_TRUE(ClickWhenClickable(wizard, NextButton));
  ExpectPage(wizard, 5, InstallPage);
  ExpectPictures(wizard, dpi);
  Screenshot(wizard, "page5");

  RequestClose(wizard);
  ASSERT_TRUE(process_.Wait(30000));
  EXPECT_EQ(process_.ExitCode(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Screens, HighDpi, ::testing::Values(96, 144, 192),
                         [](const ::testing::TestParamInfo<int>& p) { return std::to_string(p.param) + "dpi"; });

// The manifest inside a built program, read from its resources.
std::string ManifestOf(const std::string& program) {
  HMODULE module = LoadLibraryExW(Wide(program).c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (module == nullptr) return std::string();
  std::string text;
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes != nullptr) text.assign(static_cast<const char*>(bytes), SizeofResource(module, found));
  FreeLibrary(module);
  return text;
}

TEST(Manifests, TheProgramsDrawForTheScreensResolutionThemselves) {
  std::vector<std::string> programs = {BuildDir() + "core\\Install.exe", BuildDir() + "uninstaller\\Uninstall.exe"};
  // The 32-bit product, where this machine built it beside the test tree.
  const std::string product = SourcePath("build/win32/");
  if (Exists(product + "core\\Install.exe")) {
    programs.push_back(product + "core\\Install.exe");
    programs.push_back(product + "uninstaller\\Uninstall.exe");
  }
  for (const std::string& program : programs) {
    SCOPED_TRACE(program);
    const std::string manifest = ManifestOf(program);
    ASSERT_FALSE(manifest.empty());
    // Per monitor (version 2) where Windows knows it, else system-aware.
    EXPECT_NE(manifest.find("<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
                            "PerMonitorV2</dpiAwareness>"),
              std::string::npos);
    EXPECT_NE(manifest.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true"
                            "</dpiAware>"),
              std::string::npos);
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  }
}

}  // namespace
}  // namespace brindorel::e2e

// The real Install.exe built from the example package, walked through all
// five pages forward and back: every control of the window checked against
// the layout and the page compositions on each page, a screenshot of every
// page and of the start-menu chooser kept in the output folder, a folder
// picked in the chooser (with the wizard deaf meanwhile), the licence and
// readme pages skipped when the package has neither, and Cancel (or the
// close request where no Cancel is shown) on every page leaving nothing
// installed and no working folder.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "driver.h"
#include "e2e_support.h"
#include "ui/control_surface.h"
#include "ui/interface_texts.h"
#include "ui/start_menu_chooser.h"
#include "ui/wizard_layout.h"

namespace brindorel::e2e {
namespace {

const char kChooserClass[] = "BrindorelStartMenu";
const char kInstallDir[] = "C:\\Program Files\\Acme Demo";

// The controls shown on each page: the page's panels with their children,
// the header, the side image, the web link and the page's buttons.
std::set<int> ShownOn(int page) {
  switch (page) {
    case 1:
      return {WelcomePage, WelcomeTitle, WelcomeText, NoticeText, SideImage, WebLink, NextButton, CancelButton};
    case 2:
      return {HeaderPanel, HeaderTitle, HeaderSubtitle, HeaderIcon, LicencePage, LicenceView, AcceptOption,
              DeclineOption, WebLink, BackButton, NextButton, CancelButton};
    case 3:
      return {HeaderPanel,     HeaderTitle,      HeaderSubtitle,  HeaderIcon,      SettingsPage,
              InstallDirLabel, InstallDirField,  InstallDirChange, MenuFolderLabel, MenuFolderField,
              MenuFolderChange, DesktopIconBox,  WebLink,         BackButton,      NextButton,
              CancelButton};
    case 4:
      return {HeaderPanel, HeaderTitle, HeaderSubtitle, HeaderIcon, InfoPage, ReadmeView,
              WebLink,     BackButton,  NextButton,     CancelButton};
    default:
      return {InstallPage, InstallTitle, InstallHint, SideImage, WebLink, BackButton, InstallButton, FinishButton};
  }
}

class WizardWalk : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    installer_ = new std::string(BuildInstaller(SourcePath("examples/acme-demo"), "InstallWalk.exe"));
    const std::string copy = CopyOfExample("walk-nodocs", {"licence.rtf", "readme.txt"});
    withoutDocuments_ = new std::string(copy.empty() ? "" : BuildInstaller(copy, "InstallWalkNoDocs.exe"));
  }
  static void TearDownTestSuite() {
    delete installer_;
    delete withoutDocuments_;
  }

  void TearDown() override {
    if (process_.running()) process_.Kill();
  }

  HWND Start(const std::string& installer) {
    if (installer.empty() || !process_.Start("\"" + installer + "\"")) return nullptr;
    HWND wizard = WaitForWindow(process_.id(), kWizardClass, 60000);
    if (wizard != nullptr) WaitForIdle(wizard);
    if (wizard != nullptr) LoadTexts();
    return wizard;
  }

  // The example's own texts, as its english.lng gives them.
  void LoadTexts() {
    IniDocument setup = ReadIni(WorkFolder() + "setup.ini");
    setup.SelectGroup("Info");
    IniDocument language = ReadIni(WorkFolder() + "english.lng");
    texts_ = LoadInterfaceTexts(language, setup.ReadString("Titel"), setup.ReadString("Version"));
  }

  // Waits until `control` is shown, then compares every control with the
  // layout and the page's composition.
  void ExpectPage(HWND wizard, int page, int waitFor) {
    SCOPED_TRACE("page " + std::to_string(page));
    for (int waited = 0; waited < 50 && !Describe(FindControl(wizard, waitFor)).shown; ++waited) Sleep(100);
    const std::set<int> shown = ShownOn(page);
    for (const ControlLayout& layout : WizardControls()) {
      SCOPED_TRACE(layout.number);
      HWND control = FindControl(wizard, layout.number);
      ASSERT_NE(control, nullptr);
      const ControlInfo info = Describe(control);
      EXPECT_EQ(info.shown, shown.count(layout.number) == 1);
      EXPECT_EQ(info.parentNumber, layout.parent);
      EXPECT_EQ(info.rect.left, layout.x);
      EXPECT_EQ(info.rect.top, layout.y);
      if (layout.number != SideImage && layout.number != HeaderIcon) {
        EXPECT_EQ(info.rect.right - info.rect.left, layout.width);
        EXPECT_EQ(info.rect.bottom - info.rect.top, layout.height);
      }
    }
    if (page >= 2 && page <= 4) {
      EXPECT_EQ(WindowText(FindControl(wizard, HeaderTitle)), texts_.Get(PageHeaderTitle(page)));
      EXPECT_EQ(WindowText(FindControl(wizard, HeaderSubtitle)), texts_.Get(PageHeaderSubtitle(page)));
    }
  }

  bool Checked(HWND wizard, int number) {
    return SendMessageA(FindControl(wizard, number), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  bool Enabled(HWND wizard, int number) { return Describe(FindControl(wizard, number)).enabled; }

  void ExpectEndedWithNothingInstalled() {
    ASSERT_TRUE(process_.Wait(30000));
    EXPECT_EQ(process_.ExitCode(), 0u);
    EXPECT_FALSE(Exists(WorkFolder()));
    EXPECT_FALSE(Exists(std::string("C:\\Program Files\\Acme Demo")));
  }

  static std::string* installer_;
  static std::string* withoutDocuments_;
  Process process_;
  InterfaceTexts texts_ = DefaultInterfaceTexts("", "");
};
std::string* WizardWalk::installer_ = nullptr;
std::string* WizardWalk::withoutDocuments_ = nullptr;

std::string ProgramsFolder() {
  char path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, 0, path))) return std::string();
  std::string folder = path;
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder;
}

// Start-menu folders of the test's own, in the prefix's programs folder.
class ProgramsFolders {
 public:
  ProgramsFolders() : root_(ProgramsFolder()) {
    for (const char* f : {"Walk Tools", "Walk Tools\\Games", "Walk Tools Extra"})
      CreateDirectoryA((root_ + f).c_str(), nullptr);
  }
  ~ProgramsFolders() {
    for (const char* f : {"Walk Tools\\Games", "Walk Tools", "Walk Tools Extra"})
      RemoveDirectoryA((root_ + f).c_str());
  }
  ProgramsFolders(const ProgramsFolders&) = delete;
  ProgramsFolders& operator=(const ProgramsFolders&) = delete;

 private:
  std::string root_;
};

TEST_F(WizardWalk, ForwardAndBackThroughEveryPageWithTheChooser) {
  ProgramsFolders folders;
  HWND wizard = Start(*installer_);
  ASSERT_NE(wizard, nullptr);

  ExpectPage(wizard, 1, WelcomePage);
  EXPECT_TRUE(SaveScreenshot(wizard, OutFolder() + "page1.bmp"));

  // Page 2: the licence, declined at first.
  ASSERT_TRUE(ClickWhenClickable(wizard, NextButton));
  ExpectPage(wizard, 2, LicencePage);
  EXPECT_FALSE(WindowText(FindControl(wizard, LicenceView)).empty());
  EXPECT_TRUE(Checked(wizard, DeclineOption));
  EXPECT_FALSE(Enabled(wizard, NextButton));
  EXPECT_TRUE(SaveScreenshot(wizard, OutFolder() + "page2.bmp"));
  ASSERT_TRUE(ClickWhenClickable(wizard, AcceptOption));
  EXPECT_TRUE(Enabled(wizard, NextButton));

  // Page 3: the folders, and the chooser.
  ASSERT_TRUE(ClickWhenClickable(wizard, NextButton));
  ExpectPage(wizard, 3, SettingsPage);
  EXPECT_EQ(WindowText(FindControl(wizard, InstallDirField)), kInstallDir);
  EXPECT_EQ(WindowText(FindControl(wizard, MenuFolderField)), "Acme\\Demo");
  EXPECT_TRUE(SaveScreenshot(wizard, OutFolder() + "page3.bmp"));

  ASSERT_TRUE(ClickWhenClickable(wizard, MenuFolderChange));
  HWND chooser = WaitForWindow(process_.id(), kChooserClass, 20000);
  ASSERT_NE(chooser, nullptr);
  WaitForIdle(chooser);
  EXPECT_EQ(WindowText(chooser), MenuChooserTitle(texts_));
  const SIZE client = ClientSize(chooser);
  EXPECT_EQ(client.cx, kMenuChooserClientWidth);
  EXPECT_EQ(client.cy, kMenuChooserClientHeight);
  for (const ChooserControlLayout& layout : MenuChooserControls()) {
    const ControlInfo info = Describe(FindControl(chooser, layout.number));
    EXPECT_TRUE(info.shown) << layout.number;
    EXPECT_EQ(info.rect.left, layout.x);
    EXPECT_EQ(info.rect.top, layout.y);
    EXPECT_EQ(info.rect.right - info.rect.left, layout.width);
    EXPECT_EQ(info.rect.bottom - info.rect.top, layout.height);
  }
  EXPECT_EQ(WindowText(FindControl(chooser, ApplyButton)), texts_.Get(TextId::ButtonsApply));
  EXPECT_FALSE(IsWindowEnabled(wizard));  // the wizard is held

  HWND tree = FindControl(chooser, MenuFolderTree);
  ASSERT_NE(tree, nullptr);
  const std::vector<TreeLine> lines = TreeLines(tree);
  auto at = std::find_if(lines.begin(), lines.end(),
                         [](const TreeLine& l) { return l.level == 0 && l.text == "Walk Tools"; });
  ASSERT_NE(at, lines.end());
  ASSERT_LT(at + 2, lines.end());
  // The subfolder right under its parent, before the longer name.
  EXPECT_EQ((at + 1)->text, "Games");
  EXPECT_EQ((at + 1)->level, 1);
  EXPECT_EQ((at + 2)->text, "Walk Tools Extra");
  EXPECT_EQ((at + 2)->level, 0);
  EXPECT_EQ(SelectedTreeItem(tree), nullptr);  // "Acme\Demo" does not exist
  EXPECT_TRUE(SaveScreenshot(chooser, OutFolder() + "chooser.bmp"));

  // Clicks on the wizard while the chooser is open are not acted on.
  Click(FindControl(wizard, NextButton));
  RequestClose(wizard);
  WaitForIdle(wizard);
  SelectTreeItem(tree, (at + 1)->item);
  Click(FindControl(chooser, ApplyButton));
  for (int waited = 0; waited < 100 && IsWindow(chooser); ++waited) Sleep(100);
  EXPECT_FALSE(IsWindow(chooser));
  WaitForIdle(wizard);  // the wizard active again
  EXPECT_TRUE(process_.running());
  EXPECT_TRUE(IsWindowEnabled(wizard));
  EXPECT_EQ(WindowText(FindControl(wizard, MenuFolderField)), "Walk Tools\\Games\\Demo");
  ExpectPage(wizard, 3, SettingsPage);

  // Page 4: the readme; page 5: Install and Finish.
  ASSERT_TRUE(ClickWhenClickable(wizard, NextButton));
  ExpectPage(wizard, 4, InfoPage);
  EXPECT_FALSE(WindowText(FindControl(wizard, ReadmeView)).empty());
  EXPECT_TRUE(SaveScreenshot(wizard, OutFolder() + "page4.bmp"));
  ASSERT_TRUE(ClickWhenClickable(wizard, NextButton));
  ExpectPage(wizard, 5, InstallPage);
  EXPECT_EQ(WindowText(FindControl(wizard, InstallTitle)), texts_.Get(TextId::Page05Titel1));
  EXPECT_TRUE(SaveScreenshot(wizard, OutFolder() + "page5.bmp"));

  // And back: the fields and the licence choice are kept.
  ASSERT_TRUE(ClickWhenClickable(wizard, BackButton));
  ExpectPage(wizard, 4, InfoPage);
  ASSERT_TRUE(ClickWhenClickable(wizard, BackButton));
  ExpectPage(wizard, 3, SettingsPage);
  EXPECT_EQ(WindowText(FindControl(wizard, MenuFolderField)), "Walk Tools\\Games\\Demo");
  ASSERT_TRUE(ClickWhenClickable(wizard, BackButton));
  ExpectPage(wizard, 2, LicencePage);
  EXPECT_TRUE(Checked(wizard, AcceptOption));
  EXPECT_TRUE(Enabled(wizard, NextButton));
  ASSERT_TRUE(ClickWhenClickable(wizard, BackButton));
  ExpectPage(wizard, 1, WelcomePage);

  ASSERT_TRUE(ClickWhenClickable(wizard, CancelButton));
  ExpectEndedWithNothingInstalled();
}

TEST_F(WizardWalk, WithoutLicenceAndReadmeThosePagesAreSkipped) {
  HWND wizard = Start(*withoutDocuments_);
  ASSERT_NE(wizard, nullptr);
  ASSERT_TRUE(ClickWhenClickable(wizard, NextButton));
  ExpectPage(wizard, 3, SettingsPage);
  ASSERT_TRUE(ClickWhenClickable(wizard, NextButton));
  ExpectPage(wizard, 5, InstallPage);
  ASSERT_TRUE(ClickWhenClickable(wizard, BackButton));
  ExpectPage(wizard, 3, SettingsPage);
  ASSERT_TRUE(ClickWhenClickable(wizard, BackButton));
  ExpectPage(wizard, 1, WelcomePage);
  RequestClose(wizard);
  ExpectEndedWithNothingInstalled();
}

// Page 5 has no Cancel button: there the close request (Alt+F4) ends the run.
class CancelOnPage : public WizardWalk, public ::testing::WithParamInterface<int> {};

TEST_P(CancelOnPage, EndsWithoutInstallingAnything) {
  const int page = GetParam();
  HWND wizard = Start(*installer_);
  ASSERT_NE(wizard, nullptr);
  const int panels[] = {WelcomePage, LicencePage, SettingsPage, InfoPage, InstallPage};
  for (int at = 1; at < page; ++at) {
    if (at == 2) {
      ASSERT_TRUE(ClickWhenClickable(wizard, AcceptOption));
    }
    ASSERT_TRUE(ClickWhenClickable(wizard, NextButton));
  }
  ExpectPage(wizard, page, panels[page - 1]);
  if (page < 5) {
    ASSERT_TRUE(ClickWhenClickable(wizard, CancelButton));
  } else {
    RequestClose(wizard);
  }
  ExpectEndedWithNothingInstalled();
}

INSTANTIATE_TEST_SUITE_P(Pages, CancelOnPage, ::testing::Values(1, 2, 3, 4, 5));

}  // namespace
}  // namespace brindorel::e2e

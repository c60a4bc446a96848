// The real Install.exe driven by the keyboard alone on a 144-DPI screen, in
// a language whose buttons are long (a Finnish file the test writes): the
// language chosen with the arrows and Return, every page walked with Tab,
// Shift+Tab, the arrows, Space, Enter and Esc, a system folder typed in and
// refused, the example installed. And the folder check of both views of a
// 64-bit Windows: Program Files, Program Files (x86), SysWOW64 and a short
// name refused by the silent /D= too, nothing written into them.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "driver.h"
#include "e2e_support.h"
#include "services/file_system.h"
#include "services/folders.h"
#include "services/wide_win.h"
#include "tests/win32/support/win32_checks.h"
#include "ui/control_surface.h"
#include "ui/dpi_scale.h"
#include "ui/wizard_layout.h"
#include "uninstaller/uninstall_window.h"

namespace brindorel::e2e {
namespace {

using wine_checks::DeleteKeyTree;

const char kGuid[] = "{7D1E6F52-2C4B-4A8E-9B3D-1F0A6C5E8D24}";
const char kLanguageClass[] = "BrindorelLanguage";
constexpr int kDpi = 144;

// Finnish interface texts: buttons longer than the layout's 60 pixels.
const char kFinnish[] =
    "\xEF\xBB\xBF; Brindorel interface texts: Finnish (test)\r\n"
    "[Install]\r\nMsg1=Kopioi ohjelman tiedostot\r\nMsg2=Luo ty\xC3\xB6p\xC3\xB6yd\xC3\xA4n kuvake\r\n"
    "Msg3=Luo K\xC3\xA4ynnist\xC3\xA4-valikon pikakuvakkeet\r\nMsg5=Luo poisto-ohjelman merkint\xC3\xA4\r\n"
    "Msg6=Luo lis\xC3\xA4linkit\r\nReady=Valmis\r\nHelp=Ohje\r\nFailed=Ep\xC3\xA4onnistui\r\n"
    "[Page01]\r\nTitel=Tervetuloa asentamaan 'Acme Demo'\r\n"
    "Msg1=Brindorel asentaa nyt ohjelman 'Acme Demo' version 2.1 tietokoneellesi.\r\n"
    "Msg2=Jatka valitsemalla 'Seuraava'.\r\nMsg3=Sulje kaikki muut sovellukset ennen jatkamista.\r\n"
    "CopyRight=T\xC3\xA4m\xC3\xA4 ohjelma on tekij\xC3\xA4noikeuden suojaama.\r\n"
    "[Page02]\r\nTitel=K\xC3\xA4ytt\xC3\xB6oikeussopimus\r\nMsg=Lue seuraavat tiedot ennen jatkamista.\r\n"
    "AcceptYes=Hyv\xC3\xA4ksyn sopimuksen\r\nAcceptNo=En hyv\xC3\xA4ksy sopimusta\r\n"
    "[Page03]\r\nTitel=Asetukset\r\nMsg=Asennuskansio, K\xC3\xA4ynnist\xC3\xA4-valikon kansio ja ty\xC3\xB6p\xC3\xB6yd\xC3\xA4n kuvake\r\n"
    "ProgDir=Asenna ohjelma t\xC3\xA4h\xC3\xA4n kansioon:\r\nMenuDir=K\xC3\xA4ynnist\xC3\xA4-valikon kansio:\r\n"
    "DesktopIcon=Luo kuvake ty\xC3\xB6p\xC3\xB6yd\xC3\xA4lle\r\n"
    "[Page04]\r\nTitel=Tietoja\r\nMsg=Lyhyt kuvaus ohjelmasta\r\n"
    "[Page05]\r\nTitel1=Ohjelman 'Acme Demo' asennus\r\nTitel2=Asennus valmis\r\n"
    "Msg=Aloita asennus valitsemalla 'Asenna'!\r\nInstall=Asennetaan ohjelmaa 'Acme Demo'\r\n"
    "RunProg=K\xC3\xA4ynnist\xC3\xA4 ohjelma, kun Brindorel suljetaan.\r\nReady=Asennus on valmis\r\n"
    "[Requester]\r\nRQ1_Titel=Valitse valikon kansio\r\nRQ1_Msg=Kelvoton valikon kansio.\r\n"
    "RQ2_Titel=Valitse kansio\r\nRQ3_Titel=Valitse kansio\r\nRQ4_Titel=Brindorel - Varoitus\r\n"
    "RQ4_Msg=Sulje ensin ohjelma '$Titel'!\r\nRQ4_Msg2=Valitse sitten OK!\r\n"
    "[Buttons]\r\nNext=Seuraava\r\nBack=Edellinen\r\nApply=K\xC3\xA4yt\xC3\xA4\r\nCancel=Peruuta\r\n"
    "Change=Muuta\r\nInstall=Asenna\r\nFinish=Valmis\r\n";

std::string Target() { return OutFolder() + "keyboard\\Acme Demo\\"; }

void Clean() {
  RemoveFolder(OutFolder() + "keyboard\\", "", kRemoveSubfolders | kRemoveForced);
  RemoveFolder(GetSpecialFolder(2) + "Acme\\", "", kRemoveSubfolders | kRemoveForced);
  for (const char* link : {"Acme Demo.lnk", "Acme Readme.lnk"}) DeleteFileW(Wide(GetSpecialFolder(0) + link).c_str());
  DeleteFileW(Wide(GetSpecialFolder(26) + "acme-demo.ini").c_str());
  DeleteKeyTree(HKEY_LOCAL_MACHINE, std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kGuid);
  DeleteKeyTree(HKEY_CURRENT_USER, std::string("SOFTWARE\\Brindorel\\") + kGuid);
  DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Acme\\Demo");
  RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Acme");
}

// The example with the Finnish file and a second language, so that the
// language chooser asks (no user's locale here is Finnish or Swedish).
std::string FinnishInstaller() {
  const std::string copy = CopyOfExample("keyboard-finnish", {});
  if (copy.empty()) return std::string();
  std::ofstream(Wide(copy + "\\finnish.lng").c_str(), std::ios::binary) << kFinnish;
  CopyFileW(Wide(copy + "\\english.lng").c_str(), Wide(copy + "\\svenska.lng").c_str(), FALSE);
  std::string setup;
  {
    std::ifstream in(Wide(copy + "\\setup.ini").c_str(), std::ios::binary);
    setup.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const std::string from = "Language=english.lng#9|german.lng#7|";
  const std::size_t at = setup.find(from);
  if (at == std::string::npos) return std::string();
  setup.replace(at, from.size(), "Language=finnish.lng#11|svenska.lng#29|");
  std::ofstream(Wide(copy + "\\setup.ini").c_str(), std::ios::binary) << setup;
  return BuildInstaller(copy, "InstallKeyboard.exe");
}

std::string ShortPath(const std::string& path) {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD n = GetShortPathNameW(Wide(path).c_str(), buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? NarrowUntilZero(buffer, MAX_PATH) : std::string();
}

class KeyboardWalk : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override {
    if (process_.running()) process_.Kill();
    KillProcesses("acme.exe");
    Clean();
  }

  // Presses Tab (or Shift+Tab) until `control` has the focus; false when
  // it never does within a round.
  bool TabTo(HWND wizard, int control, bool back = false) {
    for (int i = 0; i < 20 && FocusedControl(wizard) != control; ++i) {
      const HWND before = FocusedWindow(wizard);
      PressKey(VK_TAB, back);
      Eventually([&] { return FocusedWindow(wizard) != before; }, 5000);
    }
    return FocusedControl(wizard) == control;
  }
  // The focus reaches `control` (a key's effect arrives after the key).
  static bool FocusComes(HWND window, int control) {
    return Eventually([&] { return FocusedControl(window) == control; });
  }
  static bool CheckComes(HWND window, int control, LRESULT state) {
    return Eventually([&] { return SendMessageW(FindControl(window, control), BM_GETCHECK, 0, 0) == state; });
  }
  void WaitShown(HWND wizard, int control) {
    for (int waited = 0; waited < 100 && !Describe(FindControl(wizard, control)).shown; ++waited) Sleep(100);
    WaitForIdle(wizard);
  }
  bool Shown(HWND wizard, int control) { return Describe(FindControl(wizard, control)).shown; }
  void Screenshot(HWND window, const std::string& name) {
    EXPECT_TRUE(SaveScreenshot(window, OutFolder() + "keyboard144-" + name + ".bmp"));
  }

  // The long Finnish buttons have grown, the rightmost kept its edge, the
  // link gave way, nothing overlaps and no button text is cut.
  void ExpectButtonsFit(HWND wizard, const std::vector<int>& row) {
    std::vector<RECT> places;
    for (int number : row) {
      const ControlInfo info = Describe(FindControl(wizard, number));
      places.push_back(info.rect);
      LOGFONTW font{};
      font.lfHeight = -MulDiv(8, kDpi, 72);
      font.lfWeight = number == InstallButton ? 700 : 400;
      std::wstring(number == InstallButton ? L"MS Sans Serif" : L"MS Shell Dlg").copy(font.lfFaceName, 31);
      std::string reason;
      EXPECT_TRUE(TextFits(info.handle, font, reason)) << info.text << ": " << reason;
    }
    EXPECT_EQ(places.back().right, ScaleForDpi(475, kDpi));
    for (std::size_t i = 0; i + 1 < places.size(); ++i) EXPECT_LE(places[i].right, places[i + 1].left) << row[i];
    const ControlInfo link = Describe(FindControl(wizard, WebLink));
    EXPECT_LE(link.rect.right, places.front().left);
  }

  Process process_;
};

TEST_F(KeyboardWalk, AKeyboardAloneInstallsTheExampleInFinnishAt144Dpi) {
  const std::string installer = FinnishInstaller();
  ASSERT_FALSE(installer.empty());
  HWND chooser = nullptr;
  {
    ScreenDpi screen(kDpi);
    ASSERT_TRUE(process_.Start("\"" + installer + "\""));
    chooser = WaitForWindow(process_.id(), kLanguageClass, 60000);
    ASSERT_NE(chooser, nullptr);
    WaitForIdle(chooser);
  }
  // The language: the list has the focus; down to Swedish, up to Finnish, Return.
  BringToFront(chooser);
  EXPECT_TRUE(FocusComes(chooser, LanguageList)) << FocusedControl(chooser);
  PressKey(VK_DOWN);
  PressKey(VK_UP);
  PressKey(VK_RETURN);

  HWND wizard = WaitForWindow(process_.id(), kWizardClass, 60000);
  ASSERT_NE(wizard, nullptr);
  WaitForIdle(wizard);
  BringToFront(wizard);
  EXPECT_EQ(ClientSize(wizard).cx, ScaleForDpi(kWizardClientWidth, kDpi));

  // Page 1: Next has the focus; Tab and Shift+Tab go round.
  EXPECT_EQ(WindowText(FindControl(wizard, NextButton)), "Seuraava >");
  EXPECT_TRUE(FocusComes(wizard, NextButton)) << FocusedControl(wizard);
  PressKey(VK_TAB);
  EXPECT_TRUE(FocusComes(wizard, CancelButton)) << FocusedControl(wizard);
  PressKey(VK_TAB, true);
  EXPECT_TRUE(FocusComes(wizard, NextButton)) << FocusedControl(wizard);
  ExpectButtonsFit(wizard, {NextButton, CancelButton});
  Screenshot(wizard, "page1");
  PressKey(VK_RETURN);

  // Page 2: Next is disabled; the licence view has the focus, Tab goes on
  // to the selected option, the arrows accept.
  WaitShown(wizard, LicencePage);
  EXPECT_FALSE(Describe(FindControl(wizard, NextButton)).enabled);
  EXPECT_TRUE(FocusComes(wizard, LicenceView)) << FocusedControl(wizard);
  PressKey(VK_DOWN);
  PressKey(VK_TAB);
  EXPECT_TRUE(FocusComes(wizard, DeclineOption)) << FocusedControl(wizard);
  PressKey(VK_UP);
  EXPECT_TRUE(FocusComes(wizard, AcceptOption)) << FocusedControl(wizard);
  EXPECT_TRUE(CheckComes(wizard, AcceptOption, BST_CHECKED));
  EXPECT_TRUE(Eventually([&] { return Describe(FindControl(wizard, NextButton)).enabled; }));
  ExpectButtonsFit(wizard, {BackButton, NextButton, CancelButton});
  Screenshot(wizard, "page2");
  PressKey(VK_RETURN);

  // Page 3: a system folder typed in (the short name of Program Files
  // (x86)) is refused with a message; Return closes it.
  WaitShown(wizard, SettingsPage);
  EXPECT_TRUE(FocusComes(wizard, NextButton)) << FocusedControl(wizard);
  ASSERT_TRUE(TabTo(wizard, InstallDirField, true));
  const std::string shortName = ShortPath("C:\\Program Files (x86)");
  ASSERT_FALSE(shortName.empty());
  TypeText(shortName + "\\Acme Demo\\..");
  EXPECT_TRUE(Eventually([&] {
    return WindowText(FindControl(wizard, InstallDirField)) == shortName + "\\Acme Demo\\..";
  })) << WindowText(FindControl(wizard, InstallDirField));
  PressKey(VK_RETURN);
  HWND box = WaitForMessageBox(process_.id(), 20000);
  ASSERT_NE(box, nullptr);
  WaitForIdle(box);
  Screenshot(box, "refused");
  BringToFront(box);
  PressKey(VK_RETURN);
  for (int waited = 0; waited < 200 && IsWindow(box); ++waited) Sleep(100);
  EXPECT_FALSE(IsWindow(box));
  WaitForIdle(wizard);
  EXPECT_TRUE(Shown(wizard, SettingsPage));  // still here
  EXPECT_FALSE(Exists("C:\\Program Files (x86)\\Uninstall.exe"));
  // Back in the wizard the focus is where it was; now a folder of our own.
  EXPECT_TRUE(FocusComes(wizard, NextButton)) << FocusedControl(wizard);
  ASSERT_TRUE(TabTo(wizard, InstallDirField));
  TypeText(Target());
  EXPECT_TRUE(Eventually([&] { return WindowText(FindControl(wizard, InstallDirField)) == Target(); }));
  ASSERT_TRUE(TabTo(wizard, DesktopIconBox));
  PressKey(VK_SPACE);  // Space toggles the box
  EXPECT_TRUE(CheckComes(wizard, DesktopIconBox, BST_UNCHECKED));
  PressKey(VK_SPACE);
  EXPECT_TRUE(CheckComes(wizard, DesktopIconBox, BST_CHECKED));
  Screenshot(wizard, "page3");
  PressKey(VK_RETURN);

  // Page 4, the readme; page 5, where Esc does nothing.
  WaitShown(wizard, InfoPage);
  EXPECT_TRUE(FocusComes(wizard, NextButton)) << FocusedControl(wizard);
  Screenshot(wizard, "page4");
  PressKey(VK_RETURN);
  WaitShown(wizard, InstallPage);
  EXPECT_TRUE(FocusComes(wizard, InstallButton)) << FocusedControl(wizard);
  ExpectButtonsFit(wizard, {BackButton, InstallButton, FinishButton});
  Screenshot(wizard, "page5");
  PressKey(VK_ESCAPE);
  WaitForIdle(wizard);
  EXPECT_TRUE(process_.running());
  EXPECT_TRUE(Shown(wizard, InstallPage));

  // Install with Enter; Finish is then the only button and has the focus.
  PressKey(VK_RETURN);
  for (int waited = 0; waited < 600 && Shown(wizard, InstallButton); ++waited) Sleep(100);
  for (int waited = 0; waited < 600 && WindowText(FindControl(wizard, InstallStatus)) != "Asennus on valmis";
       ++waited)
    Sleep(100);
  EXPECT_EQ(WindowText(FindControl(wizard, InstallStatus)), "Asennus on valmis");
  EXPECT_TRUE(FocusComes(wizard, FinishButton)) << FocusedControl(wizard);
  Screenshot(wizard, "installed");
  // The program is not to start: Space on its box, then Enter for Finish.
  ASSERT_TRUE(TabTo(wizard, RunProgramBox));
  PressKey(VK_SPACE);
  EXPECT_TRUE(CheckComes(wizard, RunProgramBox, BST_UNCHECKED));
  PressKey(VK_RETURN);
  ASSERT_TRUE(process_.Wait(60000));
  EXPECT_EQ(process_.ExitCode(), 0u);

  EXPECT_TRUE(Exists(Target() + "Uninstall.exe"));
  EXPECT_TRUE(Exists(Target() + "acme.exe"));
  EXPECT_TRUE(Exists(GetSpecialFolder(0) + "Acme Demo.lnk"));

  // And away again, with the uninstaller's window at 144 DPI: OK has the
  // focus, Enter removes, Enter closes.
  Process uninstaller;
  HWND window = nullptr;
  {
    ScreenDpi screen(kDpi);
    ASSERT_TRUE(uninstaller.Start("\"" + Target() + "Uninstall.exe\""));
    // The window belongs to the uninstaller's copy in the temporary folder.
    for (int waited = 0; waited < 600 && window == nullptr; ++waited) {
      HWND found = FindWindowW(L"BrindorelUninstall", nullptr);
      if (found != nullptr && IsWindowVisible(found)) window = found;
      Sleep(100);
    }
    ASSERT_NE(window, nullptr);
    WaitForIdle(window);
  }
  EXPECT_EQ(ClientSize(window).cx, ScaleForDpi(420, kDpi));
  EXPECT_EQ(ClientSize(window).cy, ScaleForDpi(250, kDpi));
  const ControlInfo ok = Describe(FindControl(window, kUninstallOkButton));
  EXPECT_EQ(ok.rect.left, ScaleForDpi(228, kDpi));
  EXPECT_EQ(ok.rect.right - ok.rect.left, ScaleForDpi(84, kDpi));
  Screenshot(window, "uninstall");
  BringToFront(window);
  EXPECT_TRUE(FocusComes(window, kUninstallOkButton)) << FocusedControl(window);
  PressKey(VK_RETURN);
  for (int waited = 0; waited < 600 && Describe(FindControl(window, kUninstallCancelButton)).shown; ++waited)
    Sleep(100);
  WaitForIdle(window);
  EXPECT_TRUE(FocusComes(window, kUninstallOkButton)) << FocusedControl(window);
  PressKey(VK_RETURN);
  ASSERT_TRUE(uninstaller.Wait(60000));
  EXPECT_EQ(uninstaller.ExitCode(), 0u);
  EXPECT_FALSE(Exists(Target() + "acme.exe"));
  EXPECT_FALSE(Exists(GetSpecialFolder(0) + "Acme Demo.lnk"));
}

TEST_F(KeyboardWalk, EscClosesTheLanguageChooserAndCancelsTheWizard) {
  const std::string installer = FinnishInstaller();
  ASSERT_FALSE(installer.empty());
  ASSERT_TRUE(process_.Start("\"" + installer + "\""));
  HWND chooser = WaitForWindow(process_.id(), kLanguageClass, 60000);
  ASSERT_NE(chooser, nullptr);
  WaitForIdle(chooser);
  BringToFront(chooser);
  PressKey(VK_ESCAPE);
  // Without a choice the wizard speaks its built-in English.
  HWND wizard = WaitForWindow(process_.id(), kWizardClass, 60000);
  ASSERT_NE(wizard, nullptr);
  WaitForIdle(wizard);
  BringToFront(wizard);
  EXPECT_EQ(WindowText(FindControl(wizard, NextButton)), "Next >");
  PressKey(VK_RETURN);
  WaitShown(wizard, LicencePage);
  PressKey(VK_ESCAPE);  // Cancel
  ASSERT_TRUE(process_.Wait(30000));
  EXPECT_EQ(process_.ExitCode(), 0u);
  EXPECT_FALSE(Exists(WorkFolder()));
}

TEST_F(KeyboardWalk, SystemFoldersOfBothViewsAreRefusedBySilentInstallationsToo) {
  const std::string installer = BuildInstaller(SourcePath("examples/acme-demo"), "InstallFolders.exe");
  ASSERT_FALSE(installer.empty());
  const std::string shortX86 = ShortPath("C:\\Program Files (x86)");
  const std::string shortPlain = ShortPath("C:\\Program Files");
  ASSERT_FALSE(shortX86.empty());
  ASSERT_NE(shortX86, "C:\\Program Files (x86)");  // a real short name
  const std::string wow64 = GetSpecialFolder(kSysWow64FolderId);
  ASSERT_FALSE(wow64.empty());  // the prefix is a 64-bit one
  for (const std::string& folder : {std::string("C:\\Program Files"), std::string("C:\\Program Files (x86)"), wow64,
                                    std::string("C:\\Windows\\SysWOW64\\"), shortX86, shortPlain + "\\Acme Demo\\..",
                                    std::string("c:/program files (X86)/./")}) {
    SCOPED_TRACE(folder);
    EXPECT_EQ(RunAndWait("\"" + installer + "\" /S /D=" + folder, 120000), 4);
    const std::string closed = folder.back() == '\\' || folder.back() == '/' ? folder : folder + "\\";
    EXPECT_FALSE(Exists(closed + "Uninstall.exe"));
    EXPECT_FALSE(Exists(closed + "acme.exe"));
  }
  EXPECT_FALSE(Exists(WorkFolder()));
}

}  // namespace
}  // namespace brindorel::e2e

#include "ui/wizard_layout.h"

#include "ui/control_surface.h"

namespace brindorel {

namespace {

const FontStyle kFonts[static_cast<int>(FontId::Count)] = {
    {"", 0, 400},               // Default: the system's GUI font
    {"Arial", 8, 400},          // Small
    {"Arial", 8, 700},          // SmallBold
    {"Arial", 9, 400},          // Body
    {"Arial", 9, 700},          // BodyBold
    {"Arial", 12, 700},         // Title
    {"MS Sans Serif", 8, 700},  // ButtonBold
};

using CK = ControlKind;
using F = FontId;
constexpr TextId kNoText = TextId::Count;

// number, kind, parent, x, y, w, h, font, white, centred, sunken, groupStart, text, prefix, suffix
const std::vector<ControlLayout> kControls = {
    {WelcomePage, CK::Panel, 0, 130, 0, 350, 300, F::Default, true, false, false, false, kNoText, "", ""},
    {WelcomeTitle, CK::Label, WelcomePage, 10, 10, 330, 60, F::Title, true, true, false, false, TextId::Page01Titel, "", ""},
    {WelcomeText, CK::Label, WelcomePage, 10, 80, 330, 120, F::Body, true, false, false, false, TextId::Page01Msg1, "", ""},
    {NoticeText, CK::Label, WelcomePage, 10, 245, 330, 45, F::Body, true, false, false, false, TextId::Page01CopyRight, "", ""},
    {SideImage, CK::Image, 0, 0, 0, 130, 300, F::Default, false, false, false, false, kNoText, "", ""},
    {HeaderPanel, CK::Panel, 0, 0, 0, 480, 48, F::Default, true, false, false, false, kNoText, "", ""},
    {HeaderTitle, CK::Label, HeaderPanel, 10, 10, 415, 15, F::SmallBold, true, false, false, false, TextId::Page02Titel, "", ""},
    {HeaderSubtitle, CK::Label, HeaderPanel, 20, 25, 405, 15, F::Small, true, false, false, false, TextId::Page02Msg, "", ""},
    {HeaderIcon, CK::Image, HeaderPanel, 440, 9, 32, 32, F::Default, false, false, false, false, kNoText, "", ""},
    {LicencePage, CK::Panel, 0, 0, 50, 480, 250, F::Default, false, false, true, false, kNoText, "", ""},
    {LicenceView, CK::RichView, LicencePage, 10, 10, 455, 190, F::Default, false, false, false, false, kNoText, "", ""},
    {AcceptOption, CK::Radio, LicencePage, 10, 208, 455, 15, F::Body, false, false, false, true, TextId::Page02AcceptYes, "", ""},
    {DeclineOption, CK::Radio, LicencePage, 10, 227, 455, 15, F::Body, false, false, false, false, TextId::Page02AcceptNo, "", ""},
    {SettingsPage, CK::Panel, 0, 0, 50, 480, 250, F::Default, false, false, true, false, kNoText, "", ""},
    {ScopeMachineOption, CK::Radio, SettingsPage, 10, 10, 225, 15, F::Body, false, false, false, true, TextId::Page03AllUsers, "", ""},
    {ScopeUserOption, CK::Radio, SettingsPage, 240, 10, 225, 15, F::Body, false, false, false, false, TextId::Page03OnlyMe, "", ""},
    {InstallDirLabel, CK::Label, SettingsPage, 10, 35, 375, 15, F::Body, false, false, false, false, TextId::Page03ProgDir, "", ""},
    {InstallDirField, CK::Edit, SettingsPage, 10, 55, 300, 20, F::Default, false, false, false, false, kNoText, "", ""},
    {InstallDirChange, CK::Button, SettingsPage, 315, 55, 60, 20, F::Default, false, false, false, false, TextId::ButtonsChange, "", ""},
    {MenuFolderLabel, CK::Label, SettingsPage, 10, 120, 375, 15, F::Body, false, false, false, false, TextId::Page03MenuDir, "", ""},
    {MenuFolderField, CK::Edit, SettingsPage, 10, 140, 175, 20, F::Default, false, false, false, false, kNoText, "", ""},
    {MenuFolderChange, CK::Button, SettingsPage, 190, 140, 60, 20, F::Default, false, false, false, false, TextId::ButtonsChange, "", ""},
    {DesktopIconBox, CK::CheckBox, SettingsPage, 10, 195, 370, 15, F::Body, false, false, false, false, TextId::Page03DesktopIcon, "", ""},
    {InfoPage, CK::Panel, 0, 0, 50, 480, 250, F::Default, false, false, true, false, kNoText, "", ""},
    {ReadmeView, CK::RichView, InfoPage, 10, 10, 455, 225, F::Default, false, false, false, false, kNoText, "", ""},
    {InstallPage, CK::Panel, 0, 130, 0, 350, 300, F::Default, true, false, false, false, kNoText, "", ""},
    {InstallTitle, CK::Label, InstallPage, 10, 15, 330, 50, F::Title, true, true, false, false, TextId::Page05Titel1, "", ""},
    {InstallHint, CK::Label, InstallPage, 10, 260, 330, 40, F::Body, true, true, false, false, TextId::Page05Msg, "", ""},
    {InstallStatus, CK::Label, InstallPage, 10, 75, 330, 15, F::BodyBold, true, false, false, false, TextId::Page05Install, "", " . . . . ."},
    {RunProgramBox, CK::CheckBox, InstallPage, 10, 245, 330, 15, F::Body, true, false, false, false, TextId::Page05RunProg, "", ""},
    {ProgressList, CK::ListBox, InstallPage, 10, 100, 330, 130, F::Default, false, false, false, false, kNoText, "", ""},
    {WebLink, CK::Hyperlink, 0, 10, 310, 240, 15, F::SmallBold, false, false, false, false, kNoText, "", ""},
    {BackButton, CK::Button, 0, 270, 310, 60, 20, F::Default, false, false, false, false, TextId::ButtonsBack, "< ", ""},
    {NextButton, CK::Button, 0, 335, 310, 60, 20, F::Default, false, false, false, false, TextId::ButtonsNext, "", " >"},
    {InstallButton, CK::Button, 0, 335, 310, 70, 20, F::ButtonBold, false, false, false, false, TextId::ButtonsInstall, "", ""},
    {CancelButton, CK::Button, 0, 415, 310, 60, 20, F::Default, false, false, false, false, TextId::ButtonsCancel, "", ""},
    {FinishButton, CK::Button, 0, 420, 310, 55, 20, F::Default, false, false, false, false, TextId::ButtonsFinish, "", ""},
};

const std::vector<int> kInitiallyHidden = {HeaderPanel,  InfoPage,      LicencePage, SettingsPage,
                                           InstallPage,  InstallStatus, ProgressList, RunProgramBox,
                                           BackButton,   InstallButton, FinishButton, ScopeMachineOption,
                                           ScopeUserOption};

}  // namespace

const FontStyle& FontStyleOf(FontId font) {
  const int i = static_cast<int>(font);
  return kFonts[(i >= 0 && i < static_cast<int>(FontId::Count)) ? i : 0];
}

int FontHeightForDpi(int points, int dpi) {
  // MulDiv(points, dpi, 72): the product in 64 bits, rounded half away from zero.
  const std::int64_t product = static_cast<std::int64_t>(points) * dpi;
  const std::int64_t rounded = product >= 0 ? (product + 36) / 72 : (product - 36) / 72;
  return -static_cast<int>(rounded);
}

const std::vector<ControlLayout>& WizardControls() { return kControls; }

const ControlLayout* FindWizardControl(int number) {
  for (const ControlLayout& c : kControls)
    if (c.number == number) return &c;
  return nullptr;
}

std::string InitialControlText(const ControlLayout& control, const InterfaceTexts& texts) {
  if (control.number == WelcomeText) {
    return texts.Get(TextId::Page01Msg1) + "\n\n" + texts.Get(TextId::Page01Msg2) + "\n\n" +
           texts.Get(TextId::Page01Msg3);
  }
  if (control.text == kNoText) return std::string();
  return control.prefix + texts.Get(control.text) + control.suffix;
}

std::string WizardWindowTitle(const std::string& titel, const std::string& version) {
  return " " + titel + "  " + version;
}

const std::vector<int>& InitiallyHiddenControls() { return kInitiallyHidden; }

TextId PageHeaderTitle(int page) {
  switch (page) {
    case 2: return TextId::Page02Titel;
    case 3: return TextId::Page03Titel;
    case 4: return TextId::Page04Titel;
    default: return kNoText;
  }
}

TextId PageHeaderSubtitle(int page) {
  switch (page) {
    case 2: return TextId::Page02Msg;
    case 3: return TextId::Page03Msg;
    case 4: return TextId::Page04Msg;
    default: return kNoText;
  }
}

}  // namespace brindorel

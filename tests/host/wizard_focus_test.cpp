// Which button Enter and Esc press, and where the focus goes, by what is
// shown and enabled.
#include "ui/wizard_focus.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <set>
#include <string>

#include "ui/control_surface.h"

namespace brindorel {
namespace {

struct FocusCase {
  const char* name;
  std::set<int> usable;
  std::set<int> checked;
  int enter, escape, focus;
};

class WizardFocusTest : public ::testing::TestWithParam<FocusCase> {};

TEST_P(WizardFocusTest, EnterEscAndFocusFollowWhatIsUsable) {
  const FocusCase& c = GetParam();
  const ControlUsable usable = [&](int control) { return c.usable.count(control) == 1; };
  const ControlChecked checked = [&](int control) { return c.checked.count(control) == 1; };
  EXPECT_EQ(DefaultButton(usable), c.enter);
  EXPECT_EQ(EscapeButton(usable), c.escape);
  EXPECT_EQ(SensibleFocus(usable, checked), c.focus);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, WizardFocusTest,
    ::testing::Values(
        FocusCase{"welcome", {WelcomePage, WelcomeText, WebLink, NextButton, CancelButton}, {}, NextButton,
                  CancelButton, NextButton},
        // The licence declined: Next is disabled, the view comes first.
        FocusCase{"licence_declined",
                  {HeaderPanel, HeaderTitle, LicencePage, LicenceView, AcceptOption, DeclineOption, WebLink,
                   BackButton, CancelButton},
                  {DeclineOption}, 0, CancelButton, LicenceView},
        // Without the view, the group's selected button, not its first.
        FocusCase{"radio_group_selected_button",
                  {AcceptOption, DeclineOption, BackButton, CancelButton}, {DeclineOption}, 0, CancelButton,
                  DeclineOption},
        FocusCase{"radio_group_nothing_selected", {AcceptOption, DeclineOption, CancelButton}, {}, 0, CancelButton,
                  AcceptOption},
        FocusCase{"settings",
                  {SettingsPage, InstallDirField, InstallDirChange, MenuFolderField, BackButton, NextButton,
                   CancelButton},
                  {}, NextButton, CancelButton, NextButton},
        // The scope options come first on the settings page, one group: its selected button.
        FocusCase{"settings_scope_options_first",
                  {SettingsPage, ScopeMachineOption, ScopeUserOption, InstallDirField, InstallDirChange, BackButton,
                   CancelButton},
                  {ScopeUserOption}, 0, CancelButton, ScopeUserOption},
        FocusCase{"settings_without_scope_options",
                  {SettingsPage, InstallDirField, InstallDirChange, BackButton, CancelButton}, {ScopeUserOption}, 0,
                  CancelButton, InstallDirField},
        FocusCase{"install_page", {InstallPage, BackButton, InstallButton, FinishButton, WebLink}, {}, InstallButton,
                  0, InstallButton},
        FocusCase{"installed", {InstallPage, ProgressList, RunProgramBox, FinishButton}, {}, FinishButton, 0,
                  FinishButton},
        // Labels, panels and images never take it.
        FocusCase{"nothing_to_focus", {WelcomePage, WelcomeTitle, SideImage, HeaderIcon}, {}, 0, 0, 0}),
    [](const ::testing::TestParamInfo<FocusCase>& p) { return std::string(p.param.name); });

TEST(WizardFocus, ControlsThatTakeTheFocus) {
  for (int control : {LicenceView, ReadmeView, AcceptOption, ScopeMachineOption, ScopeUserOption, InstallDirField, InstallDirChange, DesktopIconBox,
                      ProgressList, RunProgramBox, WebLink, BackButton, NextButton, CancelButton, InstallButton,
                      FinishButton})
    EXPECT_TRUE(TakesFocus(control)) << control;
  for (int control : std::initializer_list<int>{HeaderPanel, HeaderSubtitle, HeaderIcon, LicencePage, WelcomeText,
                                                SideImage, InstallStatus,
                      MenuFolderTree, 0, 99})
    EXPECT_FALSE(TakesFocus(control)) << control;
}

}  // namespace
}  // namespace brindorel

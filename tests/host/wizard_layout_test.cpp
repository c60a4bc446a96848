#include "ui/wizard_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "ui/control_surface.h"

namespace brindorel {
namespace {

TEST(WizardLayout, ControlsAreUniqueAndInsideTheirParents) {
  std::set<int> seen;
  int openPanel = 0;
  for (const ControlLayout& c : WizardControls()) {
    EXPECT_TRUE(seen.insert(c.number).second) << "control " << c.number << " twice";
    EXPECT_GT(c.width, 0);
    EXPECT_GT(c.height, 0);
    int parentWidth = kWizardClientWidth;
    int parentHeight = kWizardClientHeight;
    if (c.parent != 0) {
      // A child follows its panel directly: panels collect the controls made after them.
      EXPECT_EQ(c.parent, openPanel) << "control " << c.number;
      const ControlLayout* parent = FindWizardControl(c.parent);
      ASSERT_NE(parent, nullptr);
      EXPECT_EQ(parent->kind, ControlKind::Panel);
      parentWidth = parent->width;
      parentHeight = parent->height;
    }
    EXPECT_GE(c.x, 0);
    EXPECT_GE(c.y, 0);
    EXPECT_LE(c.x + c.width, parentWidth) << "control " << c.number;
    EXPECT_LE(c.y + c.height, parentHeight) << "control " << c.number;
    if (c.kind == ControlKind::Panel)
      openPanel = c.number;
    else if (c.parent == 0)
      openPanel = 0;
  }
  EXPECT_EQ(seen.size(), 37u);
  for (int hidden : InitiallyHiddenControls()) EXPECT_NE(FindWizardControl(hidden), nullptr) << hidden;
}

TEST(WizardLayout, InstallButtonCoversNextButtonAndIsWider) {
  const ControlLayout* next = FindWizardControl(NextButton);
  const ControlLayout* install = FindWizardControl(InstallButton);
  ASSERT_TRUE(next && install);
  EXPECT_EQ(install->x, next->x);
  EXPECT_EQ(install->y, next->y);
  EXPECT_EQ(install->width, next->width + 10);
  // The two are never shown together: Install starts hidden, Next does not.
  const auto& hidden = InitiallyHiddenControls();
  EXPECT_NE(std::find(hidden.begin(), hidden.end(), InstallButton), hidden.end());
  EXPECT_EQ(std::find(hidden.begin(), hidden.end(), NextButton), hidden.end());
}

TEST(WizardLayout, TextsAndTitleCompose) {
  const InterfaceTexts t = DefaultInterfaceTexts("Acme Tool", "2.1");
  EXPECT_EQ(InitialControlText(*FindWizardControl(BackButton), t), "< Back");
  EXPECT_EQ(InitialControlText(*FindWizardControl(NextButton), t), "Next >");
  EXPECT_EQ(InitialControlText(*FindWizardControl(InstallStatus), t), "Install Program 'Acme Tool' . . . . .");
  EXPECT_EQ(InitialControlText(*FindWizardControl(ProgressList), t), "");
  EXPECT_EQ(WizardWindowTitle("Acme Tool", "2.1"), " Acme Tool  2.1");
  EXPECT_EQ(WizardWindowTitle("Acme Tool", ""), " Acme Tool  ");

  InterfaceTexts noMsg2 = t;
  noMsg2.values[static_cast<int>(TextId::Page01Msg2)].clear();
  EXPECT_EQ(InitialControlText(*FindWizardControl(WelcomeText), noMsg2),
            t.Get(TextId::Page01Msg1) + "\n\n\n\n" + t.Get(TextId::Page01Msg3));
}

TEST(WizardLayout, FontHeightsRoundLikeMulDiv) {
  EXPECT_EQ(FontHeightForDpi(8, 96), -11);   // 10.67
  EXPECT_EQ(FontHeightForDpi(9, 96), -12);
  EXPECT_EQ(FontHeightForDpi(12, 96), -16);
  EXPECT_EQ(FontHeightForDpi(9, 120), -15);  // 15.0
  EXPECT_EQ(FontHeightForDpi(3, 12), -1);    // 0.5 rounds up
  EXPECT_STREQ(FontStyleOf(FontId::ButtonBold).face, "MS Sans Serif");
  EXPECT_EQ(FontStyleOf(FontId::Title).weight, 700);
}

}  // namespace
}  // namespace brindorel

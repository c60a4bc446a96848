// The wizard's layout on screens of other resolutions, and buttons that grow
// for longer translations.
#include "ui/wizard_arrangement.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <string>
#include <vector>

#include "ui/button_row.h"
#include "ui/control_surface.h"
#include "ui/dpi_scale.h"
#include "ui/wizard_layout.h"

namespace brindorel {
namespace {

TEST(DpiScale, RoundsAsMulDivAndHoldsTheEnds) {
  const struct {
    int value, dpi, scaled;
  } cases[] = {
      {480, 96, 480},   {480, 144, 720},  {480, 192, 960},  {335, 144, 503},  // 502.5 rounds up
      {5, 120, 6},      {2, 120, 3},      {1, 144, 2},      {-5, 144, -8},     // half away from zero
      {-1, 120, -1},    {0, 192, 0},      {60, 168, 105},   {7, 0, 7},         // unknown resolution
      {7, -96, 7},      {INT_MAX, 192, INT_MAX},            {INT_MIN, 192, INT_MIN},
      {INT_MAX, 48, INT_MAX / 2 + 1},
  };
  for (const auto& c : cases) EXPECT_EQ(ScaleForDpi(c.value, c.dpi), c.scaled) << c.value << " at " << c.dpi;
}

TEST(DpiScale, RectanglesScaleByTheirEdgesSoNeighboursStillTouch) {
  // Back ends at 330, Next starts at 335: at 120 DPI the gap is 6 either way.
  const PixelRect back = ScaleRectForDpi({270, 310, 60, 20}, 120);
  const PixelRect next = ScaleRectForDpi({335, 310, 60, 20}, 120);
  EXPECT_EQ(back.x, 338);
  EXPECT_EQ(back.x + back.width, 413);
  EXPECT_EQ(next.x - (back.x + back.width), 6);
  // Touching rectangles stay touching, whatever the rounding.
  for (int dpi : {96, 120, 125, 144, 168, 192, 240}) {
    const PixelRect a = ScaleRectForDpi({0, 1, 13, 7}, dpi);
    const PixelRect b = ScaleRectForDpi({13, 8, 7, 5}, dpi);
    EXPECT_EQ(a.x + a.width, b.x) << dpi;
    EXPECT_EQ(a.y + a.height, b.y) << dpi;
  }
}

struct RowCase {
  const char* name;
  std::vector<RowButton> row;
  int leftLimit;
  std::vector<std::pair<int, int>> placed;  // x, width
};

class ButtonRowTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(ButtonRowTest, GrowsLeftwardsKeepingGapsAndTheRightEdge) {
  const std::vector<RowButton> fitted = FitButtonRow(GetParam().row, GetParam().leftLimit);
  ASSERT_EQ(fitted.size(), GetParam().placed.size());
  for (std::size_t i = 0; i < fitted.size(); ++i) {
    EXPECT_EQ(fitted[i].x, GetParam().placed[i].first) << i;
    EXPECT_EQ(fitted[i].width, GetParam().placed[i].second) << i;
  }
}

// Back 270..330, Next 335..395, Cancel 415..475 (gaps 5 and 20).
INSTANTIATE_TEST_SUITE_P(
    Rows, ButtonRowTest,
    ::testing::Values(
        RowCase{"texts_that_fit", {{270, 60, 40}, {335, 60, 60}, {415, 60, 0}}, 10, {{270, 60}, {335, 60}, {415, 60}}},
        RowCase{"rightmost_grows_left", {{270, 60, 40}, {335, 60, 40}, {415, 60, 75}}, 10,
                {{255, 60}, {320, 60}, {400, 75}}},
        RowCase{"middle_grows_pushes_left_only", {{270, 60, 40}, {335, 60, 80}, {415, 60, 40}}, 10,
                {{250, 60}, {315, 80}, {415, 60}}},
        RowCase{"all_grow", {{270, 60, 71}, {335, 60, 68}, {415, 60, 64}}, 10, {{247, 71}, {323, 68}, {411, 64}}},
        // 50 of room for 100 of growth: each gets half of its own.
        RowCase{"growth_cut_at_the_limit", {{270, 60, 120}, {335, 60, 80}, {415, 60, 80}}, 220,
                {{220, 90}, {315, 70}, {405, 70}}},
        RowCase{"no_room_at_all", {{270, 60, 200}}, 300, {{270, 60}}},
        RowCase{"empty_row", {}, 0, {}}),
    [](const ::testing::TestParamInfo<RowCase>& p) { return std::string(p.param.name); });

// Texts measured as 6 pixels a character at 96 DPI, scaled.
std::map<int, std::string> EnglishButtons() {
  return {{BackButton, "< Back"},  {NextButton, "Next >"},   {CancelButton, "Cancel"}, {InstallButton, "Install"},
          {FinishButton, "Finish"}, {InstallDirChange, "Change"}, {MenuFolderChange, "Change"}};
}
std::map<int, std::string> FinnishButtons() {
  return {{BackButton, "< Edellinen"}, {NextButton, "Seuraava >"},   {CancelButton, "Peruuta"},
          {InstallButton, "Asenna nyt"}, {FinishButton, "Valmis"}, {InstallDirChange, "Vaihda kansio"},
          {MenuFolderChange, "Muuta"}};
}
ControlTextWidth Measure(const std::map<int, std::string>& texts, int dpi) {
  return [texts, dpi](int control) {
    auto found = texts.find(control);
    return found == texts.end() ? 0 : ScaleForDpi(6 * static_cast<int>(found->second.size()), dpi);
  };
}

int Right(const PixelRect& r) { return r.x + r.width; }
bool Overlap(const PixelRect& a, const PixelRect& b) {
  return a.x < Right(b) && b.x < Right(a) && a.y < b.y + b.height && b.y < a.y + a.height;
}

// The controls that show together and share a parent.
const std::vector<std::vector<int>> kShownTogether = {
    {WebLink, BackButton, NextButton, CancelButton},
    {WebLink, BackButton, InstallButton, FinishButton},
    {ScopeMachineOption, ScopeUserOption, InstallDirLabel, InstallDirField, InstallDirChange, MenuFolderLabel,
     MenuFolderField, MenuFolderChange, DesktopIconBox},
};

TEST(WizardArrangement, EnglishKeepsTheLayoutScaled) {
  for (int dpi : {96, 120, 144, 192}) {
    SCOPED_TRACE(dpi);
    const WizardArrangement a = ArrangeWizard(dpi, Measure(EnglishButtons(), dpi));
    EXPECT_EQ(a.clientWidth, ScaleForDpi(kWizardClientWidth, dpi));
    EXPECT_EQ(a.clientHeight, ScaleForDpi(kWizardClientHeight, dpi));
    ASSERT_EQ(a.controls.size(), WizardControls().size());
    for (const ControlLayout& c : WizardControls()) {
      const PixelRect want = ScaleRectForDpi({c.x, c.y, c.width, c.height}, dpi);
      const PixelRect got = a.controls.at(c.number);
      EXPECT_TRUE(got.x == want.x && got.y == want.y && got.width == want.width && got.height == want.height)
          << "control " << c.number;
    }
  }
}

TEST(WizardArrangement, LongerTranslationsGrowButtonsWithoutOverlaps) {
  for (int dpi : {96, 144, 192}) {
    SCOPED_TRACE(dpi);
    const auto measure = Measure(FinnishButtons(), dpi);
    const WizardArrangement a = ArrangeWizard(dpi, measure);
    const auto at = [&](int control) { return a.controls.at(control); };
    for (const auto& text : FinnishButtons()) {
      SCOPED_TRACE(text.second);
      const ControlLayout& layout = *FindWizardControl(text.first);
      const PixelRect scaled = ScaleRectForDpi({layout.x, layout.y, layout.width, layout.height}, dpi);
      // Wide enough for its text and padding, never narrower than the layout.
      EXPECT_GE(at(text.first).width, measure(text.first) + ScaleForDpi(kButtonTextPadding, dpi));
      EXPECT_GE(at(text.first).width, scaled.width);
      EXPECT_EQ(at(text.first).y, scaled.y);
      EXPECT_EQ(at(text.first).height, scaled.height);
    }
    // The rightmost buttons keep their right edges; the gaps stay.
    EXPECT_EQ(Right(at(CancelButton)), ScaleForDpi(475, dpi));
    EXPECT_EQ(Right(at(FinishButton)), ScaleForDpi(475, dpi));
    EXPECT_EQ(Right(at(InstallDirChange)), ScaleForDpi(375, dpi));
    EXPECT_EQ(at(CancelButton).x - Right(at(NextButton)), ScaleForDpi(415, dpi) - ScaleForDpi(395, dpi));
    EXPECT_GE(at(NextButton).x - Right(at(BackButton)), ScaleForDpi(335, dpi) - ScaleForDpi(330, dpi));
    EXPECT_GE(at(InstallButton).x - Right(at(BackButton)), ScaleForDpi(335, dpi) - ScaleForDpi(330, dpi));
    // The link gives way, by the layout's gap.
    EXPECT_LT(at(WebLink).width, ScaleRectForDpi({10, 310, 240, 15}, dpi).width);
    EXPECT_EQ(at(BackButton).x - Right(at(WebLink)), ScaleForDpi(270, dpi) - ScaleForDpi(250, dpi));
    EXPECT_EQ(at(InstallDirChange).x - Right(at(InstallDirField)), ScaleForDpi(315, dpi) - ScaleForDpi(310, dpi));
    for (const std::vector<int>& group : kShownTogether) {
      for (std::size_t i = 0; i < group.size(); ++i) {
        EXPECT_LE(Right(at(group[i])), a.clientWidth) << group[i];
        for (std::size_t j = i + 1; j < group.size(); ++j)
          EXPECT_FALSE(Overlap(at(group[i]), at(group[j]))) << group[i] << " and " << group[j];
      }
    }
  }
}

TEST(WizardArrangement, AbsurdTextsStayInsideTheWindow) {
  std::map<int, std::string> texts = FinnishButtons();
  for (auto& text : texts) text.second = std::string(400, 'x');
  const WizardArrangement a = ArrangeWizard(144, Measure(texts, 144));
  for (const std::vector<int>& group : kShownTogether) {
    for (std::size_t i = 0; i < group.size(); ++i) {
      const PixelRect r = a.controls.at(group[i]);
      EXPECT_GE(r.x, ScaleForDpi(10, 144)) << group[i];
      EXPECT_GE(r.width, 0) << group[i];
      EXPECT_LE(Right(r), a.clientWidth) << group[i];
      for (std::size_t j = i + 1; j < group.size(); ++j)
        EXPECT_FALSE(Overlap(r, a.controls.at(group[j]))) << group[i] << " and " << group[j];
    }
  }
  EXPECT_GE(a.controls.at(InstallDirField).width, ScaleForDpi(60, 144));
}

}  // namespace
}  // namespace brindorel

#include "ui/wizard_arrangement.h"

#include <algorithm>
#include <vector>

#include "ui/button_row.h"
#include "ui/control_surface.h"
#include "ui/wizard_layout.h"

namespace brindorel {

namespace {

// The etched line above the buttons, at 96 DPI.
constexpr PixelRect kSeparator = {0, 300, 483, 2};
// A folder field never gets narrower than this (96 DPI) for its button.
constexpr int kNarrowestField = 60;

int Right(const PixelRect& r) { return r.x + r.width; }

// Fits the buttons `numbers` (left to right) of `placed`, none moving left
// of `leftLimit`.
void FitRow(std::map<int, PixelRect>& placed, const std::vector<int>& numbers, int leftLimit, int padding,
            const ControlTextWidth& textWidth) {
  std::vector<RowButton> row;
  for (int number : numbers) {
    const PixelRect& r = placed[number];
    const int text = textWidth ? textWidth(number) : 0;
    row.push_back({r.x, r.width, text > 0 ? text + padding : 0});
  }
  row = FitButtonRow(row, leftLimit);
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    placed[numbers[i]].x = row[i].x;
    placed[numbers[i]].width = row[i].width;
  }
}

}  // namespace

WizardArrangement ArrangeWizard(int dpi, const ControlTextWidth& textWidth) {
  WizardArrangement a;
  a.clientWidth = ScaleForDpi(kWizardClientWidth, dpi);
  a.clientHeight = ScaleForDpi(kWizardClientHeight, dpi);
  a.separator = ScaleRectForDpi(kSeparator, dpi);
  for (const ControlLayout& c : WizardControls())
    a.controls[c.number] = ScaleRectForDpi({c.x, c.y, c.width, c.height}, dpi);
  std::map<int, PixelRect>& placed = a.controls;
  const int padding = ScaleForDpi(kButtonTextPadding, dpi);

  // The bottom rows. Back is shared: it takes the leftmost place either row
  // asks of it, so it covers neither.
  const PixelRect link = placed[WebLink];
  const PixelRect back = placed[BackButton];
  const int linkGap = back.x - Right(link);
  FitRow(placed, {BackButton, InstallButton, FinishButton}, link.x, padding, textWidth);
  const PixelRect backForInstall = placed[BackButton];
  placed[BackButton] = back;
  FitRow(placed, {BackButton, NextButton, CancelButton}, link.x, padding, textWidth);
  if (backForInstall.x < placed[BackButton].x) placed[BackButton] = backForInstall;

  int leftmost = Right(link) + linkGap;
  for (int number : {BackButton, NextButton, CancelButton, InstallButton, FinishButton})
    leftmost = std::min(leftmost, placed[number].x);
  placed[WebLink].width = std::max(0, std::min(link.width, leftmost - linkGap - link.x));

  // The Change buttons grow to the left, their fields give way.
  for (const auto& pair : {std::make_pair(InstallDirField, InstallDirChange),
                           std::make_pair(MenuFolderField, MenuFolderChange)}) {
    PixelRect& field = placed[pair.first];
    const int gap = placed[pair.second].x - Right(field);
    FitRow(placed, {pair.second}, field.x + ScaleForDpi(kNarrowestField, dpi) + gap, padding, textWidth);
    field.width = std::max(0, std::min(field.width, placed[pair.second].x - gap - field.x));
  }
  return a;
}

}  // namespace brindorel

// Where the wizard's controls go on a screen of a given resolution: the
// layout table (kept at 96 DPI) scaled, then the buttons widened where their
// texts need more room, the web link and the folder fields shortened so that
// no two controls overlap.
#pragma once

#include <functional>
#include <map>

#include "ui/dpi_scale.h"

namespace brindorel {

// The pixel width of a control's text in its own font at the resolution
// being arranged for; 0 for a control without text.
using ControlTextWidth = std::function<int(int control)>;

struct WizardArrangement {
  int clientWidth = 0;
  int clientHeight = 0;
  PixelRect separator;               // the etched line above the buttons
  std::map<int, PixelRect> controls;  // every control of the layout, in its parent's pixels
};

// The window at `dpi`, its button texts measured by `textWidth`. Buttons of
// the two bottom rows (Back, Next, Cancel; Back, Install, Finish) and the two
// Change buttons follow FitButtonRow with kButtonTextPadding; Back takes the
// place that suits both rows. The web link ends short of the leftmost bottom
// button by the layout's gap (its text is drawn with an ellipsis), and each
// folder field ends short of its Change button by the layout's gap.
WizardArrangement ArrangeWizard(int dpi, const ControlTextWidth& textWidth);

}  // namespace brindorel

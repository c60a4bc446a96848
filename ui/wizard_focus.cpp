#include "ui/wizard_focus.h"

#include <vector>

#include "ui/control_surface.h"
#include "ui/wizard_layout.h"

namespace brindorel {

int DefaultButton(const ControlUsable& usable) {
  for (int button : {NextButton, InstallButton, FinishButton})
    if (usable(button)) return button;
  return 0;
}

int EscapeButton(const ControlUsable& usable) { return usable(CancelButton) ? CancelButton : 0; }

bool TakesFocus(int control) {
  const ControlLayout* layout = FindWizardControl(control);
  if (layout == nullptr) return false;
  switch (layout->kind) {
    case ControlKind::Panel:
    case ControlKind::Label:
    case ControlKind::Image:
      return false;
    default:
      return true;
  }
}

int SensibleFocus(const ControlUsable& usable, const ControlChecked& checked) {
  const int button = DefaultButton(usable);
  if (button != 0) return button;
  const std::vector<ControlLayout>& controls = WizardControls();
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const ControlLayout& c = controls[i];
    if (!TakesFocus(c.number) || !usable(c.number)) continue;
    if (c.kind == ControlKind::Radio) {
      // The group runs from its first button to the next group's start.
      for (std::size_t j = i; j < controls.size() && controls[j].kind == ControlKind::Radio &&
                              (j == i || !controls[j].groupStart);
           ++j) {
        if (usable(controls[j].number) && checked && checked(controls[j].number)) return controls[j].number;
      }
    }
    return c.number;
  }
  return 0;
}

}  // namespace brindorel

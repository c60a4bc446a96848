// The wizard's keyboard rules, decided on the controls' numbers: which button
// Enter and Esc press, and which control takes the focus when a page is
// entered or the control holding the focus is hidden or disabled.
#pragma once

#include <functional>

namespace brindorel {

// Whether a control is shown (with its panel) and enabled.
using ControlUsable = std::function<bool(int control)>;
// Whether a radio button is selected.
using ControlChecked = std::function<bool(int control)>;

// Enter: NextButton, InstallButton or FinishButton, the first usable; 0 for none.
int DefaultButton(const ControlUsable& usable);

// Esc: CancelButton where it is usable; 0 (nothing) elsewhere.
int EscapeButton(const ControlUsable& usable);

// Whether a control of the layout can hold the focus (views, fields, buttons,
// boxes, radio buttons, the list and the link; not panels, labels, images).
bool TakesFocus(int control);

// Where the focus goes: the default button; else the first usable control of
// the tab order (the layout's order) that takes the focus, of a radio group
// its selected button when that one is usable; 0 when there is none.
int SensibleFocus(const ControlUsable& usable, const ControlChecked& checked);

}  // namespace brindorel

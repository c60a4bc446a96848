// The message loop of the small choosers: runs until `done` is set or the
// thread's quit message arrives (which is posted again for the caller).
#pragma once

namespace brindorel {

// `window` is the chooser's HWND; dialog keys go to it: Tab between its
// controls, Return presses `defaultButton` (the control with that number),
// Esc asks the window to close. Return and Esc never reach the dialog
// manager, whose commands 1 and 2 are not the chooser's. A control that
// wants the key itself (an open drop-down list) keeps it.
void RunModalLoop(void* window, const bool& done, int defaultButton);

}  // namespace brindorel

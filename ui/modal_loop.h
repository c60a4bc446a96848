// The message loop of the small choosers: runs until `done` is set or the
// thread's quit message arrives (which is posted again for the caller).
#pragma once

namespace brindorel {

// `window` is the chooser's HWND; dialog keys go to it.
void RunModalLoop(void* window, const bool& done);

}  // namespace brindorel

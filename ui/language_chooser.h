// The small window that lets the user pick a language file when the user's
// Windows language matches no entry of the language list. Windows only.
#pragma once

#include <string>

namespace brindorel {

// Shows the chooser (caption " Brindorel", one line per list entry, the first
// selected) and waits: OK with a line selected gives that entry's file name,
// a close request the empty text. The window is gone when it returns.
std::string RunLanguageChooser(const std::string& list);

}  // namespace brindorel

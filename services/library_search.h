// The programs harden themselves at entry: libraries loaded by name later on
// come from the system folder only, so a DLL planted beside the program (a
// downloads folder) is never loaded. Windows only (library_search_win.cpp).
#pragma once

namespace brindorel {

void HardenLibrarySearch();

}  // namespace brindorel

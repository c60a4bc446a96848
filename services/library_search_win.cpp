#include "services/library_search.h"

#include <windows.h>

namespace brindorel {

void HardenLibrarySearch() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return;
  using SetDefaultDirs = BOOL(WINAPI*)(DWORD);
  auto setDefault = reinterpret_cast<SetDefaultDirs>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  const DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  if (setDefault != nullptr) setDefault(kSearchSystem32);
  // Older systems: at least take the current folder out of the search.
  using SetDllDir = BOOL(WINAPI*)(LPCWSTR);
  auto setDir = reinterpret_cast<SetDllDir>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryW")));
  if (setDir != nullptr) setDir(L"");
}

}  // namespace brindorel

#include "services/registry.h"

#include <windows.h>

#include "services/wide_win.h"

namespace brindorel {

namespace {

HKEY RootKey(std::uint32_t root) {
  // The predefined keys are 32-bit numbers that the system headers widen with
  // their sign (HKEY_CURRENT_USER is (HKEY)(LONG)0x80000001).
  return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(root)));
}

}  // namespace

std::string ReadRegistryText(std::uint32_t root, const std::string& subkey, const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(RootKey(root), Wide(subkey).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
  // 255 characters, the terminating zero included.
  wchar_t buffer[255];
  DWORD size = sizeof buffer;
  LONG status = RegQueryValueExW(key, Wide(name).c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || size > sizeof buffer) return "";
  // The size counts bytes and the terminating zero when the value was stored
  // with one; a value stored without it keeps its last character. The text
  // ends at its first zero.
  return NarrowUntilZero(buffer, size / sizeof(wchar_t));
}

int WriteRegistryText(std::uint32_t root, const std::string& subkey, const std::string& name,
                      const std::string& text) {
  HKEY key = nullptr;
  if (RegCreateKeyW(RootKey(root), Wide(subkey).c_str(), &key) != ERROR_SUCCESS) return 0;
  const std::wstring data = Wide(text);
  LONG status = RegSetValueExW(key, Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                               static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? 2 : 1;
}

int ClaimInstanceName(const std::string& name) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, Wide(name).c_str());
  if (mutex == nullptr) return 0;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return 1;
  }
  // Deliberately kept open: the name stays taken for the rest of the run.
  return 0;
}

}  // namespace brindorel

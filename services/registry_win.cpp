#include "services/registry.h"

#include <windows.h>

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
  if (RegOpenKeyExA(RootKey(root), subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
  char buffer[255];
  DWORD size = sizeof buffer;
  LONG status = RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || size > sizeof buffer) return "";
  // The size counts the terminating zero when the value was stored with one;
  // a value stored without it keeps its last character.
  if (size > 0 && buffer[size - 1] == '\0') --size;
  std::string text(buffer, size);
  std::string::size_type zero = text.find('\0');
  if (zero != std::string::npos) text.resize(zero);
  return text;
}

int WriteRegistryText(std::uint32_t root, const std::string& subkey, const std::string& name,
                      const std::string& text) {
  HKEY key = nullptr;
  if (RegCreateKeyA(RootKey(root), subkey.c_str(), &key) != ERROR_SUCCESS) return 0;
  LONG status = RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? 2 : 1;
}

int ClaimInstanceName(const std::string& name) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
  if (mutex == nullptr) return 0;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return 1;
  }
  // Deliberately kept open: the name stays taken for the rest of the run.
  return 0;
}

}  // namespace brindorel

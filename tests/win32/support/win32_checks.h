// What several Wine tests read back from the system: registry values with
// their stored lengths, whole key trees to remove, and shell links read
// through IShellLinkA.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>
#include <vector>

namespace brindorel::wine_checks {

inline void DeleteKeyTree(HKEY parent, const std::string& subkey) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, subkey.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  char name[256];
  for (;;) {
    DWORD size = sizeof name;
    if (RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    DeleteKeyTree(key, name);
  }
  RegCloseKey(key);
  RegDeleteKeyA(parent, subkey.c_str());
}

// A value as stored: its type, its bytes (the final zero included) and
// whether it was there at all.
struct StoredValue {
  bool present = false;
  DWORD type = 0;
  std::string bytes;
  std::string Text() const { return bytes.empty() || bytes.back() != '\0' ? bytes : bytes.substr(0, bytes.size() - 1); }
};

inline StoredValue ReadStoredValue(HKEY root, const std::string& subkey, const std::string& name) {
  StoredValue value;
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
  DWORD size = 0;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
    std::vector<char> data(size + 1);
    if (RegQueryValueExA(key, name.c_str(), nullptr, &value.type, reinterpret_cast<BYTE*>(data.data()), &size) ==
        ERROR_SUCCESS) {
      value.present = true;
      value.bytes.assign(data.data(), size);
    }
  }
  RegCloseKey(key);
  return value;
}

inline bool KeyExists(HKEY root, const std::string& subkey) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// A .lnk file as the shell reads it back.
struct LinkContent {
  bool loaded = false;
  std::string path;
  std::string arguments;
  std::string workingFolder;
  std::string iconFile;
  int iconIndex = -1;
  int showCommand = -1;
};

inline LinkContent ReadLink(const std::string& linkFile) {
  LinkContent content;
  const HRESULT init = CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      std::vector<wchar_t> wide(linkFile.size() + 1);
      MultiByteToWideChar(CP_ACP, 0, linkFile.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
      if (SUCCEEDED(file->Load(wide.data(), STGM_READ))) {
        content.loaded = true;
        char text[MAX_PATH * 2] = {};
        if (SUCCEEDED(link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH))) content.path = text;
        text[0] = '\0';
        if (SUCCEEDED(link->GetArguments(text, sizeof text))) content.arguments = text;
        text[0] = '\0';
        if (SUCCEEDED(link->GetWorkingDirectory(text, sizeof text))) content.workingFolder = text;
        text[0] = '\0';
        if (SUCCEEDED(link->GetIconLocation(text, sizeof text, &content.iconIndex))) content.iconFile = text;
        link->GetShowCmd(&content.showCommand);
      }
      file->Release();
    }
    link->Release();
  }
  if (init == S_OK || init == S_FALSE) CoUninitialize();
  return content;
}

}  // namespace brindorel::wine_checks

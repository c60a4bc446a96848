// What several Wine tests read back from the system: registry values with
// their stored lengths, whole key trees to remove, and shell links. Texts
// are UTF-8, as in the programs; the system is asked with its wide calls.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "services/utf8.h"

namespace brindorel::wine_checks {

inline std::wstring WideText(const std::string& text) {
  const std::u16string units = Utf8ToUtf16(text);
  return std::wstring(units.begin(), units.end());
}

inline std::string Utf8Text(const wchar_t* text, std::size_t length) {
  return Utf16ToUtf8(reinterpret_cast<const char16_t*>(text), length);
}

// Up to the first zero of a buffer of `capacity` units.
inline std::string Utf8UntilZero(const wchar_t* text, int capacity) {
  std::size_t length = 0;
  while (static_cast<int>(length) < capacity && text[length] != L'\0') ++length;
  return Utf8Text(text, length);
}

inline void DeleteKeyTree(HKEY parent, const std::string& subkey) {
  HKEY key = nullptr;
  const std::wstring wide = WideText(subkey);
  if (RegOpenKeyExW(parent, wide.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  wchar_t name[256];
  for (;;) {
    DWORD size = 256;
    if (RegEnumKeyExW(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    DeleteKeyTree(key, Utf8Text(name, static_cast<std::size_t>(size)));
  }
  RegCloseKey(key);
  RegDeleteKeyW(parent, wide.c_str());
}

// A value as stored: its type, its text (the final zero included, so one
// byte per stored zero) and whether it was there at all.
struct StoredValue {
  bool present = false;
  DWORD type = 0;
  std::string bytes;
  std::string Text() const { return bytes.empty() || bytes.back() != '\0' ? bytes : bytes.substr(0, bytes.size() - 1); }
};

inline StoredValue ReadStoredValue(HKEY root, const std::string& subkey, const std::string& name) {
  StoredValue value;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, WideText(subkey).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
  const std::wstring valueName = WideText(name);
  DWORD size = 0;
  if (RegQueryValueExW(key, valueName.c_str(), nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 1);
    if (RegQueryValueExW(key, valueName.c_str(), nullptr, &value.type, reinterpret_cast<BYTE*>(data.data()), &size) ==
        ERROR_SUCCESS) {
      value.present = true;
      value.bytes = Utf8Text(data.data(), static_cast<std::size_t>(size / sizeof(wchar_t)));
    }
  }
  RegCloseKey(key);
  return value;
}

inline bool KeyExists(HKEY root, const std::string& subkey) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, WideText(subkey).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// A .lnk file as the shell reads it back. `path` is the stored path; some
// systems store it in the 8-bit code page ("?" for what that cannot hold),
// so `itemPath`, the path of the link's item list, is the exact target.
struct LinkContent {
  bool loaded = false;
  std::string path;
  std::string itemPath;
  std::string arguments;
  std::string workingFolder;
  std::string iconFile;
  int iconIndex = -1;
  int showCommand = -1;
};

inline LinkContent ReadLink(const std::string& linkFile) {
  LinkContent content;
  const HRESULT init = CoInitialize(nullptr);
  IShellLinkW* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      if (SUCCEEDED(file->Load(WideText(linkFile).c_str(), STGM_READ))) {
        content.loaded = true;
        const int size = MAX_PATH * 2;
        wchar_t text[size] = {};
        if (SUCCEEDED(link->GetPath(text, size, nullptr, SLGP_RAWPATH))) content.path = Utf8UntilZero(text, size);
        text[0] = L'\0';
        if (SUCCEEDED(link->GetArguments(text, size))) content.arguments = Utf8UntilZero(text, size);
        text[0] = L'\0';
        if (SUCCEEDED(link->GetWorkingDirectory(text, size))) content.workingFolder = Utf8UntilZero(text, size);
        text[0] = L'\0';
        if (SUCCEEDED(link->GetIconLocation(text, size, &content.iconIndex))) content.iconFile = Utf8UntilZero(text, size);
        link->GetShowCmd(&content.showCommand);
        LPITEMIDLIST list = nullptr;
        if (SUCCEEDED(link->GetIDList(&list)) && list != nullptr) {
          wchar_t path[MAX_PATH + 1] = {};
          if (SHGetPathFromIDListW(list, path)) content.itemPath = Utf8UntilZero(path, MAX_PATH);
          CoTaskMemFree(list);
        }
      }
      file->Release();
    }
    link->Release();
  }
  if (init == S_OK || init == S_FALSE) CoUninitialize();
  return content;
}

// Runs a Unix program under Wine on the Unix names of `paths` (Wine starts
// Unix programs); true when it ran.
inline bool RunUnixOn(const wchar_t* program, const std::wstring& options, const std::vector<std::string>& paths) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  using UnixNameFunction = char*(CDECL*)(LPCWSTR);
  auto unixName = kernel == nullptr ? nullptr
                                    : reinterpret_cast<UnixNameFunction>(
                                          reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
  if (unixName == nullptr) return false;
  std::wstring command = std::wstring(program) + L" " + options;
  for (std::string path : paths) {
    while (!path.empty() && path.back() == '\\') path.pop_back();
    char* name = unixName(WideText(path).c_str());
    if (name == nullptr) return false;
    command += L" \"" + WideText(name) + L"\"";
    HeapFree(GetProcessHeap(), 0, name);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring file = L"Z:" + std::wstring(program);
  for (wchar_t& c : file) c = c == L'/' ? L'\\' : c;
  if (!CreateProcessW(file.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return true;
}

// Removes a link made by MakeFolderLink (Wine 8 removes a Unix link to a
// folder through none of its calls), never what it points to.
// Only a link is touched; the Unix program is waited for by looking (Wine's
// handle of a Unix program may be signalled before it ran).
inline void RemoveFolderLink(const std::string& link) {
  const std::wstring wide = WideText(link);
  auto isLink = [&wide] {
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  };
  if (!isLink() || RemoveDirectoryW(wide.c_str())) return;
  RunUnixOn(L"/bin/rm", L"-f", {link});
  for (int attempt = 0; attempt < 40 && isLink(); ++attempt) Sleep(50);
}

// A symbolic link to a folder. Wine's CreateSymbolicLinkW reports success
// and makes nothing; there a Unix link is made instead (Wine starts Unix
// programs, and shows such a link as a reparse point). False when no link
// is there afterwards.
inline bool MakeFolderLink(const std::string& link, const std::string& target) {
  const std::wstring wideLink = WideText(link), wideTarget = WideText(target);
  auto made = [&wideLink] {
    const DWORD attributes = GetFileAttributesW(wideLink.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  };
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return false;
  using LinkFunction = BOOLEAN(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);
  auto make = reinterpret_cast<LinkFunction>(reinterpret_cast<void*>(GetProcAddress(kernel, "CreateSymbolicLinkW")));
  if (make != nullptr && make(wideLink.c_str(), wideTarget.c_str(), 1 /* a folder */) != 0 && made()) return true;
  if (!RunUnixOn(L"/bin/ln", L"-s", {target, link})) return false;
  // The Unix program may end before Wine sees the new entry.
  for (int attempt = 0; attempt < 20 && !made(); ++attempt) Sleep(50);
  return made();
}

}  // namespace brindorel::wine_checks

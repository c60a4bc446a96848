#include "services/folders.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <vector>

#include "services/registry.h"
#include "services/wide_win.h"

namespace brindorel {

namespace {

constexpr char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// The directory calls report the size they need (zero included) when the
// buffer is too small, and fill it otherwise; the buffer grows until the
// whole text fits, so a long folder is never cut.
template <typename Call>
std::string GrowingText(Call call) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return "";
    if (length < buffer.size()) return Narrow(buffer.data(), length);
    if (length > 32768) return "";
    buffer.assign(static_cast<std::size_t>(length) + 1, L'\0');
  }
  return "";
}

std::string ShellFolder(std::int32_t id) {
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, id, &list)) || list == nullptr) return "";
  // The shell's folders are plain paths of at most MAX_PATH units.
  wchar_t path[MAX_PATH + 1] = {};
  BOOL found = SHGetPathFromIDListW(list, path);
  CoTaskMemFree(list);
  if (!found) return "";
  return NarrowUntilZero(path, MAX_PATH);
}

std::string QuillmarkFolder(const char* verb) {
  // Bits 16-23 of the version hold the build number's low byte on the NT line;
  // those systems keep the association under Applications in HKCR.
  bool applicationsKey = (GetVersion() & 0x00FF0000u) != 0;
  const std::uint32_t root = applicationsKey ? 0x80000000u : kLocalMachine;
  std::string subkey = std::string(applicationsKey ? "Applications" : "Software\\Classes") +
                       "\\Quillmark.exe\\shell\\" + verb + "\\command";
  return CommandValueFolder(ReadRegistryText(root, subkey, ""));
}

// A text value of the CurrentVersion key as 64-bit programs see it: a 32-bit
// program reading the plain key gets the "(x86)" folders. A 32-bit Windows
// has one view and ignores the flag.
std::string NativeViewText(const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                    KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
    return "";
  wchar_t value[MAX_PATH + 1] = {};
  DWORD size = sizeof value - sizeof value[0];  // room for a closing zero the data may lack
  DWORD type = 0;
  const LONG status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return "";
  return NarrowUntilZero(value, size / sizeof value[0]);
}

using Wow64FolderFunction = UINT(WINAPI*)(LPWSTR, UINT);

// Looked up at run time: Windows before XP lacks it; a 32-bit Windows
// answers 0.
std::string SysWow64Folder() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto call = kernel == nullptr ? nullptr
                                : reinterpret_cast<Wow64FolderFunction>(reinterpret_cast<void*>(
                                      GetProcAddress(kernel, "GetSystemWow64DirectoryW")));
  if (call == nullptr) return "";
  return GrowingText([&](wchar_t* buffer, DWORD size) { return static_cast<DWORD>(call(buffer, size)); });
}

std::string FolderText(std::int32_t id) {
  switch (id) {
    case kCurrentFolderId:
      return GrowingText([](wchar_t* buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); });
    case kSystemFolderId:
      return GrowingText([](wchar_t* buffer, DWORD size) { return GetSystemDirectoryW(buffer, size); });
    case kWindowsFolderId:
      return GrowingText([](wchar_t* buffer, DWORD size) { return GetWindowsDirectoryW(buffer, size); });
    case kTempFolderId:
      return GrowingText([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); });
    case kQuickLaunchFolderId:
      return QuickLaunchFolder(GetSpecialFolder(kAppDataFolderId));
    case kProgramFilesFolderId:
      return ReadRegistryText(kLocalMachine, kCurrentVersionKey, "ProgramFilesDir");
    case kQuillmarkOpenFolderId:
      return QuillmarkFolder("open");
    case kQuillmarkEditFolderId:
      return QuillmarkFolder("edit");
    case kCommonFilesFolderId:
      return ReadRegistryText(kLocalMachine, kCurrentVersionKey, "CommonFilesDir");
    case kProgramFiles64FolderId:
      return NativeViewText(L"ProgramFilesDir");
    case kCommonFiles64FolderId:
      return NativeViewText(L"CommonFilesDir");
    case kSysWow64FolderId:
      return SysWow64Folder();
    case kSysnativeFolderId:
      // Only 32-bit programs on a 64-bit Windows can reach it, where SysWOW64 exists.
      return SysWow64Folder().empty() ? std::string() : GetSpecialFolder(kWindowsFolderId) + "Sysnative";
    default:
      return id < 0 ? std::string() : ShellFolder(id);
  }
}

using LongPathFunction = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);

}  // namespace

std::string GetSpecialFolder(std::int32_t id) { return WithTrailingSeparator(FolderText(id)); }

std::string GetLongPathOf(const std::string& path) {
  if (path.empty()) return "";
  // Looked up at run time: older systems lack the long-path conversion.
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto convert = kernel == nullptr ? nullptr
                                   : reinterpret_cast<LongPathFunction>(
                                         reinterpret_cast<void*>(GetProcAddress(kernel, "GetLongPathNameW")));
  const std::wstring shortForm = Wide(path);
  if (convert == nullptr)
    return GetFileAttributesW(shortForm.c_str()) == INVALID_FILE_ATTRIBUTES ? std::string() : path;
  return GrowingText([&](wchar_t* buffer, DWORD size) { return convert(shortForm.c_str(), buffer, size); });
}

std::string GetTempFolder() {
  const std::string temp = FolderText(kTempFolderId);
  if (temp.empty()) return "";
  // A folder that is not there has no long form.
  const std::string longForm = GetLongPathOf(temp);
  return longForm.empty() ? "" : WithTrailingSeparator(longForm);
}

std::string GetOwnProgramPath() {
  // GetModuleFileNameW cuts the name to the buffer and then returns its size.
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return "";
    if (length < buffer.size()) return Narrow(buffer.data(), length);
    if (buffer.size() > 32768) return "";
    buffer.resize(buffer.size() * 2);
  }
}

std::string ExpandFolderPlaceholders(const std::string& text) {
  return ExpandFolderPlaceholders(text, [](std::int32_t id) { return GetSpecialFolder(id); });
}

}  // namespace brindorel

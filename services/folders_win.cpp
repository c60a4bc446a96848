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
    default:
      return id < 0 ? std::string() : ShellFolder(id);
  }
}

using LongPathFunction = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);

}  // namespace

std::string GetSpecialFolder(std::int32_t id) { return WithTrailingSeparator(FolderText(id)); }

std::string GetTempFolder() {
  const std::string temp = FolderText(kTempFolderId);
  if (temp.empty()) return "";
  // Looked up at run time: older systems lack the long-path conversion.
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto convert = kernel == nullptr ? nullptr
                                   : reinterpret_cast<LongPathFunction>(
                                         reinterpret_cast<void*>(GetProcAddress(kernel, "GetLongPathNameW")));
  if (convert == nullptr) return temp;
  const std::wstring shortForm = Wide(temp);
  const std::string longForm = GrowingText(
      [&](wchar_t* buffer, DWORD size) { return convert(shortForm.c_str(), buffer, size); });
  // A folder that is not there has no long form.
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

#include "services/folders.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "services/registry.h"

namespace brindorel {

namespace {

constexpr std::uint32_t kLocalMachine = 0x80000002u;
constexpr char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// The directory calls report the size they would need when the buffer is too
// small, and leave the buffer undefined then.
std::string TakeLength(const char* buffer, DWORD length, DWORD capacity) {
  if (length == 0 || length >= capacity) return "";
  return std::string(buffer, length);
}

std::string ShellFolder(std::int32_t id) {
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, id, &list)) || list == nullptr) return "";
  char path[MAX_PATH] = {};
  BOOL found = SHGetPathFromIDListA(list, path);
  CoTaskMemFree(list);
  if (!found) return "";
  return std::string(path);
}

std::string QuillmarkFolder(const char* verb) {
  // Bits 16-23 of the version hold the build number's low byte on the NT line;
  // those systems keep the association under Applications in HKCR.
  bool applications_key = (GetVersion() & 0x00FF0000u) != 0;
  HKEY root = applications_key ? HKEY_CLASSES_ROOT : HKEY_LOCAL_MACHINE;
  std::string subkey = std::string(applications_key ? "Applications" : "Software\\Classes") +
                       "\\Quillmark.exe\\shell\\" + verb + "\\command";
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
  char buffer[260];
  DWORD size = sizeof buffer;
  LONG status = RegQueryValueExA(key, "", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || size > sizeof buffer) return "";
  std::string command(buffer, size);
  std::string::size_type zero = command.find('\0');
  if (zero != std::string::npos) command.resize(zero);
  return CommandValueFolder(command);
}

std::string FolderText(std::int32_t id) {
  char buffer[260];
  switch (id) {
    case -1:
      return TakeLength(buffer, GetCurrentDirectoryA(sizeof buffer, buffer), sizeof buffer);
    case -2:
      return TakeLength(buffer, GetSystemDirectoryA(buffer, sizeof buffer), sizeof buffer);
    case -3:
      return TakeLength(buffer, GetWindowsDirectoryA(buffer, sizeof buffer), sizeof buffer);
    case -4:
      return TakeLength(buffer, GetTempPathA(sizeof buffer, buffer), sizeof buffer);
    case -5:
      return QuickLaunchFolder(GetSpecialFolder(CSIDL_APPDATA));
    case -6:
      return ReadRegistryText(kLocalMachine, kCurrentVersionKey, "ProgramFilesDir");
    case -7:
      return QuillmarkFolder("open");
    case -8:
      return QuillmarkFolder("edit");
    case CSIDL_PROGRAM_FILES_COMMON:
      return ReadRegistryText(kLocalMachine, kCurrentVersionKey, "CommonFilesDir");
    default:
      return id < 0 ? std::string() : ShellFolder(id);
  }
}

using LongPathFunction = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);

}  // namespace

std::string GetSpecialFolder(std::int32_t id) { return WithTrailingSeparator(FolderText(id)); }

std::string GetTempFolder() {
  char buffer[260];
  DWORD length = GetTempPathA(sizeof buffer, buffer);
  if (length == 0 || length >= sizeof buffer) return "";
  // Looked up at run time: older systems lack the long-path conversion.
  HMODULE kernel = LoadLibraryA("Kernel32.DLL");
  if (kernel != nullptr) {
    auto convert = reinterpret_cast<LongPathFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetLongPathNameA")));
    if (convert != nullptr) {
      char long_form[260];
      DWORD long_length = convert(buffer, long_form, sizeof long_form);
      if (long_length == 0) {
        length = 0;
      } else if (long_length < sizeof long_form) {
        CopyMemory(buffer, long_form, long_length);
        length = long_length;
      }
      // A long form that does not fit keeps the short form GetTempPathA gave.
    }
    FreeLibrary(kernel);
  }
  return std::string(buffer, length);
}

std::string ExpandFolderPlaceholders(const std::string& text) {
  return ExpandFolderPlaceholders(text, [](std::int32_t id) { return GetSpecialFolder(id); });
}

}  // namespace brindorel

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <vector>

#include "services/file_system.h"
#include "services/folders.h"
#include "services/registry.h"
#include "services/running_programs.h"
#include "services/wide_win.h"
#include "uninstaller/uninstall_win.h"

namespace brindorel {
namespace {

HKEY RootKey(std::uint32_t root) { return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(root))); }

// Folder calls take no trailing "\" (RemoveDirectory and MoveFileEx are
// fine either way, but a root-relative "C:" must keep its "\").
std::string WithoutTrailingSeparator(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 3 && (trimmed.back() == '\\' || trimmed.back() == '/')) trimmed.pop_back();
  return trimmed;
}

bool Gone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

PathKind KindOf(DWORD attributes) {
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return PathKind::File;
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? PathKind::LinkedFolder : PathKind::Folder;
}

constexpr int kLinkTextUnits = 32768;

// The file-system path of a link's item list; empty when it has none.
std::string ItemListPath(IShellLinkW* link) {
  LPITEMIDLIST list = nullptr;
  if (FAILED(link->GetIDList(&list)) || list == nullptr) return "";
  wchar_t path[MAX_PATH + 1] = {};
  const BOOL found = SHGetPathFromIDListW(list, path);
  CoTaskMemFree(list);
  return found ? NarrowUntilZero(path, MAX_PATH) : "";
}

}  // namespace

bool WindowsRemovalSystem::DeleteRegistryValue(std::uint32_t root, const std::string& key, const std::string& name) {
  HKEY handle = nullptr;
  const LONG opened = RegOpenKeyExW(RootKey(root), Wide(key).c_str(), 0, KEY_SET_VALUE, &handle);
  if (opened != ERROR_SUCCESS) return Gone(static_cast<DWORD>(opened));
  const LONG deleted = RegDeleteValueW(handle, Wide(name).c_str());
  RegCloseKey(handle);
  return deleted == ERROR_SUCCESS || Gone(static_cast<DWORD>(deleted));
}

bool WindowsRemovalSystem::RegistryKeyIsEmpty(std::uint32_t root, const std::string& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(RootKey(root), Wide(key).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  DWORD subkeys = 1, values = 1;
  const LONG queried = RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                        nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(handle);
  return queried == ERROR_SUCCESS && subkeys == 0 && values == 0;
}

bool WindowsRemovalSystem::DeleteRegistryKey(std::uint32_t root, const std::string& key) {
  // An empty name would stand for the root itself: refused.
  if (key.empty()) return false;
  // RegDeleteKeyW removes one key without subkeys; it never takes a tree.
  const LONG deleted = RegDeleteKeyW(RootKey(root), Wide(key).c_str());
  return deleted == ERROR_SUCCESS || Gone(static_cast<DWORD>(deleted));
}

bool WindowsRemovalSystem::RegistryKeyExists(std::uint32_t root, const std::string& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(RootKey(root), Wide(key).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

std::string WindowsRemovalSystem::ReadRegistryValue(std::uint32_t root, const std::string& key,
                                                    const std::string& name) {
  return ReadRegistryText(root, key, name);
}

PathKind WindowsRemovalSystem::QueryPath(const std::string& path) {
  return KindOf(GetFileAttributesW(WidePath(WithoutTrailingSeparator(path)).c_str()));
}

ShortcutTarget WindowsRemovalSystem::ReadShortcut(const std::string& linkFile) {
  ShortcutTarget target;
  if (linkFile.empty()) return target;
  const std::wstring wide = Wide(linkFile);
  const HRESULT init = CoInitialize(nullptr);
  const bool initialised = init == S_OK || init == S_FALSE;
  if (!initialised && init != RPC_E_CHANGED_MODE) return target;
  IShellLinkW* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link))) &&
      link != nullptr) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) && file != nullptr) {
      if (SUCCEEDED(file->Load(wide.c_str(), STGM_READ))) {
        // Buffers larger than anything a link holds: nothing is cut.
        std::vector<wchar_t> text(kLinkTextUnits + 1, L'\0');
        // The target as the link's item list names it, else its stored path
        // as it is (no search for a moved target). Some systems store that
        // path in the 8-bit code page, where a character it cannot hold
        // reads as "?"; the item list keeps every character.
        target.path = ItemListPath(link);
        if (target.path.empty() && SUCCEEDED(link->GetPath(text.data(), kLinkTextUnits, nullptr, SLGP_RAWPATH)))
          target.path = NarrowUntilZero(text.data(), kLinkTextUnits);
        if (!target.path.empty()) {
          text[0] = L'\0';
          if (SUCCEEDED(link->GetArguments(text.data(), kLinkTextUnits)))
            target.arguments = NarrowUntilZero(text.data(), kLinkTextUnits);
          target.read = true;
        }
      }
      file->Release();
    }
    link->Release();
  }
  if (initialised) CoUninitialize();
  return target;
}

bool WindowsRemovalSystem::DeleteOneFile(const std::string& path) {
  if (DeleteFileW(WidePath(path).c_str())) return true;
  return Gone(GetLastError());
}

void WindowsRemovalSystem::ClearReadOnly(const std::string& path) {
  const std::wstring wide = WidePath(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0) return;
  SetFileAttributesW(wide.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

bool WindowsRemovalSystem::ScheduleDeletion(const std::string& path) {
  return MoveFileExW(WidePath(WithoutTrailingSeparator(path)).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

bool WindowsRemovalSystem::RemoveFolderOnly(const std::string& path) {
  const std::string folder = WithoutTrailingSeparator(path);
  if (RemoveDirectoryW(WidePath(folder).c_str())) return true;
  return Gone(GetLastError());
}

std::vector<FolderItem> WindowsRemovalSystem::ListFolder(const std::string& folder) {
  std::vector<FolderItem> items;
  const int scan = BeginFolderScan(-1, folder, "*");
  if (scan == 0) return items;
  while (NextFolderEntry(scan) != 0) {
    const std::string name = FolderEntryName(scan);
    if (name == "." || name == "..") continue;
    const PathKind kind = FolderEntryKind(scan) == 1 ? PathKind::File
                          : FolderEntryIsLink(scan)    ? PathKind::LinkedFolder
                                                       : PathKind::Folder;
    items.push_back({name, kind});
  }
  EndFolderScan(scan);
  return items;
}

RemovalContext SystemRemovalContext() {
  RemovalContext context;
  context.systemFolder = GetSpecialFolder(kSystemFolderId);
  for (std::int32_t id : {kProgramsFolderId, kCommonProgramsFolderId}) {
    const std::string folder = GetSpecialFolder(id);
    if (!folder.empty()) context.programsFolders.push_back(folder);
  }
  return context;
}

ProtectedFolders SystemProtectedFolders() {
  return LookUpProtectedFolders([](std::int32_t id) { return GetSpecialFolder(id); }, "");
}

bool InstalledProgramRuns(const UninstallData& data) {
  if (!data.mutexString.empty() && MutexExists(data.mutexString)) return true;
  for (std::uint32_t process : ProcessesOf(data.progExe)) {
    // Same file name: the full path decides; a path that cannot be read
    // (another user's process) counts, removing under a running program
    // is never attempted.
    std::string image;
    if (!ProcessImagePath(process, image) || ImageIsInstalledProgram(image, data)) return true;
  }
  return false;
}

}  // namespace brindorel

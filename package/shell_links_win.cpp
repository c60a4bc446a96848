#include "package/shell_links.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

namespace brindorel {

namespace {

constexpr std::uint32_t kLocalMachine = 0x80000002u;
constexpr std::uint32_t kCurrentUser = 0x80000001u;

HKEY RootKey(std::uint32_t root) {
  return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(root)));
}

// The ANSI text in UTF-16, zero-terminated; empty when it cannot be converted.
std::vector<wchar_t> WideText(const std::string& text) {
  std::vector<wchar_t> wide;
  const int needed = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (needed <= 0) return wide;
  wide.resize(static_cast<std::size_t>(needed));
  if (MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), needed) != needed) wide.clear();
  return wide;
}

// Saves the configured link; true only when the file was written.
bool SaveLink(IShellLinkA* link, const std::string& linkFile) {
  std::vector<wchar_t> path = WideText(linkFile);
  if (path.empty()) return false;
  IPersistFile* file = nullptr;
  if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) || file == nullptr)
    return false;
  const HRESULT saved = file->Save(path.data(), TRUE);
  file->Release();
  return SUCCEEDED(saved);
}

bool SetText(HKEY key, const char* name, const std::string& text) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

}  // namespace

int CreateShortcut(const std::string& target, const std::string& linkFile, const std::string& workingFolder,
                   const std::string& arguments, std::int32_t showCommand, const std::string& description,
                   std::uint16_t hotKey, const std::string& iconFile, std::int32_t iconIndex) {
  const std::string& icon = iconFile == "|" ? target : iconFile;
  const HRESULT init = CoInitialize(nullptr);
  // Only a call that initialised (S_OK) or found the apartment already
  // initialised (S_FALSE) is balanced by CoUninitialize.
  const bool initialised = init == S_OK || init == S_FALSE;
  if (!initialised && init != RPC_E_CHANGED_MODE) return 0;
  int result = 0;
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link))) &&
      link != nullptr) {
    link->SetPath(target.c_str());
    link->SetArguments(arguments.c_str());
    link->SetWorkingDirectory(workingFolder.c_str());
    link->SetDescription(description.c_str());
    link->SetShowCmd(showCommand);
    link->SetHotkey(hotKey);
    link->SetIconLocation(icon.c_str(), iconIndex);
    if (SaveLink(link, linkFile)) result = 1;
    link->Release();
  }
  if (initialised) CoUninitialize();
  return result;
}

int WriteUninstallEntryUnder(std::uint32_t root, const std::string& subkeyName, const std::string& displayName,
                             const std::string& publisher, const std::string& webAddress,
                             const std::string& contact, const std::string& iconPath,
                             const std::string& uninstallCommand) {
  if (subkeyName.empty()) return 0;
  HKEY key = nullptr;
  if (RegCreateKeyA(RootKey(root), (std::string(kUninstallKeyBase) + subkeyName).c_str(), &key) != ERROR_SUCCESS)
    return 0;
  bool ok = SetText(key, "DisplayName", displayName);
  ok = SetText(key, "DisplayIcon", iconPath) && ok;
  ok = SetText(key, "Publisher", publisher) && ok;
  ok = SetText(key, "URLInfoAbout", webAddress) && ok;
  ok = SetText(key, "HelpLink", webAddress) && ok;
  ok = SetText(key, "Contact", contact) && ok;
  ok = SetText(key, "UninstallString", UninstallCommandText(uninstallCommand)) && ok;
  RegCloseKey(key);
  return ok ? 1 : 0;
}

int WriteUninstallEntry(const std::string& guid, const std::string& displayName, const std::string& publisher,
                        const std::string& webAddress, const std::string& contact, const std::string& iconPath,
                        const std::string& uninstallCommand) {
  const std::string& name = guid.empty() ? displayName : guid;
  if (WriteUninstallEntryUnder(kLocalMachine, name, displayName, publisher, webAddress, contact, iconPath,
                               uninstallCommand))
    return kUninstallEntryMachine;
  // Without administrator rights the machine's list is closed; the per-user
  // list is shown by the system too.
  if (WriteUninstallEntryUnder(kCurrentUser, name, displayName, publisher, webAddress, contact, iconPath,
                               uninstallCommand))
    return kUninstallEntryUser;
  return kUninstallEntryNotWritten;
}

}  // namespace brindorel

#include "install/shell_links.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "services/wide_win.h"
#include "services/registry.h"

namespace brindorel {

namespace {


HKEY RootKey(std::uint32_t root) {
  return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(root)));
}

// Saves the configured link; true only when the file was written.
bool SaveLink(IShellLinkW* link, const std::string& linkFile) {
  if (linkFile.empty()) return false;
  const std::wstring path = Wide(linkFile);
  IPersistFile* file = nullptr;
  if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) || file == nullptr)
    return false;
  const HRESULT saved = file->Save(path.c_str(), TRUE);
  file->Release();
  return SUCCEEDED(saved);
}

bool SetText(HKEY key, const wchar_t* name, const std::string& text) {
  const std::wstring data = Wide(text);
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
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
  IShellLinkW* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link))) &&
      link != nullptr) {
    link->SetPath(Wide(target).c_str());
    link->SetArguments(Wide(arguments).c_str());
    link->SetWorkingDirectory(Wide(workingFolder).c_str());
    link->SetDescription(Wide(description).c_str());
    link->SetShowCmd(showCommand);
    link->SetHotkey(hotKey);
    link->SetIconLocation(Wide(icon).c_str(), iconIndex);
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
  // A key name holds at most 255 characters on Windows; some registries
  // take a little more, which Windows could then not read back.
  if (subkeyName.empty() || Utf16Length(subkeyName) > 255) return 0;
  HKEY key = nullptr;
  if (RegCreateKeyW(RootKey(root), Wide(std::string(kUninstallKeyBase) + subkeyName).c_str(), &key) != ERROR_SUCCESS)
    return 0;
  bool ok = SetText(key, L"DisplayName", displayName);
  ok = SetText(key, L"DisplayIcon", iconPath) && ok;
  ok = SetText(key, L"Publisher", publisher) && ok;
  ok = SetText(key, L"URLInfoAbout", webAddress) && ok;
  ok = SetText(key, L"HelpLink", webAddress) && ok;
  ok = SetText(key, L"Contact", contact) && ok;
  ok = SetText(key, L"UninstallString", UninstallCommandText(uninstallCommand)) && ok;
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

#include "e2e_support.h"

#include <windows.h>

#include <tlhelp32.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "driver.h"
#include "services/folders.h"
#include "services/wide_win.h"

namespace brindorel::e2e {

const char kWizardClass[] = "BrindorelWizard";

std::string OwnFolder() {
  const std::string text = GetOwnProgramPath();
  return text.substr(0, text.find_last_of('\\') + 1);
}

std::string BuildDir() { return OwnFolder() + "..\\"; }

std::string OutFolder() {
  std::string out = OwnFolder() + "e2e-out\\";
  CreateDirectoryW(Wide(out).c_str(), nullptr);
  return out;
}

std::string SourcePath(const std::string& relative) {
  return HostPath(std::string(BRINDOREL_SOURCE_DIR) + "/" + relative);
}

std::string WorkFolder() { return GetTempFolder() + "Brindorel\\"; }

bool Exists(const std::string& path) { return GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

IniDocument ReadIni(const std::string& path) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return IniDocument::Parse(bytes, SystemCodePage());
}

std::string BuildInstaller(const std::string& packageFolder, const std::string& name,
                           const std::string& extraArguments) {
  std::string target = OutFolder() + name;
  DeleteFileW(Wide(target).c_str());
  std::string command = "\"" + BuildDir() + "tools\\pack\\brindorel-pack.exe\" build \"" + packageFolder +
                        "\" -o \"" + target + "\" --stub \"" + BuildDir() + "core\\Install.exe\"" +
                        " --add \"program/acme.exe=" + BuildDir() + "examples\\acme.exe\"" +
                        " --add \"program/tools/acme-config.exe=" + BuildDir() + "examples\\acme-config.exe\"";
  if (!extraArguments.empty()) command += " " + extraArguments;
  if (RunAndWait(command, 120000) != 0 || !Exists(target)) return std::string();
  return target;
}

void KillProcesses(const std::string& name) {
  const bool prefix = !name.empty() && name.back() == '*';
  const std::string wanted = prefix ? name.substr(0, name.size() - 1) : name;
  HANDLE list = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (list == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(list, &entry); more; more = Process32NextW(list, &entry)) {
    std::string file = NarrowUntilZero(entry.szExeFile, MAX_PATH);
    file = file.substr(file.find_last_of('\\') == std::string::npos ? 0 : file.find_last_of('\\') + 1);
    if (prefix && file.size() > wanted.size()) file.resize(wanted.size());
    if (lstrcmpiW(Wide(file).c_str(), Wide(wanted).c_str()) != 0) continue;
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
    if (process == nullptr) continue;
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
  }
  CloseHandle(list);
}

namespace {
const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
}  // namespace

ScreenDpi::ScreenDpi(int dpi) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return;
  const DWORD value = static_cast<DWORD>(dpi);
  RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

ScreenDpi::~ScreenDpi() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, L"LogPixels");
  RegCloseKey(key);
}

std::string CopyOfExample(const std::string& name, const std::vector<std::string>& without) {
  const std::string copy = OutFolder() + name;
  std::error_code ec;
  const std::filesystem::path to = std::filesystem::u8path(copy);
  std::filesystem::remove_all(to, ec);
  std::filesystem::copy(std::filesystem::u8path(SourcePath("examples/acme-demo")), to,
                        std::filesystem::copy_options::recursive, ec);
  if (ec) return std::string();
  for (const std::string& file : without) std::filesystem::remove(std::filesystem::u8path(copy + "\\" + file), ec);
  return copy;
}

}  // namespace brindorel::e2e

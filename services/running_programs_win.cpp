#include "services/running_programs.h"

#include <windows.h>

#include <tlhelp32.h>

#include "services/wide_win.h"

namespace brindorel {

namespace {

// The process-list functions are looked up by name: they are not there on
// every system the installer may meet.
using SnapshotFunction = HANDLE(WINAPI*)(DWORD, DWORD);
using WalkFunction = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32W*);
using ModuleWalkFunction = BOOL(WINAPI*)(HANDLE, MODULEENTRY32W*);
using QueryImageName = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);

template <typename Function>
Function KernelFunction(const char* name) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  return kernel == nullptr ? nullptr
                           : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel, name)));
}

}  // namespace

bool MutexExists(const std::string& name) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, Wide(name).c_str());
  const DWORD error = GetLastError();
  if (mutex != nullptr) CloseHandle(mutex);
  return MutexCallMeansExisting(mutex != nullptr, error);
}

std::vector<std::uint32_t> ProcessesOf(const std::string& progExe) {
  std::vector<std::uint32_t> found;
  const auto snapshot = KernelFunction<SnapshotFunction>("CreateToolhelp32Snapshot");
  const auto first = KernelFunction<WalkFunction>("Process32FirstW");
  const auto next = KernelFunction<WalkFunction>("Process32NextW");
  if (snapshot == nullptr || first == nullptr || next == nullptr) return found;
  HANDLE list = snapshot(TH32CS_SNAPPROCESS, 0);
  if (list == INVALID_HANDLE_VALUE) return found;
  const DWORD self = GetCurrentProcessId();
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = first(list, &entry); more; more = next(list, &entry)) {
    // szExeFile is a fixed array; never read past it.
    if (ProcessCountsAsTarget(entry.th32ProcessID, self, NarrowUntilZero(entry.szExeFile, MAX_PATH), progExe))
      found.push_back(entry.th32ProcessID);
    entry.dwSize = sizeof entry;
  }
  CloseHandle(list);
  return found;
}

bool ProcessImagePath(std::uint32_t processId, std::string& path) {
  const auto query = KernelFunction<QueryImageName>("QueryFullProcessImageNameW");
  if (query != nullptr) {
    const DWORD kQueryLimitedInformation = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION
    HANDLE process = OpenProcess(kQueryLimitedInformation, FALSE, processId);
    if (process != nullptr) {
      // Image paths may be long; the size is in characters.
      std::vector<wchar_t> buffer(32768);
      DWORD size = static_cast<DWORD>(buffer.size());
      const BOOL ok = query(process, 0, buffer.data(), &size);
      CloseHandle(process);
      if (ok && size < buffer.size()) {
        path = Narrow(buffer.data(), size);
        return true;
      }
    }
  }
  // Older systems: the first module of the process is its image.
  const auto snapshot = KernelFunction<SnapshotFunction>("CreateToolhelp32Snapshot");
  const auto firstModule = KernelFunction<ModuleWalkFunction>("Module32FirstW");
  if (snapshot == nullptr || firstModule == nullptr) return false;
  HANDLE modules = snapshot(TH32CS_SNAPMODULE, processId);
  if (modules == INVALID_HANDLE_VALUE) return false;
  MODULEENTRY32W module{};
  module.dwSize = sizeof module;
  const bool found = firstModule(modules, &module) != FALSE;
  if (found) path = NarrowUntilZero(module.szExePath, MAX_PATH);
  CloseHandle(modules);
  return found;
}

}  // namespace brindorel

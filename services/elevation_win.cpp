#include "services/elevation.h"

#include <windows.h>
#include <shellapi.h>

#include "services/wide_win.h"

namespace brindorel {
namespace {

// TokenElevation (20) and its record, named here since the headers give
// them only to programs built for Vista and later.
constexpr int kTokenElevationClass = 20;
struct TokenElevationRecord {
  DWORD isElevated;
};

bool InAdministratorsGroup() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &admins))
    return false;
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, admins, &member)) member = FALSE;
  FreeSid(admins);
  return member != FALSE;
}

}  // namespace

bool ProcessIsElevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return InAdministratorsGroup();
  TokenElevationRecord elevation{};
  DWORD size = 0;
  const BOOL known = GetTokenInformation(token, static_cast<TOKEN_INFORMATION_CLASS>(kTokenElevationClass),
                                         &elevation, sizeof elevation, &size);
  CloseHandle(token);
  if (known) return elevation.isElevated != 0;
  // Systems before Vista have no split token: the group decides.
  return InAdministratorsGroup();
}

bool ProcessRunsAsSystem() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  BYTE buffer[256];
  DWORD size = 0;
  bool system = false;
  if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID local = nullptr;
    if (AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &local)) {
      system = EqualSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, local) != FALSE;
      FreeSid(local);
    }
  }
  CloseHandle(token);
  return system;
}

ElevatedStart RunElevatedAndWait(const std::string& program, const std::string& parameters, void* owner,
                                 std::uint32_t& exitCode) {
  const std::wstring file = Wide(program);
  const std::wstring arguments = Wide(parameters);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.hwnd = static_cast<HWND>(owner);
  info.lpVerb = L"runas";
  info.lpFile = file.c_str();
  info.lpParameters = arguments.empty() ? nullptr : arguments.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) {
    return GetLastError() == ERROR_CANCELLED ? ElevatedStart::Refused : ElevatedStart::Failed;
  }
  if (info.hProcess == nullptr) return ElevatedStart::Failed;
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 0;
  const BOOL read = GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  if (!read) return ElevatedStart::Failed;
  exitCode = code;
  return ElevatedStart::Ran;
}

}  // namespace brindorel

#include "services/private_folder.h"

#include <windows.h>
#include <aclapi.h>

#include <vector>

#include "services/folders.h"
#include "services/wide_win.h"

namespace brindorel {
namespace {

constexpr int kRandomNameAttempts = 16;
constexpr int kDeepestTree = 256;

std::string WithoutTrailingSeparator(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 3 && (trimmed.back() == '\\' || trimmed.back() == '/')) trimmed.pop_back();
  return trimmed;
}

// The token's user and its default owner for new objects (an elevated
// administrator's files may belong to the administrators group).
class TokenIdentity {
 public:
  TokenIdentity() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    user_ = Query(token, TokenUser);
    owner_ = Query(token, TokenOwner);
    CloseHandle(token);
  }
  PSID User() const { return user_.empty() ? nullptr : reinterpret_cast<const TOKEN_USER*>(user_.data())->User.Sid; }
  PSID Owner() const {
    return owner_.empty() ? nullptr : reinterpret_cast<const TOKEN_OWNER*>(owner_.data())->Owner;
  }
  bool IsOurs(PSID sid) const {
    if (sid == nullptr || !IsValidSid(sid)) return false;
    return (User() != nullptr && EqualSid(sid, User())) || (Owner() != nullptr && EqualSid(sid, Owner()));
  }

 private:
  static std::vector<std::uint8_t> Query(HANDLE token, TOKEN_INFORMATION_CLASS what) {
    DWORD size = 0;
    GetTokenInformation(token, what, nullptr, 0, &size);
    if (size == 0 || size > 65536) return {};
    std::vector<std::uint8_t> data(size);
    if (!GetTokenInformation(token, what, data.data(), size, &size)) return {};
    return data;
  }
  std::vector<std::uint8_t> user_;
  std::vector<std::uint8_t> owner_;
};

// Whether the folder's owner is this account; the folder is opened without
// following a link, and a handle that turns out to be a link is refused.
bool OwnedByUs(const std::string& path) {
  HANDLE handle = CreateFileW(WidePath(path).c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool ours = false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) == ERROR_SUCCESS) {
      ours = TokenIdentity().IsOurs(owner);
      LocalFree(descriptor);
    }
  }
  CloseHandle(handle);
  return ours;
}

// An access list of the system, the administrators and this account, each
// with full access passed on to everything inside, and nothing inherited
// from the parent.
class RestrictedAccess {
 public:
  RestrictedAccess() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    if (!AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system_)) system_ = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &admins_))
      admins_ = nullptr;
    PSID user = identity_.User();
    if (system_ == nullptr || admins_ == nullptr || user == nullptr) return;
    const DWORD size = sizeof(ACL) + 3 * (sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD)) + GetLengthSid(system_) +
                       GetLengthSid(admins_) + GetLengthSid(user);
    acl_.resize(size);
    PACL acl = reinterpret_cast<PACL>(acl_.data());
    const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    ready_ = InitializeAcl(acl, size, ACL_REVISION) &&
             AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, system_) &&
             AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, admins_) &&
             AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, user) &&
             InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
             SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
             SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    attributes_.nLength = sizeof attributes_;
    attributes_.lpSecurityDescriptor = &descriptor_;
    attributes_.bInheritHandle = FALSE;
  }
  ~RestrictedAccess() {
    if (system_ != nullptr) FreeSid(system_);
    if (admins_ != nullptr) FreeSid(admins_);
  }
  RestrictedAccess(const RestrictedAccess&) = delete;
  RestrictedAccess& operator=(const RestrictedAccess&) = delete;

  // Null when the list could not be built: then no folder is made at all.
  SECURITY_ATTRIBUTES* Attributes() { return ready_ ? &attributes_ : nullptr; }

 private:
  TokenIdentity identity_;
  PSID system_ = nullptr;
  PSID admins_ = nullptr;
  std::vector<std::uint8_t> acl_;
  SECURITY_DESCRIPTOR descriptor_{};
  SECURITY_ATTRIBUTES attributes_{};
  bool ready_ = false;
};

// CreateDirectory makes the folder or fails: an existing folder, file or
// link of that name is never taken over. The new folder is looked at once
// more, so that nothing but a real folder is handed out.
bool CreateNewFolder(const std::string& path, SECURITY_ATTRIBUTES* attributes) {
  if (!CreateDirectoryW(WidePath(path).c_str(), attributes)) return false;
  const FoundEntry made = InspectEntry(path);
  return made.exists && made.isFolder && !made.isLink;
}

bool RemoveTreeAt(const std::string& path, int depth) {
  if (depth > kDeepestTree) return false;
  const std::wstring wide = WidePath(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (InspectEntry(path).isLink) {
    // The link itself goes; what it points to is never entered.
    if (folder ? RemoveDirectoryW(wide.c_str()) : DeleteFileW(wide.c_str())) return true;
    return !InspectEntry(path).exists;
  }
  if (!folder) {
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
      SetFileAttributesW(wide.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    return DeleteFileW(wide.c_str()) != FALSE;
  }
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(WidePath(path + "\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = NarrowUntilZero(data.cFileName, MAX_PATH);
      if (name == "." || name == "..") continue;
      RemoveTreeAt(path + "\\" + name, depth + 1);
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  return RemoveDirectoryW(wide.c_str()) != FALSE;
}

using TempPathFunction = DWORD(WINAPI*)(DWORD, LPWSTR);
using LongPathFunction = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);

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

}  // namespace

std::string PrivateTempParent() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  // GetTempPath2 gives the system account its private SystemTemp folder and
  // everyone else the usual temporary folder; older systems lack it.
  auto temp2 = kernel == nullptr ? nullptr
                                 : reinterpret_cast<TempPathFunction>(
                                       reinterpret_cast<void*>(GetProcAddress(kernel, "GetTempPath2W")));
  if (temp2 == nullptr) return GetTempFolder();
  const std::string temp = GrowingText([&](wchar_t* buffer, DWORD size) { return temp2(size, buffer); });
  if (temp.empty()) return GetTempFolder();
  auto convert = reinterpret_cast<LongPathFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "GetLongPathNameW")));
  if (convert == nullptr) return WithTrailingSeparator(temp);
  const std::wstring shortForm = Wide(temp);
  const std::string longForm =
      GrowingText([&](wchar_t* buffer, DWORD size) { return convert(shortForm.c_str(), buffer, size); });
  return longForm.empty() ? "" : WithTrailingSeparator(longForm);
}

FoundEntry InspectEntry(const std::string& path) {
  FoundEntry found;
  const std::string plain = WithoutTrailingSeparator(path);
  if (plain.empty()) return found;
  const DWORD attributes = GetFileAttributesW(WidePath(plain).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    // Something that cannot even be looked at counts as there and not ours.
    found.exists = !(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND);
    return found;
  }
  found.exists = true;
  found.isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  found.isLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  // The directory entry too: a link may show there only (and a handle
  // opened "without following" may follow it all the same).
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(WidePath(plain).c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) found.isLink = true;
    FindClose(find);
  }
  found.ownedByUs = found.isFolder && !found.isLink && OwnedByUs(plain);
  return found;
}

bool RemoveFolderTree(const std::string& folder) {
  const std::string plain = WithoutTrailingSeparator(folder);
  if (plain.empty()) return false;
  RemoveTreeAt(plain, 0);
  return !InspectEntry(plain).exists;
}

void FillRandom(std::uint8_t* bytes, std::size_t size) {
  // RtlGenRandom, exported by advapi32 under this name since Windows XP.
  using GenRandom = BOOLEAN(WINAPI*)(PVOID, ULONG);
  HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
  auto generate = advapi == nullptr ? nullptr
                                    : reinterpret_cast<GenRandom>(
                                          reinterpret_cast<void*>(GetProcAddress(advapi, "SystemFunction036")));
  if (generate != nullptr && generate(bytes, static_cast<ULONG>(size))) return;
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  std::uint64_t state = static_cast<std::uint64_t>(counter.QuadPart) ^
                        (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32) ^ GetTickCount();
  for (std::size_t i = 0; i < size; ++i) {
    state += 0x9E3779B97F4A7C15ull;  // splitmix64
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    bytes[i] = static_cast<std::uint8_t>(z ^ (z >> 31));
  }
}

std::string CreatePrivateFolder(const std::string& parent, const std::string& name, bool preferPlainName,
                                bool restrictAccess) {
  if (parent.empty() || name.empty()) return "";
  const std::string base = WithTrailingSeparator(parent);
  RestrictedAccess access;
  SECURITY_ATTRIBUTES* attributes = nullptr;
  if (restrictAccess) {
    attributes = access.Attributes();
    if (attributes == nullptr) return "";
  }
  if (preferPlainName) {
    const std::string plain = base + name;
    switch (ChoosePlainNameStep(InspectEntry(plain))) {
      case PlainNameStep::Create:
        if (CreateNewFolder(plain, attributes)) return plain + "\\";
        break;
      case PlainNameStep::RemoveThenCreate:
        if (RemoveFolderTree(plain) && CreateNewFolder(plain, attributes)) return plain + "\\";
        break;
      case PlainNameStep::UseRandomName:
        break;
    }
  }
  for (int attempt = 0; attempt < kRandomNameAttempts; ++attempt) {
    std::uint8_t random[kRandomNameCharacters];
    FillRandom(random, sizeof random);
    const std::string path = base + RandomFolderName(name, random, sizeof random);
    if (CreateNewFolder(path, attributes)) return path + "\\";
  }
  return "";
}

}  // namespace brindorel

#include "services/file_system.h"

#include <windows.h>

#include <vector>

#include "services/utf8.h"
#include "services/wide_win.h"

namespace brindorel {

namespace {

// A path beyond what the file calls take is refused rather than cut, since a
// cut path names another file.
bool TooLong(const std::string& path) { return Utf16Length(path) >= kLongestPath; }

bool EndsWithSeparator(const std::string& path) {
  return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

std::string WithSeparator(const std::string& path) {
  return EndsWithSeparator(path) ? path : path + '\\';
}

// "C:" or "C:\" (also "C:/").
bool IsDriveText(const std::string& path) {
  if (path.size() != 2 && path.size() != 3) return false;
  if (path[1] != ':') return false;
  return path.size() == 2 || path[2] == '\\' || path[2] == '/';
}

bool DriveExists(const std::string& path) {
  std::string root = path.substr(0, 2) + '\\';
  return GetDriveTypeW(Wide(root).c_str()) >= DRIVE_REMOVABLE;
}

// FindFirstFileW would take wildcards as a pattern and report any match as
// the named path; real names never hold them.
bool HasWildcard(const std::string& path) { return path.find_first_of("*?") != std::string::npos; }

// Looks the path up by name; false when it is missing or not a plain name.
bool FindPath(std::string path, WIN32_FIND_DATAW& data) {
  if (!path.empty() && path.back() == '\\') path.pop_back();
  if (path.empty() || TooLong(path) || HasWildcard(path)) return false;
  HANDLE find = FindFirstFileW(WidePath(path).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return true;
}

std::vector<std::string> SplitAtBackslash(const std::string& text) {
  std::vector<std::string> fields;
  std::string::size_type start = 0;
  for (;;) {
    std::string::size_type end = text.find('\\', start);
    if (end == std::string::npos) {
      fields.push_back(text.substr(start));
      return fields;
    }
    fields.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

struct ScanRecord {
  HANDLE find = INVALID_HANDLE_VALUE;
  bool inUse = false;
  bool delivered = false;
  WIN32_FIND_DATAW data = {};
};

constexpr int kFirstScanSlots = 16;
constexpr int kMostScanSlots = 4096;

std::vector<ScanRecord>& ScanTable() {
  static std::vector<ScanRecord> table(kFirstScanSlots);
  return table;
}

ScanRecord* FindScan(int scan) {
  std::vector<ScanRecord>& table = ScanTable();
  if (scan < 1 || static_cast<std::size_t>(scan) > table.size()) return nullptr;
  ScanRecord& record = table[static_cast<std::size_t>(scan) - 1];
  return record.inUse ? &record : nullptr;
}

void CloseScan(ScanRecord& record) {
  if (record.find != INVALID_HANDLE_VALUE) FindClose(record.find);
  record = ScanRecord();
}

// A slot for `scan` (1-based), or a free one for -1; 0 when none can be had.
int TakeScanSlot(int scan) {
  std::vector<ScanRecord>& table = ScanTable();
  if (scan == -1) {
    for (std::size_t i = 0; i < table.size(); ++i)
      if (!table[i].inUse) return static_cast<int>(i) + 1;
    if (table.size() >= static_cast<std::size_t>(kMostScanSlots)) return 0;
    std::size_t firstNew = table.size();
    table.resize(table.size() * 2);
    return static_cast<int>(firstNew) + 1;
  }
  if (scan < 1 || scan > kMostScanSlots) return 0;
  if (static_cast<std::size_t>(scan) > table.size()) table.resize(static_cast<std::size_t>(scan));
  CloseScan(table[static_cast<std::size_t>(scan) - 1]);
  return scan;
}

}  // namespace

int PathExists(const std::string& path) {
  if (IsDriveText(path)) return DriveExists(path) ? 1 : 0;
  WIN32_FIND_DATAW data;
  return FindPath(path, data) ? 1 : 0;
}

std::int64_t QueryPathSize(const std::string& path) {
  if (path.empty()) return -1;
  if (IsDriveText(path)) return DriveExists(path) ? -2 : -1;
  WIN32_FIND_DATAW data;
  if (!FindPath(path, data)) return -1;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -2;
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

bool ReadWholeFile(const std::string& path, std::uint64_t limit, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  if (path.empty() || TooLong(path)) return false;
  HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart >= 0 && static_cast<std::uint64_t>(size.QuadPart) <= limit &&
            static_cast<std::uint64_t>(size.QuadPart) < 0x80000000u;
  if (ok) {
    const DWORD wanted = static_cast<DWORD>(size.QuadPart);
    bytes.resize(wanted);
    DWORD total = 0;
    while (total < wanted) {
      DWORD got = 0;
      if (!ReadFile(file, bytes.data() + total, wanted - total, &got, nullptr)) {
        ok = false;
        break;
      }
      if (got == 0) break;
      total += got;
    }
    bytes.resize(ok ? total : 0);
  }
  CloseHandle(file);
  return ok;
}

int MakeFolder(const std::string& path) {
  if (TooLong(path)) return 0;
  std::string folder = path;
  while (!folder.empty() && (folder.back() == ' ' || folder.back() == '\\' || folder.back() == '/'))
    folder.pop_back();
  if (folder.empty()) return 0;
  return CreateDirectoryW(WidePath(folder).c_str(), nullptr) ? 1 : 0;
}

void MakeFolderPath(const std::string& path) {
  std::string rest = WithSeparator(path);
  if (TooLong(rest)) return;
  std::string drive;
  if (rest.find(':') != std::string::npos) {
    drive = rest.substr(0, 3);
    std::string stripped;
    for (std::string::size_type i = 0; i < rest.size();) {
      if (rest.compare(i, drive.size(), drive) == 0) {
        i += drive.size();
      } else {
        stripped += rest[i++];
      }
    }
    rest = stripped;
  }
  if (rest.find('\\') == std::string::npos) {
    MakeFolder(rest);
    return;
  }
  std::vector<std::string> fields = SplitAtBackslash(rest);
  std::string growing = drive;
  // The last field is what follows the final "\": empty, and not a level.
  for (std::size_t i = 0; i + 1 < fields.size(); ++i) {
    growing += fields[i];
    growing += '\\';
    MakeFolder(growing);
  }
}

void MakeParentFolders(const std::string& path) {
  if (TooLong(path)) return;
  if (QueryPathSize(path) == -2) return;
  for (std::size_t length = 1; length <= path.size(); ++length) {
    if (path[length - 1] != '\\') continue;
    std::string prefix = path.substr(0, length);
    if (QueryPathSize(prefix) != -2) MakeFolder(prefix);
  }
}

std::vector<std::string> MissingFolderLevels(const std::string& path) {
  std::vector<std::string> missing;
  for (std::size_t length = 1; length <= path.size(); ++length) {
    if (path[length - 1] != '\\') continue;
    std::string prefix = path.substr(0, length);
    if (QueryPathSize(prefix) != -2) missing.push_back(std::move(prefix));
  }
  return missing;
}

void RemoveEmptyFolderLevels(const std::vector<std::string>& levels) {
  for (auto level = levels.rbegin(); level != levels.rend(); ++level) RemoveDirectoryW(WidePath(*level).c_str());
}

namespace {

// Long paths allow thousands of levels; the descent stops well before the
// stack could run out.
constexpr int kDeepestRemoval = 256;

int RemoveFolderAt(const std::string& folder, const std::string& pattern, std::uint32_t flags, int depth) {
  if (folder.empty() || TooLong(folder) || depth > kDeepestRemoval) return 0;
  std::string base = WithSeparator(folder);
  std::string search = base + (pattern.empty() ? std::string("*.*") : pattern);
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(WidePath(search).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  do {
    const std::string name = NarrowUntilZero(data.cFileName, MAX_PATH);
    std::string full = base + name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if ((flags & kRemoveSubfolders) && name != "." && name != "..")
        RemoveFolderAt(full, pattern, flags, depth + 1);
    } else {
      if (flags & kRemoveForced) SetFileAttributesW(WidePath(full).c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(WidePath(full).c_str());
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
  if (flags & kRemoveForced) SetFileAttributesW(WidePath(base).c_str(), FILE_ATTRIBUTE_NORMAL);
  return RemoveDirectoryW(WidePath(base).c_str()) ? 1 : 0;
}

}  // namespace

int RemoveFolder(const std::string& folder, const std::string& pattern, std::uint32_t flags) {
  return RemoveFolderAt(folder, pattern, flags, 0);
}

int CopyOneFile(const std::string& source, const std::string& target) {
  if (TooLong(source) || TooLong(target)) return 0;
  return CopyFileW(WidePath(source).c_str(), WidePath(target).c_str(), FALSE) ? 1 : 0;
}

int BeginFolderScan(int scan, const std::string& folder, const std::string& pattern) {
  if (TooLong(folder)) return 0;
  std::string search = (folder.empty() ? std::string() : WithSeparator(folder)) +
                       (pattern.empty() ? std::string("*.*") : pattern);
  int slot = TakeScanSlot(scan);
  if (slot == 0) return 0;
  ScanRecord& record = ScanTable()[static_cast<std::size_t>(slot) - 1];
  record.find = FindFirstFileW(WidePath(search).c_str(), &record.data);
  if (record.find == INVALID_HANDLE_VALUE) {
    record = ScanRecord();
    return 0;
  }
  record.inUse = true;
  record.delivered = false;
  return slot;
}

int NextFolderEntry(int scan) {
  ScanRecord* record = FindScan(scan);
  if (record == nullptr) return 0;
  if (!record->delivered) {
    record->delivered = true;
    return 1;
  }
  return FindNextFileW(record->find, &record->data) ? 1 : 0;
}

std::string FolderEntryName(int scan) {
  ScanRecord* record = FindScan(scan);
  if (record == nullptr) return "";
  return NarrowUntilZero(record->data.cFileName, MAX_PATH);
}

int FolderEntryKind(int scan) {
  ScanRecord* record = FindScan(scan);
  if (record == nullptr) return 0;
  return (record->data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 2 : 1;
}

bool FolderEntryIsLink(int scan) {
  ScanRecord* record = FindScan(scan);
  return record != nullptr && (record->data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

void EndFolderScan(int scan) {
  ScanRecord* record = FindScan(scan);
  if (record != nullptr) CloseScan(*record);
}

}  // namespace brindorel

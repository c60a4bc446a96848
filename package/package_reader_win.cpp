#include "package/package_reader.h"

#include <windows.h>

#include <memory>
#include <new>

#include "package/block_decoder.h"
#include "services/file_system.h"
#include "services/text.h"
#include "services/wide_win.h"

namespace brindorel {

namespace {

// The first bytes of an image, enough for its DOS and PE headers.
constexpr std::size_t kImageHeadSize = 4096;

struct PackageState {
  EntryList entries;
  std::string path;
  std::uint32_t dataStart = 0;  // D
  std::uint64_t dataEnd = 0;    // where the table block begins: F - 16 - P
  ExtractionStats stats;
};

PackageState& State() {
  static PackageState state;
  return state;
}

using Buffer = std::unique_ptr<std::uint8_t[]>;

Buffer Allocate(std::size_t size) {
  // One spare byte so that a size of 0 still gives a usable pointer.
  return Buffer(new (std::nothrow) std::uint8_t[size + 1]);
}

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

HANDLE OpenForReading(const std::string& path) {
  return CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool SeekTo(HANDLE file, std::uint64_t position) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != 0;
}

bool SkipForward(HANDLE file, std::uint32_t count) {
  LARGE_INTEGER by;
  by.QuadPart = count;
  return SetFilePointerEx(file, by, nullptr, FILE_CURRENT) != 0;
}

// Reads exactly `size` bytes; ReadFile may return fewer at the end of a file.
bool ReadExactly(HANDLE file, std::uint8_t* out, std::size_t size) {
  while (size > 0) {
    DWORD chunk = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!ReadFile(file, out, chunk, &got, nullptr) || got == 0) return false;
    out += got;
    size -= got;
  }
  return true;
}

bool WriteExactly(HANDLE file, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    DWORD chunk = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
    DWORD put = 0;
    if (!WriteFile(file, data, chunk, &put, nullptr) || put == 0) return false;
    data += put;
    size -= put;
  }
  return true;
}

bool ReadTrailerAt(HANDLE file, std::uint64_t packageEnd, PackageTrailer& trailer) {
  if (packageEnd < kTrailerSize) return false;
  std::uint8_t bytes[kTrailerSize];
  if (!SeekTo(file, packageEnd - kTrailerSize) || !ReadExactly(file, bytes, kTrailerSize)) return false;
  return ParseTrailer(bytes, trailer);
}

// Finds the trailer: at the end of the file, or, for a signed image whose
// certificate table was added behind the package, just before that table.
bool FindTrailer(HANDLE file, std::uint64_t fileSize, PackageTrailer& trailer, std::uint64_t& packageEnd) {
  if (ReadTrailerAt(file, fileSize, trailer)) {
    packageEnd = fileSize;
    return true;
  }
  std::size_t headSize = fileSize < kImageHeadSize ? static_cast<std::size_t>(fileSize) : kImageHeadSize;
  std::uint8_t head[kImageHeadSize];
  if (!SeekTo(file, 0) || !ReadExactly(file, head, headSize)) return false;
  std::uint64_t signedEnd = 0;
  if (!SignedImagePackageEnd(head, headSize, fileSize, signedEnd)) return false;
  std::uint8_t tail[8];
  if (!SeekTo(file, signedEnd - 8) || !ReadExactly(file, tail, 8)) return false;
  signedEnd = UnpaddedPackageEnd(tail, 8, signedEnd);
  if (!ReadTrailerAt(file, signedEnd, trailer)) return false;
  packageEnd = signedEnd;
  return true;
}

std::uint32_t TableCount(const std::uint8_t* table, std::size_t size) {
  if (size < 4) return 0;
  return std::uint32_t(table[0]) | (std::uint32_t(table[1]) << 8) | (std::uint32_t(table[2]) << 16) |
         (std::uint32_t(table[3]) << 24);
}

// Decodes the `stored` bytes of a block that must give exactly `size` bytes.
// The header's size is compared before anything is allocated.
Buffer DecodeExactly(const std::uint8_t* stored, std::size_t storedSize, std::uint32_t size) {
  if (BlockDecodedSize(stored, storedSize) != size || size == 0) return nullptr;
  // The decoder may write up to 8 bytes beyond the decoded size.
  Buffer out = Allocate(std::size_t(size) + 8);
  if (!out) return nullptr;
  if (DecompressBlock(stored, storedSize, out.get(), std::size_t(size) + 8) != size) return nullptr;
  return out;
}

FILETIME ToFileTime(std::uint64_t ticks) {
  FILETIME t;
  t.dwLowDateTime = static_cast<DWORD>(ticks);
  t.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return t;
}

// Creates (or replaces) the output file and writes `data` to it with the
// entry's creation and last-write times. A file that cannot be written whole
// is removed again.
bool WriteEntryFile(const std::string& path, const PackageEntry& entry, const std::uint8_t* data,
                    std::size_t size) {
  HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  // CREATE_ALWAYS refuses an existing hidden or system file; truncating works.
  if (file == INVALID_HANDLE_VALUE)
    file = CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool written = WriteExactly(file, data, size);
  if (written) {
    FILETIME creation = ToFileTime(entry.creationTime);
    FILETIME lastWrite = ToFileTime(entry.lastWriteTime);
    SetFileTime(file, &creation, nullptr, &lastWrite);
  }
  CloseHandle(file);
  if (!written) DeleteFileW(WidePath(path).c_str());
  return written;
}

// The open package during one ExtractPackage.
struct Extraction {
  HANDLE file;
  std::uint64_t position;  // next byte of entry data
  std::uint64_t dataEnd;
  bool broken = false;     // the data ran out: no later entry can be trusted
  ExtractionStats& stats;
};

// Consumes one file entry's data from the package and, when `write` is set,
// writes it to target + name. Corrupt data is never written.
void ExtractEntry(Extraction& x, const PackageEntry& entry, const std::string& target, bool write) {
  std::string path = target + entry.name;
  if (entry.size == 0) {
    if (!write) return;
    if (WriteEntryFile(path, entry, nullptr, 0)) {
      ++x.stats.filesWritten;
    } else {
      ++x.stats.filesNotCreated;
    }
    return;
  }
  if (entry.storedSize > x.dataEnd - x.position) {
    x.broken = true;
    ++x.stats.corruptEntries;
    return;
  }
  if (!write) {
    if (SkipForward(x.file, entry.storedSize)) {
      x.position += entry.storedSize;
    } else {
      x.broken = true;
    }
    return;
  }
  Buffer stored = Allocate(entry.storedSize);
  if (!stored) {
    // Nothing was read, so step over the data to stay in line.
    if (SkipForward(x.file, entry.storedSize)) {
      x.position += entry.storedSize;
    } else {
      x.broken = true;
    }
    ++x.stats.corruptEntries;
    return;
  }
  if (!ReadExactly(x.file, stored.get(), entry.storedSize)) {
    x.broken = true;
    ++x.stats.corruptEntries;
    return;
  }
  x.position += entry.storedSize;
  const std::uint8_t* data = stored.get();
  Buffer decoded;
  if (entry.storedSize != entry.size) {
    decoded = DecodeExactly(stored.get(), entry.storedSize, entry.size);
    if (!decoded) {
      ++x.stats.corruptEntries;
      return;
    }
    stored.reset();
    data = decoded.get();
  }
  if (WriteEntryFile(path, entry, data, entry.size)) {
    ++x.stats.filesWritten;
  } else {
    ++x.stats.filesNotCreated;
  }
}

bool IsNoCopy(const std::vector<std::string>& extensions, const std::string& name) {
  if (extensions.empty()) return false;
  std::string extension = EntryExtension(name);
  for (const std::string& listed : extensions)
    if (listed == extension) return true;
  return false;
}

bool IsNamedIn(const std::vector<std::string>& names, const std::string& name) {
  for (const std::string& listed : names)
    if (EqualIgnoringAsciiCase(listed, name)) return true;
  return false;
}

}  // namespace

int ReadPackage(const std::string& path) {
  PackageState& state = State();
  state.entries.clear();
  state.path = path;
  state.dataStart = 0;
  state.dataEnd = 0;
  if (QueryPathSize(path) <= 0) return 0;
  FileHandle file(OpenForReading(path));
  if (!file.valid()) return 0;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0) return 0;
  std::uint64_t fileSize = static_cast<std::uint64_t>(size.QuadPart);

  PackageTrailer trailer;
  std::uint64_t packageEnd = 0;
  if (!FindTrailer(file.get(), fileSize, trailer, packageEnd)) return 0;
  if (!TrailerFits(trailer, packageEnd)) return 0;
  std::uint64_t tableStart = packageEnd - kTrailerSize - trailer.tableStoredSize;

  // P fits the file, so this allocation is bounded by the file's size.
  Buffer stored = Allocate(trailer.tableStoredSize);
  if (!stored) return 0;
  if (!SeekTo(file.get(), tableStart) || !ReadExactly(file.get(), stored.get(), trailer.tableStoredSize))
    return 0;
  const std::uint8_t* table = stored.get();
  Buffer decoded;
  if (trailer.tableStoredSize != trailer.tableSize) {
    decoded = DecodeExactly(stored.get(), trailer.tableStoredSize, trailer.tableSize);
    if (!decoded) return 0;
    stored.reset();
    table = decoded.get();
  }
  EntryList entries = ParseEntryTable(table, trailer.tableSize);
  // Names are UTF-8; one that is not comes from a package written in a code page.
  for (PackageEntry& entry : entries) entry.name = Utf8OrCodePage(entry.name, SystemCodePage());
  // A count the records do not bear out means a damaged table.
  if (trailer.tableSize < 4 || entries.size() != TableCount(table, trailer.tableSize)) return 0;

  // The data of the entries that carry any fills the region between D and
  // the table exactly; a table that says otherwise would have the reader
  // take one entry's bytes for another's.
  std::uint64_t dataSize = 0;
  for (const PackageEntry& entry : entries)
    if (entry.type == kEntryFile && entry.size > 0) dataSize += entry.storedSize;
  if (dataSize != tableStart - trailer.dataStart) return 0;

  state.entries = std::move(entries);
  state.dataStart = trailer.dataStart;
  state.dataEnd = tableStart;
  return 1;
}

const EntryList& PackageEntries() { return State().entries; }

const ExtractionStats& LastExtractionStats() { return State().stats; }

namespace {

std::uint32_t FailureCount(const ExtractionStats& stats) {
  return stats.corruptEntries + stats.unsafeNames + stats.filesNotCreated;
}

// One folder or file entry of the table, in table order.
void HandleEntry(Extraction& x, const PackageEntry& entry, const std::string& target,
                 const std::vector<std::string>& extensions, const std::vector<std::string>& alwaysReplaced) {
  if (x.broken) {
    ++x.stats.corruptEntries;
    return;
  }
  bool safe = IsSafeEntryName(entry.name);
  if (entry.type == kEntryFolder) {
    if (!safe) {
      ++x.stats.unsafeNames;
      return;
    }
    MakeParentFolders(target + entry.name);
    ++x.stats.foldersMade;
    return;
  }
  if (!safe) {
    ++x.stats.unsafeNames;
    ExtractEntry(x, entry, target, false);
    return;
  }
  if (IsNoCopy(extensions, entry.name) && !IsNamedIn(alwaysReplaced, entry.name) &&
      PathExists(target + entry.name)) {
    ++x.stats.keptExisting;
    ExtractEntry(x, entry, target, false);
    return;
  }
  MakeParentFolders(target + EntryFolderPart(entry.name));
  ExtractEntry(x, entry, target, true);
}

}  // namespace

void ExtractPackage(const std::string& targetFolder, const std::string& noCopyList,
                    const std::vector<std::string>& alwaysReplaced) {
  PackageState& state = State();
  state.stats = ExtractionStats();
  if (state.entries.empty()) return;
  std::vector<std::string> extensions = NoCopyExtensions(noCopyList);
  std::string target = targetFolder;
  if (target.empty() || target.back() != '\\') target += '\\';

  FileHandle file(OpenForReading(state.path));
  if (!file.valid()) return;
  if (!SeekTo(file.get(), state.dataStart)) return;
  Extraction x{file.get(), state.dataStart, state.dataEnd, false, state.stats};

  for (const PackageEntry& entry : state.entries) {
    if (entry.type != kEntryFolder && entry.type != kEntryFile) continue;
    const std::uint32_t before = FailureCount(state.stats);
    HandleEntry(x, entry, target, extensions, alwaysReplaced);
    if (FailureCount(state.stats) != before) state.stats.failedEntries.push_back(entry.name);
  }
}

}  // namespace brindorel

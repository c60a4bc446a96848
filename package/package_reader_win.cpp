#include "package/package_reader.h"

#include <windows.h>

#include "services/file_system.h"
#include "services/text.h"
#include "services/wide_win.h"

namespace brindorel {

namespace {

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
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// ReadFile and WriteFile take at most a DWORD; chunks keep each call modest.
constexpr std::size_t kIoChunk = 0x10000000u;

bool ReadExactly(HANDLE file, std::uint8_t* out, std::size_t size) {
  while (size > 0) {
    DWORD chunk = size > kIoChunk ? static_cast<DWORD>(kIoChunk) : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!ReadFile(file, out, chunk, &got, nullptr) || got == 0) return false;
    out += got;
    size -= got;
  }
  return true;
}

bool WriteExactly(HANDLE file, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    DWORD chunk = size > kIoChunk ? static_cast<DWORD>(kIoChunk) : static_cast<DWORD>(size);
    DWORD put = 0;
    if (!WriteFile(file, data, chunk, &put, nullptr) || put == 0) return false;
    data += put;
    size -= put;
  }
  return true;
}

// The package file, read at positions. Keeps its own position so that the
// front-to-back reading of extraction needs no seek.
class FileSource : public PackageSource {
 public:
  FileSource(HANDLE file, std::uint64_t size) : file_(file), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t position, std::uint8_t* out, std::size_t size) override {
    if (position > size_ || size > size_ - position) return false;
    if (position != position_) {
      LARGE_INTEGER to;
      to.QuadPart = static_cast<LONGLONG>(position);
      if (!SetFilePointerEx(file_, to, nullptr, FILE_BEGIN)) return false;
      position_ = position;
    }
    if (!ReadExactly(file_, out, size)) {
      position_ = UINT64_MAX;  // unknown: seek next time
      return false;
    }
    position_ += size;
    return true;
  }

 private:
  HANDLE file_;
  std::uint64_t size_;
  std::uint64_t position_ = 0;
};

struct PackageState {
  std::string path;
  PackageLayout layout;
  EntryList entries;
  PackageProblem problem = PackageProblem::NoPackage;
  ExtractionStats stats;
};

PackageState& State() {
  static PackageState state;
  return state;
}

FILETIME ToFileTime(std::uint64_t ticks) {
  FILETIME t;
  t.dwLowDateTime = static_cast<DWORD>(ticks);
  t.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return t;
}

void SetEntryTimes(HANDLE file, const PackageEntry& entry) {
  FILETIME creation = ToFileTime(entry.creationTime);
  FILETIME lastWrite = ToFileTime(entry.lastWriteTime);
  SetFileTime(file, &creation, nullptr, &lastWrite);
}

// Creates (or replaces) a file for writing, and reading back.
HANDLE CreateEntryFile(const std::string& path, DWORD access) {
  HANDLE file = CreateFileW(WidePath(path).c_str(), access, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  // CREATE_ALWAYS refuses an existing hidden or system file; truncating works.
  if (file == INVALID_HANDLE_VALUE)
    file = CreateFileW(WidePath(path).c_str(), access, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  return file;
}

// An empty file with the entry's creation and last-write times.
bool WriteEmptyFile(const std::string& path, const PackageEntry& entry) {
  HANDLE file = CreateEntryFile(path, GENERIC_WRITE);
  if (file == INVALID_HANDLE_VALUE) return false;
  SetEntryTimes(file, entry);
  CloseHandle(file);
  return true;
}

// Reads or writes at an explicit position (the handle's own position is
// then irrelevant), in chunks of at most kIoChunk.
OVERLAPPED At(std::uint64_t position) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(position);
  at.OffsetHigh = static_cast<DWORD>(position >> 32);
  return at;
}

bool WriteFileAt(HANDLE file, std::uint64_t position, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    OVERLAPPED at = At(position);
    const DWORD chunk = size > kIoChunk ? static_cast<DWORD>(kIoChunk) : static_cast<DWORD>(size);
    DWORD put = 0;
    if (!WriteFile(file, data, chunk, &put, &at) || put == 0) return false;
    data += put;
    size -= put;
    position += put;
  }
  return true;
}

bool ReadFileAt(HANDLE file, std::uint64_t position, std::uint8_t* out, std::size_t size) {
  while (size > 0) {
    OVERLAPPED at = At(position);
    const DWORD chunk = size > kIoChunk ? static_cast<DWORD>(kIoChunk) : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!ReadFile(file, out, chunk, &got, &at) || got == 0) return false;
    out += got;
    size -= got;
    position += got;
  }
  return true;
}

// A staging file: the entry's bytes written as they are decoded, read back
// for matches beyond the decoder's window, and the extraction's progress
// moved on with every piece.
class StagingSink : public EntrySink {
 public:
  StagingSink(HANDLE file, std::uint64_t& done, std::uint64_t total, const ExtractionProgress& progress)
      : file_(file), done_(done), total_(total), progress_(progress) {}
  bool Write(const std::uint8_t* data, std::size_t size) override {
    if (!WriteFileAt(file_, written_, data, size)) return false;
    written_ += size;
    done_ += size;
    if (progress_) progress_(done_, total_);
    return true;
  }
  bool ReadBack(std::uint64_t position, std::uint8_t* out, std::size_t size) override {
    return position <= written_ && size <= written_ - position && ReadFileAt(file_, position, out, size);
  }

 private:
  HANDLE file_;
  std::uint64_t written_ = 0;
  std::uint64_t& done_;
  std::uint64_t total_;
  const ExtractionProgress& progress_;
};

// Only checks: the bytes go nowhere. A match beyond the window cannot be
// served, which the caller takes as "not known" rather than damage.
class CheckingSink : public EntrySink {
 public:
  bool Write(const std::uint8_t*, std::size_t) override { return true; }
  bool ReadBack(std::uint64_t, std::uint8_t*, std::size_t) override { return false; }
};

// Puts a staged file in place: a rename inside the target's volume, or, where
// the system refuses to replace the existing file that way (a hidden one), its
// bytes copied into the existing file.
bool PlaceStagedFile(const std::string& staged, const std::string& path, const PackageEntry& entry) {
  if (MoveFileExW(WidePath(staged).c_str(), WidePath(path).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  FileHandle from(OpenForReading(staged));
  if (!from.valid()) return false;
  HANDLE to = CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  if (to == INVALID_HANDLE_VALUE) return false;
  std::vector<std::uint8_t> chunk(1 << 16);
  bool ok = true;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(from.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    if (!WriteExactly(to, chunk.data(), got)) {
      ok = false;
      break;
    }
  }
  if (ok) SetEntryTimes(to, entry);
  CloseHandle(to);
  return ok;
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

bool Extractable(const PackageEntry& entry) { return entry.type == kEntryFolder || entry.type == kEntryFile; }

void Fail(ExtractionStats& stats, const std::string& name) { stats.failedEntries.push_back(name); }

// Streams one entry into its staging file, which keeps the entry's times;
// a file that did not come out sound is removed again.
EntryState StageEntry(PackageSource& source, const LocatedEntry& item, const std::string& path,
                      StreamBuffers& buffers, std::uint64_t& done, std::uint64_t total,
                      const ExtractionProgress& progress) {
  HANDLE file = CreateEntryFile(path, GENERIC_READ | GENERIC_WRITE);
  if (file == INVALID_HANDLE_VALUE) return EntryState::Unwritable;
  StagingSink sink(file, done, total, progress);
  const EntryState state = StreamEntryData(source, item, sink, buffers);
  if (EntryUsable(state)) SetEntryTimes(file, item.entry);
  CloseHandle(file);
  if (!EntryUsable(state)) DeleteFileW(WidePath(path).c_str());
  return state;
}

// Phase 1: every entry with data decoded, checked and written into the
// staging folder as a file named by its index, in bounded memory. Returns
// false when anything failed; every damaged entry is named, not only the
// first (after a failure the others are only checked).
bool StageEntries(PackageSource& source, const PackageLayout& layout, const std::string& staging,
                  const ExtractionProgress& progress, ExtractionStats& stats) {
  bool staged = true;
  StreamBuffers buffers;
  std::uint64_t total = 0, done = 0;
  for (const LocatedEntry& item : layout.entries)
    if (item.carriesData && Extractable(item.entry)) total += item.entry.size;
  for (std::size_t i = 0; i < layout.entries.size(); ++i) {
    const LocatedEntry& item = layout.entries[i];
    if (!item.carriesData || !Extractable(item.entry)) continue;
    EntryState state;
    if (staged) {
      state = StageEntry(source, item, staging + NumberToText(static_cast<std::int32_t>(i)), buffers, done, total,
                         progress);
    } else {
      CheckingSink nowhere;
      state = StreamEntryData(source, item, nowhere, buffers);
      if (state == EntryState::Unwritable) continue;  // far matches: not known, and nothing is placed anyway
    }
    if (state == EntryState::Unwritable) {
      ++stats.filesNotCreated;
      Fail(stats, item.entry.name);
      staged = false;
    } else if (!EntryUsable(state)) {
      ++stats.corruptEntries;
      stats.packageDamaged = true;
      Fail(stats, item.entry.name);
      staged = false;
    } else if (state == EntryState::Unchecked) {
      ++stats.uncheckedEntries;
    }
  }
  return staged;
}

// Phase 2: folders made and staged files moved into place, in table order.
void PlaceEntries(const PackageLayout& layout, const std::string& target, const std::string& staging,
                  const std::vector<std::string>& extensions, const std::vector<std::string>& alwaysReplaced,
                  ExtractionStats& stats) {
  for (std::size_t i = 0; i < layout.entries.size(); ++i) {
    const LocatedEntry& item = layout.entries[i];
    const PackageEntry& entry = item.entry;
    if (entry.type == kEntryFolder) {
      MakeParentFolders(target + entry.name);
      ++stats.foldersMade;
      continue;
    }
    if (entry.type != kEntryFile) continue;
    const std::string path = target + entry.name;
    const std::string staged = staging + NumberToText(static_cast<std::int32_t>(i));
    if (IsNoCopy(extensions, entry.name) && !IsNamedIn(alwaysReplaced, entry.name) && PathExists(path)) {
      ++stats.keptExisting;
      continue;
    }
    MakeParentFolders(target + EntryFolderPart(entry.name));
    const bool placed = item.carriesData ? PlaceStagedFile(staged, path, entry) : WriteEmptyFile(path, entry);
    if (placed) {
      ++stats.filesWritten;
    } else {
      ++stats.filesNotCreated;
      Fail(stats, entry.name);
    }
  }
}

}  // namespace

int ReadPackage(const std::string& path) {
  PackageState& state = State();
  state.entries.clear();
  state.layout = PackageLayout();
  state.path = path;
  state.problem = PackageProblem::NoPackage;
  state.stats = ExtractionStats();
  if (QueryPathSize(path) <= 0) return 0;
  FileHandle file(OpenForReading(path));
  if (!file.valid()) return 0;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0) return 0;
  FileSource source(file.get(), static_cast<std::uint64_t>(size.QuadPart));
  state.problem = OpenPackage(source, state.layout);
  if (state.problem != PackageProblem::None) return 0;
  // Names are UTF-8; one that is not comes from a package written in a code page.
  for (LocatedEntry& item : state.layout.entries) {
    item.entry.name = Utf8OrCodePage(item.entry.name, SystemCodePage());
    state.entries.push_back(item.entry);
  }
  return 1;
}

PackageProblem LastPackageProblem() { return State().problem; }

const EntryList& PackageEntries() { return State().entries; }

const ExtractionStats& LastExtractionStats() { return State().stats; }

void ExtractPackage(const std::string& targetFolder, const std::string& noCopyList,
                    const std::vector<std::string>& alwaysReplaced, const ExtractionProgress& progress) {
  PackageState& state = State();
  state.stats = ExtractionStats();
  ExtractionStats& stats = state.stats;
  if (state.entries.empty()) {
    stats.placed = true;  // nothing to put in place
    return;
  }
  std::string target = targetFolder;
  if (target.empty() || target.back() != '\\') target += '\\';

  FileHandle file(OpenForReading(state.path));
  LARGE_INTEGER size;
  if (!file.valid() || !GetFileSizeEx(file.get(), &size)) {
    // The package went away since it was read: as bad as a damaged one.
    stats.packageDamaged = true;
    for (const LocatedEntry& item : state.layout.entries) {
      if (!item.carriesData) continue;
      ++stats.corruptEntries;
      Fail(stats, item.entry.name);
    }
    return;
  }
  FileSource source(file.get(), static_cast<std::uint64_t>(size.QuadPart));

  // The staging folder lies inside the target, so that putting a file in
  // place is a rename on the same volume; a leftover of an interrupted run
  // goes first.
  const std::string staging = target + StagingFolderName(state.layout.entries) + "\\";
  RemoveFolder(staging, "", kRemoveForced);
  const std::vector<std::string> madeLevels = MissingFolderLevels(staging);
  MakeFolderPath(staging);
  if (QueryPathSize(staging) != -2) {
    ++stats.filesNotCreated;
    Fail(stats, staging);
    RemoveEmptyFolderLevels(madeLevels);
    return;
  }
  SetFileAttributesW(WidePath(staging).c_str(), FILE_ATTRIBUTE_HIDDEN);
  if (StageEntries(source, state.layout, staging, progress, stats)) {
    PlaceEntries(state.layout, target, staging, NoCopyExtensions(noCopyList), alwaysReplaced, stats);
    stats.placed = true;
  }
  RemoveFolder(staging, "", kRemoveForced);
  if (!stats.placed) RemoveEmptyFolderLevels(madeLevels);
}

}  // namespace brindorel

#include "tools/pack/pack_package.h"

#include <algorithm>
#include <atomic>
#include <chrono>

#include "package/block_encoder.h"
#include "package/content_hash.h"
#include "tools/pack/pack_compress.h"

namespace brindorel::pack {

std::vector<std::uint8_t> BlockForm(const std::uint8_t* data, std::size_t size, int level) {
  std::vector<std::uint8_t> block = CompressBlock(data, size, level);
  // The decoder stops at the end code: a byte behind it changes nothing but
  // the stored size.
  if (block.size() == size) block.push_back(0);
  return block;
}

bool MemoryOutput::Append(const std::uint8_t* data, std::size_t size) {
  bytes_.insert(bytes_.end(), data, data + size);
  return true;
}

bool MemoryOutput::Overwrite(std::uint64_t position, const std::uint8_t* data, std::size_t size) {
  if (position > bytes_.size() || size > bytes_.size() - position) return false;
  std::copy(data, data + size, bytes_.begin() + static_cast<std::ptrdiff_t>(position));
  return true;
}

bool FileOutput::Create(const std::filesystem::path& path, std::string& error) {
  file_.open(path, std::ios::binary | std::ios::trunc);
  position_ = 0;
  if (!file_) {
    error = path.u8string() + ": cannot be written";
    return false;
  }
  return true;
}

bool FileOutput::Append(const std::uint8_t* data, std::size_t size) {
  file_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  position_ += size;
  return bool(file_);
}

bool FileOutput::Overwrite(std::uint64_t position, const std::uint8_t* data, std::size_t size) {
  if (position > position_ || size > position_ - position) return false;
  file_.seekp(static_cast<std::streamoff>(position));
  file_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  file_.seekp(static_cast<std::streamoff>(position_));
  return bool(file_);
}

bool FileOutput::Close() {
  file_.close();
  return !file_.fail();
}

namespace {

constexpr std::size_t kCopyPiece = std::size_t(1) << 20;

std::string SizeText(std::uint64_t size) { return std::to_string(static_cast<unsigned long long>(size)); }

// Reads an entry's data [position, position + size) from memory or its file.
class EntryInput {
 public:
  EntryInput(const SourceEntry& entry, std::string& error) : entry_(entry), error_(error) {}
  bool Read(std::uint64_t position, std::uint8_t* out, std::size_t size) {
    if (entry_.file.empty()) {
      if (position > entry_.data.size() || size > entry_.data.size() - position) return false;
      std::copy(entry_.data.begin() + static_cast<std::ptrdiff_t>(position),
                entry_.data.begin() + static_cast<std::ptrdiff_t>(position + size), out);
      return true;
    }
    if (!file_.is_open()) file_.open(entry_.file, std::ios::binary);
    file_.clear();
    file_.seekg(static_cast<std::streamoff>(position));
    file_.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(size));
    if (file_.good() && static_cast<std::size_t>(file_.gcount()) == size) return true;
    error_ = entry_.file.u8string() + ": cannot be read whole (did it change while it was packed?)";
    return false;
  }

 private:
  const SourceEntry& entry_;
  std::string& error_;
  std::ifstream file_;
};

class PackageWriter {
 public:
  PackageWriter(PackageOutput& out, std::uint64_t fileStart, int level, unsigned jobs, std::string& error,
                PackProgress progress)
      : out_(out), fileStart_(fileStart), level_(level), jobs_(jobs), error_(error), progress_(progress) {}

  bool Write(const std::vector<SourceEntry>& entries);

 private:
  // Small entries with data go in batches; the others one by one.
  static bool Batched(const SourceEntry& e) {
    return e.nested == nullptr && !e.storeAsIs && e.Size() > 0 && e.Size() <= kStreamedEntry;
  }
  std::uint64_t Here() const { return out_.Position() - fileStart_; }
  bool Append(const std::uint8_t* data, std::size_t size, const std::string& name) {
    if (size > kFormatLimit - std::min(Here(), kFormatLimit)) return PastLimit(name);
    if (out_.Append(data, size)) return true;
    error_ = "the output cannot be written (is the disk full?)";
    return false;
  }
  bool PastLimit(const std::string& name) {
    error_ = "the package passes the format's 4 GiB limit at " + name +
             " (positions and sizes in a package are 32-bit: at most 4294967295 bytes)";
    return false;
  }
  // The table's record of an entry whose stored bytes were just written.
  bool Record(const SourceEntry& source, std::uint64_t size, std::uint64_t offset, std::uint64_t hash) {
    const std::uint64_t stored = Here() - offset;
    if (offset > kFormatLimit || stored > kFormatLimit || size > kFormatLimit) return PastLimit(source.name);
    PackageEntry entry;
    entry.name = source.name;
    entry.type = source.type;
    entry.size = static_cast<std::uint32_t>(size);
    entry.storedSize = static_cast<std::uint32_t>(stored);
    entry.dataOffset = static_cast<std::uint32_t>(offset);
    entry.creationTime = source.creationTime;
    entry.lastWriteTime = source.lastWriteTime;
    table_.push_back(entry);
    record_.entryHashes.push_back(hash);
    return true;
  }
  bool WriteBatch(const std::vector<SourceEntry>& entries, std::size_t first, std::size_t end);
  bool WriteStored(const SourceEntry& e);
  bool WriteStreamed(const SourceEntry& e);

  PackageOutput& out_;
  std::uint64_t fileStart_;
  int level_;
  unsigned jobs_;
  std::string& error_;
  PackProgress progress_;
  EntryList table_;
  ChecksumRecord record_;
};

bool PackageWriter::WriteBatch(const std::vector<SourceEntry>& entries, std::size_t first, std::size_t end) {
  std::vector<std::vector<std::uint8_t>> loaded(end - first);
  std::vector<CompressInput> inputs;
  std::uint64_t largest = 0;
  for (std::size_t i = first; i < end; ++i) {
    const SourceEntry& e = entries[i];
    std::vector<std::uint8_t>& bytes = loaded[i - first];
    if (!e.file.empty()) {
      bytes.resize(static_cast<std::size_t>(e.fileSize));
      if (!EntryInput(e, error_).Read(0, bytes.data(), bytes.size())) return false;
    }
    const std::vector<std::uint8_t>& data = e.file.empty() ? e.data : bytes;
    inputs.push_back({data.data(), data.size()});
    largest = std::max<std::uint64_t>(largest, data.size());
  }
  std::vector<std::vector<std::uint8_t>> blocks =
      CompressBlocks(inputs, level_, ParallelParses(level_, jobs_, largest));
  for (std::size_t i = first; i < end; ++i) {
    const SourceEntry& e = entries[i];
    if (progress_ != nullptr) progress_(i, entries.size(), e.name);
    const CompressInput& input = inputs[i - first];
    std::vector<std::uint8_t>& stored = blocks[i - first];
    // A block never comes out as long as its data (that would read as
    // stored bytes); the decoder ignores a byte behind the end code.
    if (stored.size() == input.size) stored.push_back(0);
    const std::uint64_t offset = Here();
    if (!Append(stored.data(), stored.size(), e.name) ||
        !Record(e, input.size, offset, HashBytes(input.data, input.size)))
      return false;
    std::vector<std::uint8_t>().swap(stored);
    std::vector<std::uint8_t>().swap(loaded[i - first]);
  }
  return true;
}

// Bytes stored as they are, in pieces. A nested package stored so gets no
// hash of its own: the installer checks it entry by entry when it installs it.
bool PackageWriter::WriteStored(const SourceEntry& e) {
  const std::uint64_t offset = Here();
  EntryInput input(e, error_);
  std::vector<std::uint8_t> piece(static_cast<std::size_t>(std::min<std::uint64_t>(e.Size(), kCopyPiece)));
  for (std::uint64_t done = 0; done < e.Size();) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(e.Size() - done, piece.size()));
    if (!input.Read(done, piece.data(), n) || !Append(piece.data(), n, e.name)) return false;
    done += n;
  }
  return Record(e, e.Size(), offset, 0);
}

// A large entry: read, compressed and written stretch by stretch; the
// block's header, whose checksum is known last, is written over at the end.
bool PackageWriter::WriteStreamed(const SourceEntry& e) {
  const std::uint64_t offset = Here();
  EntryInput input(e, error_);
  bool past = false, failed = false;
  auto read = [&](std::uint64_t position, std::uint8_t* to, std::size_t size) { return input.Read(position, to, size); };
  auto write = [&](const std::uint8_t* data, std::size_t size) {
    if (size > kFormatLimit - std::min(Here(), kFormatLimit)) return !(past = true);
    return out_.Append(data, size) || !(failed = true);
  };
  StreamedBlock block;
  if (!CompressStreamed(e.Size(), level_, jobs_, read, write, block)) {
    if (past) return PastLimit(e.name);
    if (failed) error_ = "the output cannot be written (is the disk full?)";
    if (error_.empty()) error_ = e.name + ": cannot be compressed";
    return false;
  }
  if (!out_.Overwrite(fileStart_ + offset, block.header.data(), block.header.size())) {
    error_ = "the output cannot be written";
    return false;
  }
  // A block exactly as long as its data gets a byte behind its end code (Finish).
  return Record(e, e.Size(), offset, block.contentHash);
}

bool PackageWriter::Write(const std::vector<SourceEntry>& entries) {
  const std::uint64_t start = Here();
  if (start > kFormatLimit) {
    error_ = "the executable in front of the package is larger than 4 GiB";
    return false;
  }
  // Everything the format cannot hold is refused before any work.
  for (const SourceEntry& e : entries) {
    if (e.nested == nullptr && e.Size() > kFormatLimit) {
      error_ = (e.file.empty() ? e.name : e.file.u8string()) + ": " + SizeText(e.Size()) +
               " bytes; a package entry holds at most 4294967295 bytes (4 GiB - 1: its sizes are 32-bit)";
      return false;
    }
  }
  // The checksum record goes first, between what stands before the package
  // and D; it is written over once the table is known.
  const std::uint64_t recordSize = ChecksumRecordSize(entries.size() + 1);
  const std::vector<std::uint8_t> placeholder(static_cast<std::size_t>(recordSize), 0);
  if (!Append(placeholder.data(), placeholder.size(), "the checksum record")) return false;
  for (std::size_t i = 0; i < entries.size();) {
    const SourceEntry& e = entries[i];
    if (Batched(e)) {
      // Small entries in a row, up to kBatchInput bytes of them, are read and
      // compressed side by side, on all the threads asked for; the result is
      // the same whatever their number.
      std::size_t end = i;
      std::uint64_t total = 0;
      while (end < entries.size() && Batched(entries[end]) && (end == i || total + entries[end].Size() <= kBatchInput))
        total += entries[end++].Size();
      if (!WriteBatch(entries, i, end)) return false;
      i = end;
      continue;
    }
    if (progress_ != nullptr) progress_(i, entries.size(), e.name);
    bool ok;
    if (e.nested != nullptr) {
      const std::uint64_t offset = Here();
      ok = PackageWriter(out_, out_.Position(), level_, jobs_, error_, progress_).Write(*e.nested) &&
           Record(e, Here() - offset, offset, 0);
    } else if (e.Size() == 0) {
      ok = Record(e, 0, Here(), 0);
    } else if (e.storeAsIs) {
      ok = WriteStored(e);
    } else {
      ok = WriteStreamed(e);
    }
    if (!ok) return false;
    ++i;
  }
  if (progress_ != nullptr) progress_(entries.size(), entries.size(), "");
  PackageEntry named;
  named.name = kChecksumsEntryName;
  named.type = kEntryChecksums;
  named.size = static_cast<std::uint32_t>(recordSize);
  named.dataOffset = static_cast<std::uint32_t>(start);
  table_.push_back(named);
  record_.entryHashes.push_back(0);
  std::vector<std::uint8_t> tableBytes = SerializeEntryTable(table_);
  record_.tableHash = HashBytes(tableBytes.data(), tableBytes.size());
  const std::vector<std::uint8_t> recordBytes = SerializeChecksumRecord(record_);
  std::vector<std::uint8_t> storedTable = BlockForm(tableBytes.data(), tableBytes.size(), level_);
  if (tableBytes.size() > kFormatLimit - 8 || Here() + storedTable.size() + kTrailerSize > kFormatLimit) {
    error_ = "the package's entry table passes the format's 4 GiB limit";
    return false;
  }
  if (!out_.Overwrite(fileStart_ + start, recordBytes.data(), recordBytes.size()) ||
      !Append(storedTable.data(), storedTable.size(), "the entry table")) {
    if (error_.empty()) error_ = "the output cannot be written";
    return false;
  }
  PackageTrailer trailer;
  trailer.tableSize = static_cast<std::uint32_t>(tableBytes.size());
  trailer.tableStoredSize = static_cast<std::uint32_t>(storedTable.size());
  trailer.dataStart = static_cast<std::uint32_t>(start + recordSize);
  trailer.magic = kPackageMagic;
  const auto trailerBytes = SerializeTrailer(trailer);
  return Append(trailerBytes.data(), trailerBytes.size(), "the trailer");
}

}  // namespace

bool WritePackage(const std::vector<SourceEntry>& entries, int level, PackageOutput& out, std::uint64_t fileStart,
                  std::string& error, PackProgress progress, unsigned jobs) {
  if (fileStart > out.Position()) {
    error = "the package's file starts behind the output";
    return false;
  }
  return PackageWriter(out, fileStart, level, jobs, error, progress).Write(entries);
}

bool WritePackage(const std::vector<SourceEntry>& entries, int level, std::vector<std::uint8_t>& out,
                  std::string& error, PackProgress progress, unsigned jobs) {
  MemoryOutput output(out);
  return WritePackage(entries, level, output, 0, error, progress, jobs);
}

bool HasSignature(const std::vector<std::uint8_t>& file) {
  std::uint64_t end = 0;
  return SignedImagePackageEnd(file.data(), file.size() < 4096 ? file.size() : 4096, file.size(), end);
}

bool FileSource::Open(const std::filesystem::path& path, std::string& error) {
  file_.open(path, std::ios::binary);
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (!file_ || ec) {
    error = path.u8string() + ": cannot be read";
    return false;
  }
  size_ = size;
  return true;
}

bool FileSource::ReadAt(std::uint64_t position, std::uint8_t* out, std::size_t size) {
  if (position > size_ || size > size_ - position) return false;
  file_.clear();
  file_.seekg(static_cast<std::streamoff>(position));
  file_.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(size));
  return file_.good() && static_cast<std::size_t>(file_.gcount()) == size;
}

namespace {

// Decoded bytes kept in memory, given back from there.
class VectorSink : public EntrySink {
 public:
  explicit VectorSink(std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
  bool Write(const std::uint8_t* data, std::size_t size) override {
    bytes_.insert(bytes_.end(), data, data + size);
    return true;
  }
  bool ReadBack(std::uint64_t position, std::uint8_t* out, std::size_t size) override {
    if (position > bytes_.size() || size > bytes_.size() - position) return false;
    std::copy(bytes_.begin() + static_cast<std::ptrdiff_t>(position),
              bytes_.begin() + static_cast<std::ptrdiff_t>(position + size), out);
    return true;
  }

 private:
  std::vector<std::uint8_t>& bytes_;
};

// Decoded bytes that only pass (the hash and checksum see them).
class NullSink : public EntrySink {
 public:
  bool Write(const std::uint8_t*, std::size_t) override { return true; }
  bool ReadBack(std::uint64_t, std::uint8_t*, std::size_t) override { return false; }
};

std::filesystem::path ScratchFile() {
  static std::atomic<unsigned> counter{0};
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
  if (ec) folder = ".";
  return folder / ("brindorel-check-" + std::to_string(static_cast<long long>(ticks)) + "-" +
                   std::to_string(counter.fetch_add(1)) + ".tmp");
}

}  // namespace

bool FileSink::Create(const std::filesystem::path& path) {
  file_.open(path, std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
  written_ = 0;
  failed_ = !file_;
  return !failed_;
}

bool FileSink::Write(const std::uint8_t* data, std::size_t size) {
  if (failed_) return false;
  // A read back moved the position: writing goes on at the end.
  file_.seekp(static_cast<std::streamoff>(written_));
  file_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  written_ += size;
  failed_ = !file_;
  return !failed_;
}

bool FileSink::ReadBack(std::uint64_t position, std::uint8_t* out, std::size_t size) {
  if (failed_ || position > written_ || size > written_ - position) return false;
  file_.seekg(static_cast<std::streamoff>(position));
  file_.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(size));
  failed_ = !file_ || static_cast<std::size_t>(file_.gcount()) != size;
  return !failed_;
}

bool FileSink::Close() {
  file_.close();
  return !failed_ && !file_.fail();
}

EntryState CheckEntry(PackageSource& source, const LocatedEntry& entry, StreamBuffers& buffers) {
  NullSink nowhere;
  const EntryState state = StreamEntryData(source, entry, nowhere, buffers);
  if (state != EntryState::Unwritable) return state;
  // Matches beyond the window need the bytes given back.
  const std::filesystem::path scratch = ScratchFile();
  FileSink file;
  EntryState again = EntryState::Unwritable;
  if (file.Create(scratch)) again = StreamEntryData(source, entry, file, buffers);
  file.Close();
  std::error_code ec;
  std::filesystem::remove(scratch, ec);
  return again;
}

ReadResult ReadPackageFrom(PackageSource& source, bool keepData) {
  ReadResult result;
  PackageLayout layout;
  result.problemCode = OpenPackage(source, layout);
  result.trailer = layout.trailer;
  result.signedImage = layout.signedImage;
  result.tableStoredAsIs = layout.tableStoredAsIs;
  if (result.problemCode != PackageProblem::None) {
    result.problem = PackageProblemText(result.problemCode);
    return result;
  }
  result.found = true;
  StreamBuffers buffers;
  for (const LocatedEntry& located : layout.entries) {
    ReadEntry read;
    read.entry = located.entry;
    read.located = located;
    if (keepData) {
      VectorSink sink(read.data);
      read.state = StreamEntryData(source, located, sink, buffers);
    } else {
      read.state = CheckEntry(source, located, buffers);
    }
    read.decoded = EntryUsable(read.state);
    if (!read.decoded) std::vector<std::uint8_t>().swap(read.data);
    result.entries.push_back(std::move(read));
  }
  return result;
}

ReadResult ReadPackageBytes(const std::vector<std::uint8_t>& file) {
  MemorySource source(file.data(), file.size());
  return ReadPackageFrom(source, true);
}

}  // namespace brindorel::pack

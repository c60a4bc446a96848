#include "package/package_reader.h"

#include <cstring>
#include <limits>
#include <new>

#include "package/block_decoder.h"
#include "package/content_hash.h"
#include "services/text.h"

namespace brindorel {

namespace {

// The first bytes of an image, enough for its DOS and PE headers.
constexpr std::size_t kImageHeadSize = 4096;

bool ReadTrailerAt(PackageSource& source, std::uint64_t end, PackageTrailer& trailer) {
  if (end < kTrailerSize || end > source.Size()) return false;
  std::uint8_t bytes[kTrailerSize];
  return source.ReadAt(end - kTrailerSize, bytes, kTrailerSize) && ParseTrailer(bytes, trailer);
}

// Finds the trailer: at the end of the source, or, for a signed image whose
// certificate table was added behind the package, just before that table.
bool FindTrailer(PackageSource& source, PackageLayout& layout) {
  const std::uint64_t size = source.Size();
  if (ReadTrailerAt(source, size, layout.trailer)) {
    layout.packageEnd = size;
    return true;
  }
  const std::size_t headSize = size < kImageHeadSize ? static_cast<std::size_t>(size) : kImageHeadSize;
  std::uint8_t head[kImageHeadSize];
  if (!source.ReadAt(0, head, headSize)) return false;
  std::uint64_t signedEnd = 0;
  if (!SignedImagePackageEnd(head, headSize, size, signedEnd) || signedEnd < 8) return false;
  std::uint8_t tail[8];
  if (!source.ReadAt(signedEnd - 8, tail, 8)) return false;
  signedEnd = UnpaddedPackageEnd(tail, 8, signedEnd);
  if (!ReadTrailerAt(source, signedEnd, layout.trailer)) return false;
  layout.packageEnd = signedEnd;
  layout.signedImage = true;
  return true;
}

// A program image with bytes behind its sections (other than a certificate
// table) was meant to carry a package: without a trailer it was cut short.
bool HoldsMoreThanItsImage(PackageSource& source) {
  const std::uint64_t size = source.Size();
  const std::size_t headSize = size < kImageHeadSize ? static_cast<std::size_t>(size) : kImageHeadSize;
  std::uint8_t head[kImageHeadSize];
  if (!source.ReadAt(0, head, headSize)) return false;
  std::uint64_t imageEnd = 0;
  if (!PeImageEnd(head, headSize, imageEnd)) return false;
  std::uint64_t end = size;
  std::uint64_t signedEnd = 0;
  if (SignedImagePackageEnd(head, headSize, size, signedEnd) && signedEnd >= 8) {
    std::uint8_t tail[8];
    if (!source.ReadAt(signedEnd - 8, tail, 8)) return false;
    end = UnpaddedPackageEnd(tail, 8, signedEnd);
  }
  return end > imageEnd;
}

// With a content hash the bytes are Checked or Damaged; without one they
// are what the caller says.
EntryState JudgeByHash(ByteBuffer& bytes, std::uint64_t expectedHash, EntryState withoutHash) {
  if (expectedHash == 0) return withoutHash;
  if (HashBytes(bytes.data(), bytes.size()) == expectedHash) return EntryState::Checked;
  bytes.Release();
  return EntryState::Damaged;
}

// Finds the checksum record that the table's record entry names and checks
// it against the decoded table; fills each entry's hash. A package without
// a record entry and without a record is from a builder that writes none.
PackageProblem ApplyChecksumRecord(PackageSource& source, const PackageTrailer& trailer, const ByteBuffer& table,
                                   std::vector<LocatedEntry>& entries, bool& found) {
  found = false;
  const LocatedEntry* named = nullptr;
  for (const LocatedEntry& item : entries)
    if (item.entry.type == kEntryChecksums && item.entry.name == kChecksumsEntryName) named = &item;
  std::uint32_t footerSize = 0;
  bool footer = false;
  if (trailer.dataStart >= kChecksumsFooterSize) {
    std::uint8_t bytes[kChecksumsFooterSize];
    footer = source.ReadAt(trailer.dataStart - kChecksumsFooterSize, bytes, kChecksumsFooterSize) &&
             ParseChecksumFooter(bytes, footerSize);
  }
  if (named == nullptr && !footer) return PackageProblem::None;
  // One without the other: the table lost its record entry, or the record
  // its footer. Sizes are checked before anything is read.
  if (named == nullptr || !footer || named->entry.size != footerSize ||
      footerSize != ChecksumRecordSize(entries.size()) || footerSize > trailer.dataStart ||
      named->entry.dataOffset != trailer.dataStart - footerSize)
    return PackageProblem::ChecksumsDamaged;
  ByteBuffer bytes;
  if (!bytes.Allocate(footerSize)) return PackageProblem::NoMemory;
  ChecksumRecord record;
  if (!source.ReadAt(named->entry.dataOffset, bytes.data(), footerSize) ||
      !ParseChecksumRecord(bytes.data(), footerSize, record) || record.entryHashes.size() != entries.size() ||
      record.tableHash != HashBytes(table.data(), table.size()))
    return PackageProblem::ChecksumsDamaged;
  for (std::size_t i = 0; i < entries.size(); ++i) entries[i].hash = record.entryHashes[i];
  found = true;
  return PackageProblem::None;
}

bool CarriesData(const PackageEntry& entry) { return entry.type == kEntryFile && entry.size > 0; }

}  // namespace

bool MemorySource::ReadAt(std::uint64_t position, std::uint8_t* out, std::size_t size) {
  if (position > size_ || size > size_ - position) return false;
  if (size != 0) std::memcpy(out, data_ + position, size);
  return true;
}

bool SliceSource::ReadAt(std::uint64_t position, std::uint8_t* out, std::size_t size) {
  if (position > size_ || size > size_ - position) return false;
  return outer_.ReadAt(start_ + position, out, size);
}

bool ByteBuffer::Allocate(std::uint64_t size) {
  Release();
  // One spare byte so that a size of 0 still gives a usable pointer.
  if (size >= std::numeric_limits<std::size_t>::max()) return false;
  bytes_.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size) + 1]);
  if (!bytes_) return false;
  size_ = static_cast<std::size_t>(size);
  return true;
}

const char* PackageProblemText(PackageProblem problem) {
  switch (problem) {
    case PackageProblem::None: return "sound";
    case PackageProblem::NoPackage: return "no package (the last four bytes are not \"Pack\")";
    case PackageProblem::CutShort: return "the file holds data behind its program image but no package: it was cut short";
    case PackageProblem::TrailerMisfit: return "the package trailer's sizes do not fit the file";
    case PackageProblem::TableTooLarge: return "the entry table is larger than any package needs";
    case PackageProblem::TableDamaged: return "the entry table is damaged";
    case PackageProblem::CountMismatch: return "the entry table's count does not match its records";
    case PackageProblem::DataMisfit: return "the entries' stored sizes do not fill the entry data exactly";
    case PackageProblem::UnsafeName: return "an entry's name would leave the target folder";
    case PackageProblem::ChecksumsDamaged: return "the package's checksum record is damaged";
    case PackageProblem::NoMemory: return "the entry table does not fit in memory";
  }
  return "unknown problem";
}

bool EntryUsable(EntryState state) { return state == EntryState::Checked || state == EntryState::Unchecked; }

bool StoredAsIs(std::uint32_t size, std::uint32_t storedSize) { return size == storedSize; }

EntryState DecodeStoredForm(std::uint8_t* stored, std::size_t storedSize, std::uint32_t size,
                            std::uint64_t expectedHash, ByteBuffer& out, std::uint64_t memoryLimit) {
  out.Release();
  if (storedSize == size) {
    if (size > memoryLimit || !out.Allocate(size)) return EntryState::NoMemory;
    if (size != 0) std::memcpy(out.data(), stored, size);
    return JudgeByHash(out, expectedHash, EntryState::Unchecked);
  }
  if (size == 0 || BlockDecodedSize(stored, storedSize) != size) return EntryState::Damaged;
  // The decoder may write a few bytes past the decoded size.
  const std::uint64_t capacity = std::uint64_t(size) + kDecodeSlack;
  if (capacity > memoryLimit || !out.Allocate(capacity)) return EntryState::NoMemory;
  // The decoder would sum the announced size even after an early end code,
  // reading bytes it never wrote (gigabytes for a bogus size).
  std::uint8_t sumField[4];
  std::memcpy(sumField, stored + 6, 4);
  std::memset(stored + 6, 0, 4);
  const std::size_t written = DecompressBlock(stored, storedSize, out.data(), out.size());
  std::memcpy(stored + 6, sumField, 4);
  if (written != size) {
    out.Release();
    return EntryState::Damaged;
  }
  out.Shrink(size);
  if (expectedHash != 0) return JudgeByHash(out, expectedHash, EntryState::Checked);
  const std::uint32_t checksum = LoadLe32(sumField);
  if (checksum != 0 && BlockChecksum(out.data(), size) != checksum) {
    out.Release();
    return EntryState::Damaged;
  }
  // A checksum field of 0 means the block is not checked; below four bytes
  // the checksum is 0 by definition, and decoding to the size is all there is.
  return checksum != 0 || size < 4 ? EntryState::Checked : EntryState::Unchecked;
}

PackageProblem OpenPackage(PackageSource& source, PackageLayout& layout) {
  layout = PackageLayout();
  if (!FindTrailer(source, layout))
    return HoldsMoreThanItsImage(source) ? PackageProblem::CutShort : PackageProblem::NoPackage;
  const PackageTrailer& t = layout.trailer;
  if (!TrailerFits(t, layout.packageEnd)) return PackageProblem::TrailerMisfit;
  if (t.tableSize > kTableSizeLimit) return PackageProblem::TableTooLarge;
  if (t.tableSize < 4) return PackageProblem::CountMismatch;
  layout.tableStart = layout.packageEnd - kTrailerSize - t.tableStoredSize;
  layout.tableStoredAsIs = StoredAsIs(t.tableSize, t.tableStoredSize);

  // P fits the file, so this allocation is bounded by the source's size.
  ByteBuffer stored;
  if (!stored.Allocate(t.tableStoredSize)) return PackageProblem::NoMemory;
  if (!source.ReadAt(layout.tableStart, stored.data(), t.tableStoredSize)) return PackageProblem::TableDamaged;
  ByteBuffer table;
  const EntryState state = DecodeStoredForm(stored.data(), t.tableStoredSize, t.tableSize, 0, table);
  if (state == EntryState::NoMemory) return PackageProblem::NoMemory;
  if (!EntryUsable(state)) return PackageProblem::TableDamaged;
  stored.Release();

  const EntryList entries = ParseEntryTable(table.data(), table.size());
  if (entries.size() != LoadLe32(table.data())) return PackageProblem::CountMismatch;

  // The data of the entries that carry any fills the region between D and
  // the table exactly; a table that says otherwise would have the reader
  // take one entry's bytes for another's.
  std::uint64_t position = t.dataStart;
  std::vector<LocatedEntry> located;
  located.reserve(entries.size());
  for (const PackageEntry& entry : entries) {
    if ((entry.type == kEntryFile || entry.type == kEntryFolder) && !IsSafeEntryName(entry.name))
      return PackageProblem::UnsafeName;
    LocatedEntry item;
    item.entry = entry;
    item.carriesData = CarriesData(entry);
    item.dataPosition = position;
    if (item.carriesData) position += entry.storedSize;
    located.push_back(std::move(item));
  }
  if (position != layout.tableStart) return PackageProblem::DataMisfit;
  const PackageProblem checksums = ApplyChecksumRecord(source, t, table, located, layout.hasChecksums);
  if (checksums != PackageProblem::None) return checksums;
  layout.entries = std::move(located);
  return PackageProblem::None;
}

EntryState ReadEntryData(PackageSource& source, const LocatedEntry& entry, ByteBuffer& out,
                         std::uint64_t memoryLimit) {
  out.Release();
  if (!entry.carriesData) {
    return out.Allocate(0) ? EntryState::Checked : EntryState::NoMemory;
  }
  const PackageEntry& e = entry.entry;
  if (StoredAsIs(e.size, e.storedSize)) {
    // Read straight into place: there is nothing to decode.
    if (e.size > memoryLimit || !out.Allocate(e.size)) return EntryState::NoMemory;
    if (!source.ReadAt(entry.dataPosition, out.data(), e.size)) {
      out.Release();
      return EntryState::Unreadable;
    }
    return JudgeByHash(out, entry.hash, EntryState::Unchecked);
  }
  ByteBuffer stored;
  if (e.storedSize > memoryLimit || !stored.Allocate(e.storedSize)) return EntryState::NoMemory;
  if (!source.ReadAt(entry.dataPosition, stored.data(), e.storedSize)) return EntryState::Unreadable;
  return DecodeStoredForm(stored.data(), e.storedSize, e.size, entry.hash, out, memoryLimit);
}

StreamBuffers::StreamBuffers(std::size_t windowSize, std::size_t inputSize, std::size_t outputPiece)
    : windowSize_(windowSize == 0 ? 1 : windowSize),
      inputSize_(inputSize < kStreamInputMinimum ? kStreamInputMinimum : inputSize),
      outputPiece_(outputPiece == 0 ? 1 : outputPiece) {}

std::uint8_t* StreamBuffers::Window(std::uint64_t entrySize, std::size_t& size) {
  // An entry smaller than the window needs no more than itself (and the
  // slack that lets the decoder's fast path run to its end).
  const std::uint64_t wanted = entrySize + kBlockWindowSlack < windowSize_ ? entrySize + kBlockWindowSlack : windowSize_;
  if (window_.data() == nullptr || window_.size() < wanted) {
    if (!window_.Allocate(wanted)) return nullptr;
  }
  size = window_.size();
  return window_.data();
}

std::uint8_t* StreamBuffers::Input() {
  if (input_.data() == nullptr && !input_.Allocate(inputSize_)) return nullptr;
  return input_.data();
}

namespace {

// The decoder's history reader over the sink; remembers that the sink failed.
struct HistoryContext {
  EntrySink* sink;
  bool failed;
};

bool ReadHistory(void* context, std::uint64_t position, std::uint8_t* to, std::size_t size) {
  HistoryContext& history = *static_cast<HistoryContext*>(context);
  if (history.sink->ReadBack(position, to, size)) return true;
  history.failed = true;
  return false;
}

// Hashes the bytes on their way to the sink when the entry has a hash.
class HashingPass {
 public:
  HashingPass(EntrySink& sink, std::uint64_t expected) : sink_(sink), expected_(expected) {}
  bool Write(const std::uint8_t* data, std::size_t size) {
    if (expected_ != 0) hash_.Add(data, size);
    return sink_.Write(data, size);
  }
  // With a hash the bytes are Checked or Damaged; without, what the caller says.
  EntryState Judge(EntryState withoutHash) const {
    if (expected_ == 0) return withoutHash;
    return hash_.Finish() == expected_ ? EntryState::Checked : EntryState::Damaged;
  }

 private:
  EntrySink& sink_;
  std::uint64_t expected_;
  ContentHash hash_;
};

EntryState CopyStored(PackageSource& source, const LocatedEntry& entry, HashingPass& pass, StreamBuffers& buffers) {
  std::uint8_t* piece = buffers.Input();
  if (piece == nullptr) return EntryState::NoMemory;
  std::uint64_t position = entry.dataPosition;
  for (std::uint64_t left = entry.entry.size; left != 0;) {
    const std::size_t n = left < buffers.inputSize() ? std::size_t(left) : buffers.inputSize();
    if (!source.ReadAt(position, piece, n)) return EntryState::Unreadable;
    if (!pass.Write(piece, n)) return EntryState::Unwritable;
    position += n;
    left -= n;
  }
  return pass.Judge(EntryState::Unchecked);
}

EntryState DecodeStreamed(PackageSource& source, const LocatedEntry& entry, EntrySink& sink, HashingPass& pass,
                          StreamBuffers& buffers) {
  const PackageEntry& e = entry.entry;
  std::uint8_t header[kBlockHeaderSize];
  if (e.storedSize < kBlockHeaderSize) return EntryState::Damaged;
  if (!source.ReadAt(entry.dataPosition, header, kBlockHeaderSize)) return EntryState::Unreadable;
  if (BlockDecodedSize(header, kBlockHeaderSize) != e.size) return EntryState::Damaged;
  // With a content hash the hash decides, as for a block decoded whole.
  const std::uint32_t checksum = LoadLe32(header + kBlockChecksumOffset);
  if (entry.hash != 0) StoreLe32(header + kBlockChecksumOffset, 0);
  std::size_t windowSize = 0;
  std::uint8_t* const window = buffers.Window(e.size, windowSize);
  std::uint8_t* const input = buffers.Input();
  if (window == nullptr || input == nullptr) return EntryState::NoMemory;
  HistoryContext history{&sink, false};
  BlockStream stream;
  if (!BeginBlockStream(stream, header, kBlockHeaderSize, window, windowSize, ReadHistory, &history))
    return EntryState::Damaged;

  // input[used, have) is given and not yet consumed; the stored bytes from
  // `next` on (`left` of them) are still in the source.
  std::uint64_t next = entry.dataPosition + kBlockHeaderSize;
  std::uint64_t left = e.storedSize - kBlockHeaderSize;
  std::size_t have = 0, used = 0;
  auto refill = [&]() {
    std::memmove(input, input + used, have - used);
    have -= used;
    used = 0;
    const std::size_t room = buffers.inputSize() - have;
    const std::size_t n = left < room ? std::size_t(left) : room;
    if (n != 0 && !source.ReadAt(next, input + have, n)) return false;
    next += n;
    left -= n;
    have += n;
    return true;
  };
  if (!refill()) return EntryState::Unreadable;
  for (;;) {
    const BlockStreamResult r = DecodeBlockStream(stream, input + used, have - used, left == 0, buffers.outputPiece());
    used += r.inputUsed;
    if (r.outputSize != 0 && !pass.Write(window + r.outputOffset, r.outputSize)) return EntryState::Unwritable;
    switch (r.status) {
      case BlockStreamStatus::kFinished:
        // Below four bytes the checksum is 0 by definition, and decoding to
        // the size is all there is.
        return pass.Judge(checksum != 0 || e.size < 4 ? EntryState::Checked : EntryState::Unchecked);
      case BlockStreamStatus::kFailed:
        return history.failed ? EntryState::Unwritable : EntryState::Damaged;
      case BlockStreamStatus::kNeedsInput:
        // The input that the decoder left is under one step long (the
        // buffer holds several), so a refill always brings more.
        if (left == 0) return EntryState::Damaged;
        if (!refill()) return EntryState::Unreadable;
        break;
      case BlockStreamStatus::kOutputFull:
        break;
    }
  }
}

}  // namespace

EntryState StreamEntryData(PackageSource& source, const LocatedEntry& entry, EntrySink& sink,
                           StreamBuffers& buffers) {
  if (!entry.carriesData) return EntryState::Checked;
  HashingPass pass(sink, entry.hash);
  if (StoredAsIs(entry.entry.size, entry.entry.storedSize)) return CopyStored(source, entry, pass, buffers);
  return DecodeStreamed(source, entry, sink, pass, buffers);
}

std::vector<std::string> NoCopyExtensions(const std::string& noCopyList) {
  std::vector<std::string> extensions;
  if (noCopyList.empty()) return extensions;
  std::size_t bars = 0;
  for (char c : noCopyList)
    if (c == '|') ++bars;
  if (bars == 0) {
    extensions.push_back(noCopyList);
    return extensions;
  }
  // The text after the last "|" is not a counted field.
  std::size_t start = 0;
  for (std::size_t i = 0; i < bars; ++i) {
    std::size_t end = noCopyList.find('|', start);
    extensions.push_back(noCopyList.substr(start, end - start));
    start = end + 1;
  }
  return extensions;
}

std::string EntryExtension(const std::string& name) {
  std::size_t found = name.find_last_of("./\\");
  if (found == std::string::npos || name[found] != '.') return "";
  std::size_t end = name.find('"', found + 1);
  return name.substr(found + 1, end == std::string::npos ? std::string::npos : end - found - 1);
}

std::string EntryFolderPart(const std::string& name) {
  for (std::size_t i = name.size(); i-- > 0;) {
    if (name[i] == '|') return "";
    if (name[i] == '\\' || name[i] == '/') return name.substr(0, i + 1);
  }
  return "";
}

std::string StagingFolderName(const std::vector<LocatedEntry>& entries) {
  for (int attempt = 0;; ++attempt) {
    const std::string name = "~brindorel" + (attempt == 0 ? std::string() : NumberToText(attempt)) + ".tmp";
    bool used = false;
    for (const LocatedEntry& item : entries) {
      const std::string& entryName = item.entry.name;
      const std::size_t level = entryName.find_first_of("\\/");
      used = used || EqualIgnoringAsciiCase(entryName.substr(0, level), name);
    }
    if (!used) return name;
  }
}

}  // namespace brindorel

// Package reading (layout in package_format.h), shared by the installer and
// the builder's list, verify and extract commands, so that they can never
// disagree about a package.
//
// The portable reader works on a PackageSource (a file, a part of a file, a
// buffer). OpenPackage finds the trailer, checks its sizes against the bytes
// that hold it, decodes and parses the entry table and checks it against the
// data region: the table's count must match its records, the stored sizes of
// the entries that carry data must fill the region between D and the table
// exactly, and every name must stay inside the target folder. ReadEntryData
// then reads one entry's data and decodes it. Every size taken from a package
// is computed in 64-bit arithmetic and checked before anything is allocated;
// an allocation that fails is a failure of that entry, never an abort.
//
// StreamEntryData reads an entry in bounded memory whatever its size (up to
// the format's 4 GiB): stored bytes are copied in pieces, a block is decoded
// by the block stream into a window of recent output, and the decoded bytes
// go to an EntrySink as they come (a file, a hash), which also gives back
// what it was given when a match reaches further back than the window. The
// content hash or the block checksum is computed as the bytes pass.
//
// The Windows side (package_reader_win.cpp) adds ReadPackage/ExtractPackage:
// extraction decodes and checks every entry into a hidden staging folder
// inside the target before anything is put in place, so a damaged package
// leaves nothing behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "package/block_decoder.h"
#include "package/package_format.h"

namespace brindorel {

// ---- the portable reader ----

// Where a package's bytes come from.
class PackageSource {
 public:
  virtual ~PackageSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Reads exactly `size` bytes at `position`; false when it cannot.
  virtual bool ReadAt(std::uint64_t position, std::uint8_t* out, std::size_t size) = 0;
};

// A source over bytes in memory (not owned).
class MemorySource : public PackageSource {
 public:
  MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t position, std::uint8_t* out, std::size_t size) override;

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

// A window [start, start + size) of another source, read as a file of its own
// (a setup.pck stored inside an installer).
class SliceSource : public PackageSource {
 public:
  SliceSource(PackageSource& outer, std::uint64_t start, std::uint64_t size)
      : outer_(outer), start_(start), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t position, std::uint8_t* out, std::size_t size) override;

 private:
  PackageSource& outer_;
  std::uint64_t start_;
  std::uint64_t size_;
};

// Bytes from the heap, allocated without throwing and without being filled
// first: a bogus size costs address space, not memory.
class ByteBuffer {
 public:
  // False when `size` does not fit this process or the heap refuses it.
  bool Allocate(std::uint64_t size);
  std::uint8_t* data() { return bytes_.get(); }
  const std::uint8_t* data() const { return bytes_.get(); }
  std::size_t size() const { return size_; }
  void Release() {
    bytes_.reset();
    size_ = 0;
  }
  // Keeps the first `size` bytes (never grows).
  void Shrink(std::size_t size) {
    if (size < size_) size_ = size;
  }

 private:
  std::unique_ptr<std::uint8_t[]> bytes_;
  std::size_t size_ = 0;
};

// Explicit limits on what a package may ask for.
constexpr std::uint64_t kFormatLimit = 0xFFFFFFFFull;        // every size and position is a u32
constexpr std::uint64_t kTableSizeLimit = 256ull << 20;      // decoded entry table
// The decoder may write up to this many bytes past a block's decoded size.
constexpr std::uint64_t kDecodeSlack = 8;

enum class PackageProblem {
  None,
  NoPackage,        // too short, or no "Pack" at the end (nor before a certificate table)
  CutShort,         // a program image with bytes behind it but no package: a cut download
  TrailerMisfit,    // U, P or D do not fit the file
  TableTooLarge,    // U passes the table limit
  TableDamaged,     // the table block does not decode to U bytes with its checksum
  CountMismatch,    // the table's count is not borne out by its records
  DataMisfit,       // stored sizes do not fill the data region exactly
  UnsafeName,       // a name would leave the target folder
  ChecksumsDamaged, // the checksum record is missing, damaged or disagrees with the table
  NoMemory,         // the table could not be held
};

// Why a package was refused, in words ("the entry table is damaged").
const char* PackageProblemText(PackageProblem problem);

struct LocatedEntry {
  PackageEntry entry;
  std::uint64_t dataPosition = 0;  // where its stored bytes begin in the source
  bool carriesData = false;        // a file of size > 0: its stored bytes follow in table order
  std::uint64_t hash = 0;          // its content hash from the checksum record; 0: none
};

struct PackageLayout {
  PackageTrailer trailer;
  std::uint64_t packageEnd = 0;  // where the trailer ends (before a certificate table)
  std::uint64_t tableStart = 0;  // F - 16 - P, the end of the entry data
  bool signedImage = false;      // found before a certificate table
  bool tableStoredAsIs = false;  // P equals U: the table has no checksum
  bool hasChecksums = false;     // a checksum record covers the table and the entries
  std::vector<LocatedEntry> entries;
};

// Reads and checks the trailer and the entry table. On a problem `layout`
// holds what was read so far and its entry list is empty.
PackageProblem OpenPackage(PackageSource& source, PackageLayout& layout);

enum class EntryState {
  Checked,    // decoded to its size, content hash or block checksum compared
  Unchecked,  // sound as far as can be told, but nothing covers its bytes: stored
              // as it is, or a block whose checksum field is 0
  Damaged,    // does not decode to its size or fails its checksum
  Unreadable, // its bytes could not be read from the source
  NoMemory,   // its size could not be held in memory
  Unwritable, // streamed: the sink could not take its bytes, or give them back (a full disk)
};

bool EntryUsable(EntryState state);  // Checked or Unchecked

// The most an entry may take in memory unless the caller says otherwise:
// whatever the format allows (the heap decides).
constexpr std::uint64_t kNoMemoryLimit = kFormatLimit + kDecodeSlack;

// Reads and decodes the data of one entry of a layout into `out` (sized to the
// entry's size; empty for entries without data, which are Checked). An entry
// whose size passes `memoryLimit` is NoMemory without an allocation.
EntryState ReadEntryData(PackageSource& source, const LocatedEntry& entry, ByteBuffer& out,
                         std::uint64_t memoryLimit = kNoMemoryLimit);

// How a stored form holds `size` bytes: stored as it is when the stored size
// equals the size, else one block.
bool StoredAsIs(std::uint32_t size, std::uint32_t storedSize);

// Decodes `storedSize` bytes that must give exactly `size` bytes (a block, or
// the bytes themselves when the sizes are equal) into `out`, and compares
// `expectedHash` (0: none) or else the block's checksum. The checksum is
// compared over the decoded bytes only (a stream that ends early fails
// without the rest of the buffer being read), so the block's checksum field
// in `stored` is cleared while it is decoded and put back afterwards.
EntryState DecodeStoredForm(std::uint8_t* stored, std::size_t storedSize, std::uint32_t size,
                            std::uint64_t expectedHash, ByteBuffer& out, std::uint64_t memoryLimit = kNoMemoryLimit);

// ---- streaming ----

// Takes an entry's decoded bytes in order.
class EntrySink {
 public:
  virtual ~EntrySink() = default;
  // The next `size` bytes of the entry; false when they cannot be kept.
  virtual bool Write(const std::uint8_t* data, std::size_t size) = 0;
  // Gives back `size` bytes written before, from `position` (counted from
  // the entry's first byte), for a block whose matches reach further back
  // than the window (other builders' blocks; ours keep within it). False
  // when it cannot.
  virtual bool ReadBack(std::uint64_t position, std::uint8_t* out, std::size_t size) = 0;
};

// The memory streaming works in: a window of recent decoded output and a
// piece of the stored input, allocated on first need and reused for every
// entry. The window grows up to `windowSize` (no larger than an entry
// needs), so an extraction holds at most windowSize + inputSize bytes:
// 33 MiB with the defaults, whatever the entries' sizes. Each decoding call
// gives at most `outputPiece` bytes to the sink.
constexpr std::size_t kStreamInputSize = std::size_t(1) << 20;
constexpr std::size_t kStreamOutputPiece = std::size_t(1) << 20;
constexpr std::size_t kStreamInputMinimum = 64;  // smaller inputs are raised to this

class StreamBuffers {
 public:
  explicit StreamBuffers(std::size_t windowSize = kBlockWindowSize, std::size_t inputSize = kStreamInputSize,
                         std::size_t outputPiece = kStreamOutputPiece);
  // The window for an entry of `entrySize` bytes; null when it cannot be had.
  std::uint8_t* Window(std::uint64_t entrySize, std::size_t& size);
  std::uint8_t* Input();  // inputSize() bytes; null when they cannot be had
  std::size_t inputSize() const { return inputSize_; }
  std::size_t outputPiece() const { return outputPiece_; }

 private:
  std::size_t windowSize_, inputSize_, outputPiece_;
  ByteBuffer window_, input_;
};

// Reads one entry's data from the source, in pieces, and gives the decoded
// bytes to `sink` as they come. The states are ReadEntryData's (the same
// checks decide them), plus Unwritable when the sink fails; a sink may have
// been given bytes of an entry that then turns out not usable. Entries
// without data are Checked at once.
EntryState StreamEntryData(PackageSource& source, const LocatedEntry& entry, EntrySink& sink,
                           StreamBuffers& buffers);

// ---- portable rules of extraction ----

// The extensions a no-copy list names: fields 1 to n of the list split at
// "|", n being the number of "|" (1 for a non-empty list without any).
std::vector<std::string> NoCopyExtensions(const std::string& noCopyList);
// Text after the name's last ".", up to a double quote; empty when a "\" or
// "/" comes after the last "." or there is none.
std::string EntryExtension(const std::string& name);
// Text up to and including the last "\" or "/" (the search stops at a "|").
std::string EntryFolderPart(const std::string& name);
// A name for the staging folder inside a target that no entry's first level
// uses (A-Z case ignored): "~brindorel.tmp", then "~brindorel1.tmp", ...
std::string StagingFolderName(const std::vector<LocatedEntry>& entries);

// ---- Windows: reading package files and extracting them ----

struct ExtractionStats {
  std::uint32_t filesWritten = 0;     // file entries put in place (empty files too)
  std::uint32_t foldersMade = 0;      // folder entries handled
  std::uint32_t keptExisting = 0;     // no-copy entries whose file was left as it was
  std::uint32_t corruptEntries = 0;   // data that failed to decode, its checksum, or ran out
  std::uint32_t uncheckedEntries = 0; // entries with data that no checksum covers
  std::uint32_t filesNotCreated = 0;  // output files that could not be created or written
  bool packageDamaged = false;        // the package failed a check: nothing was extracted
  bool placed = false;                // every entry was checked and staged, and put in place
                                      // (filesNotCreated counts those that could not be)
  std::vector<std::string> failedEntries;  // names of the entries that failed
};

// 1 when the trailer and entry table of the package file at `path` were read
// and passed every check, else 0 (the EntryList then stays empty). Replaces
// the EntryList and the remembered package in any case.
int ReadPackage(const std::string& path);

// Why the last ReadPackage returned 0 (None after a success).
PackageProblem LastPackageProblem();

// The entries of the package read last, in table order.
const EntryList& PackageEntries();

// Writes the entries of the package read last below `targetFolder`. Every
// entry is first decoded and checked into a hidden staging folder inside the
// target; only when all of them are sound (and were staged) are they put in
// place, so a damaged package writes nothing (stats.packageDamaged) and a
// staging failure (a full disk) writes nothing either. An entry whose name's
// extension is one of `noCopyList` ("dat|ini|": every extension closed by
// "|"; compared exactly) does not replace a file that exists already, unless
// its whole name is one of `alwaysReplaced` (A-Z case ignored), such as files
// whose stale copy would do harm. Entries stream (StreamEntryData) into their
// staging files, so memory stays bounded whatever their size; `progress` is
// called as they are staged, with the decoded bytes done and in all.
using ExtractionProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;
void ExtractPackage(const std::string& targetFolder, const std::string& noCopyList,
                    const std::vector<std::string>& alwaysReplaced = {},
                    const ExtractionProgress& progress = ExtractionProgress());

// What the last ExtractPackage did.
const ExtractionStats& LastExtractionStats();

}  // namespace brindorel

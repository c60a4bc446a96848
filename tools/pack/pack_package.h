// Packages for the builder: writing a package from entries with their data,
// and reading one back (an Install.exe or a setup.pck) through the same
// reader the installer uses (package/package_reader.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "package/package_format.h"
#include "package/package_reader.h"

namespace brindorel::pack {

struct SourceEntry {
  std::string name;                // "\"-separated; folders end in "\"
  std::uint32_t type = kEntryFile;
  std::vector<std::uint8_t> data;  // the data in memory (empty for folders) ...
  std::filesystem::path file;      // ... or, when this is set, the data is this file's
  std::uint64_t fileSize = 0;      // first fileSize bytes, read as it is packed
  std::uint64_t creationTime = 0;
  std::uint64_t lastWriteTime = 0;
  // Stored as it is, without a block. Only for "setup.pck" inside the
  // installer: its own entries and table are blocks with checksums, and the
  // installer reads it from the working folder as a package of its own.
  bool storeAsIs = false;
  // A package of these entries, written in place as this entry's stored
  // bytes (stored as it is): "setup.pck" inside the installer, so that it
  // is never held whole.
  const std::vector<SourceEntry>* nested = nullptr;

  std::uint64_t Size() const { return file.empty() ? data.size() : fileSize; }
};

// Where a package is written: bytes appended in order, and a few written
// over again (the checksum record, a block's header) once they are known.
class PackageOutput {
 public:
  virtual ~PackageOutput() = default;
  virtual std::uint64_t Position() const = 0;  // bytes written so far
  virtual bool Append(const std::uint8_t* data, std::size_t size) = 0;
  virtual bool Overwrite(std::uint64_t position, const std::uint8_t* data, std::size_t size) = 0;
};

class MemoryOutput : public PackageOutput {
 public:
  explicit MemoryOutput(std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
  std::uint64_t Position() const override { return bytes_.size(); }
  bool Append(const std::uint8_t* data, std::size_t size) override;
  bool Overwrite(std::uint64_t position, const std::uint8_t* data, std::size_t size) override;

 private:
  std::vector<std::uint8_t>& bytes_;
};

class FileOutput : public PackageOutput {
 public:
  // False (with `error`) when the file cannot be created.
  bool Create(const std::filesystem::path& path, std::string& error);
  std::uint64_t Position() const override { return position_; }
  bool Append(const std::uint8_t* data, std::size_t size) override;
  bool Overwrite(std::uint64_t position, const std::uint8_t* data, std::size_t size) override;
  // False when anything failed to reach the file.
  bool Close();

 private:
  std::ofstream file_;
  std::uint64_t position_ = 0;
};

// The stored form of `size` bytes of data: always one block (which carries
// the checksum), never exactly `size` bytes long, since a stored size equal
// to the size would mean "stored as it is".
std::vector<std::uint8_t> BlockForm(const std::uint8_t* data, std::size_t size, int level);

// Entries larger than this are read and compressed stretch by stretch
// (CompressStreamed); smaller ones are read whole, up to kBatchInput bytes
// of them at once, and compressed side by side. Either way the builder's
// memory stays bounded whatever the entries' sizes.
constexpr std::uint64_t kStreamedEntry = std::uint64_t(32) << 20;
constexpr std::uint64_t kBatchInput = std::uint64_t(64) << 20;

using PackProgress = void (*)(std::size_t done, std::size_t total, const std::string& name);

// Writes a package of `entries` to `out`. The package's file starts at
// `fileStart` in `out` (0 for an installer, whose stub stands before; where
// a nested package begins); D is the position after what stands before it.
// Every entry with data and the table are blocks (BlockForm), except
// entries marked storeAsIs or nested. False (with `error` naming the entry
// and the reason) when something passes the format's 32-bit limits (an
// entry of 4 GiB or more, a position past 4 GiB - 1) or a file cannot be
// read or the output written.
// Blocks are made on `jobs` threads (0: one for each processor) with the same
// result whatever their number.
bool WritePackage(const std::vector<SourceEntry>& entries, int level, PackageOutput& out, std::uint64_t fileStart,
                  std::string& error, PackProgress progress = nullptr, unsigned jobs = 0);
// The same, appended to `out` in memory, whose current size is D.
bool WritePackage(const std::vector<SourceEntry>& entries, int level, std::vector<std::uint8_t>& out,
                  std::string& error, PackProgress progress = nullptr, unsigned jobs = 0);

// A package file read at positions, without loading it whole.
class FileSource : public PackageSource {
 public:
  // False (with `error`) when the file cannot be opened.
  bool Open(const std::filesystem::path& path, std::string& error);
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t position, std::uint8_t* out, std::size_t size) override;

 private:
  std::ifstream file_;
  std::uint64_t size_ = 0;
};

struct ReadEntry {
  PackageEntry entry;
  LocatedEntry located;
  EntryState state = EntryState::Damaged;
  bool decoded = false;            // state is Checked or Unchecked
  std::vector<std::uint8_t> data;  // decoded, when asked for
};

struct ReadResult {
  bool found = false;        // the trailer and the table passed every check
  PackageProblem problemCode = PackageProblem::NoPackage;
  std::string problem;       // why `found` is false, in words
  PackageTrailer trailer;
  bool signedImage = false;  // the package sits before a certificate table
  bool tableStoredAsIs = false;
  std::vector<ReadEntry> entries;
};

// Opens the package of `source` and decodes every entry, streaming, in
// bounded memory (keeping the decoded bytes when `keepData` is set).
ReadResult ReadPackageFrom(PackageSource& source, bool keepData);

// Checks one entry streaming (its bytes go nowhere). A block whose matches
// reach further back than the window (another builder's) is decoded again
// through a temporary file that gives the bytes back.
EntryState CheckEntry(PackageSource& source, const LocatedEntry& entry, StreamBuffers& buffers);

// A sink into a file that gives back what it was given (std::fstream).
class FileSink : public EntrySink {
 public:
  // False when the file cannot be created.
  bool Create(const std::filesystem::path& path);
  bool Write(const std::uint8_t* data, std::size_t size) override;
  bool ReadBack(std::uint64_t position, std::uint8_t* out, std::size_t size) override;
  // False when anything failed to reach the file.
  bool Close();

 private:
  std::fstream file_;
  std::uint64_t written_ = 0;
  bool failed_ = false;
};

// The same over a file's bytes in memory, keeping the data.
ReadResult ReadPackageBytes(const std::vector<std::uint8_t>& file);

// True when the file is a PE image whose security directory names a certificate table.
bool HasSignature(const std::vector<std::uint8_t>& file);

}  // namespace brindorel::pack

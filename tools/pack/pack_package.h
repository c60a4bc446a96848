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
  std::vector<std::uint8_t> data;  // empty for folders
  std::uint64_t creationTime = 0;
  std::uint64_t lastWriteTime = 0;
  // Stored as it is, without a block. Only for "setup.pck" inside the
  // installer: its own entries and table are blocks with checksums, and the
  // installer reads it from the working folder as a package of its own.
  bool storeAsIs = false;
};

// The stored form of `size` bytes of data: always one block (which carries
// the checksum), never exactly `size` bytes long, since a stored size equal
// to the size would mean "stored as it is".
std::vector<std::uint8_t> BlockForm(const std::uint8_t* data, std::size_t size, int level);

// Appends a package of `entries` to `out`, whose current size is the
// first-data position D. Every entry with data and the table are blocks
// (BlockForm), except entries marked storeAsIs. False when a size passes the
// format's 32-bit limits.
// Blocks are made on `jobs` threads (0: one for each processor) with the same
// result whatever their number.
bool WritePackage(const std::vector<SourceEntry>& entries, int level, std::vector<std::uint8_t>& out,
                  std::string& error, void (*progress)(std::size_t done, std::size_t total, const std::string& name) = nullptr,
                  unsigned jobs = 0);

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

// Opens the package of `source` and decodes every entry (keeping the decoded
// bytes when `keepData` is set).
ReadResult ReadPackageFrom(PackageSource& source, bool keepData);

// The same over a file's bytes in memory, keeping the data.
ReadResult ReadPackageBytes(const std::vector<std::uint8_t>& file);

// True when the file is a PE image whose security directory names a certificate table.
bool HasSignature(const std::vector<std::uint8_t>& file);

}  // namespace brindorel::pack

// Packages in memory, for the builder: writing a package from entries with
// their data, and reading one back (an Install.exe or a setup.pck) with every
// size checked against the bytes that hold it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/package_format.h"

namespace brindorel::pack {

struct SourceEntry {
  std::string name;                // ANSI, "\"-separated; folders end in "\"
  std::uint32_t type = kEntryFile;
  std::vector<std::uint8_t> data;  // empty for folders
  std::uint64_t creationTime = 0;
  std::uint64_t lastWriteTime = 0;
  bool storeAsIs = false;          // never try to compress (already packed data)
};

// Appends a package of `entries` to `out`, whose current size is the
// first-data position D. Each entry (and the table) is stored as a block when
// that is smaller. False when a size passes the format's 32-bit limits.
bool WritePackage(const std::vector<SourceEntry>& entries, int level, std::vector<std::uint8_t>& out,
                  std::string& error, void (*progress)(std::size_t done, std::size_t total, const std::string& name) = nullptr);

struct ReadEntry {
  PackageEntry entry;
  bool dataInside = false;   // its stored bytes lie inside the entry-data region
  bool decoded = false;      // decoded to exactly its size, checksum correct
  std::vector<std::uint8_t> data;
};

struct ReadResult {
  bool found = false;        // a trailer with sound sizes and a readable table
  bool signedImage = false;  // the package sits before a certificate table
  std::string problem;       // why `found` is false
  PackageTrailer trailer;
  bool tableStoredAsIs = false;
  std::vector<ReadEntry> entries;
};

// Reads the package that ends a file's bytes (directly, or before the
// certificate table of a signed image) and decodes every entry.
ReadResult ReadPackageBytes(const std::vector<std::uint8_t>& file);

// True when the file is a PE image whose security directory names a certificate table.
bool HasSignature(const std::vector<std::uint8_t>& file);

}  // namespace brindorel::pack

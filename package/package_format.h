// The package layout, shared by the installer's reader and the builder.
//
//   file position          size   content
//   D                      sum    entry data, in table order, no gaps
//   F - 16 - P             P      entry table block
//   F - 16                 4      U: decoded size of the entry table
//   F - 12                 4      P: stored size of the entry table block
//   F - 8                  4      D: absolute file position of the first entry's data
//   F - 4                  4      magic "Pack" (6B636150 as a little-endian u32)
//
// A block whose stored size equals its decoded size is stored as it is;
// otherwise it is one compressed block (block_decoder.h).
//
// Entry table: u32 count N, then N records: zero-terminated 8-bit name
// (subfolders separated by "\"), then eight u32: type (0 folder, 1 file),
// size, stored size, data offset, creation time low/high, last-write time
// low/high (Windows FILETIME). All integers unsigned 32-bit little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brindorel {

constexpr std::uint32_t kPackageMagic = 0x6B636150u;  // "Pack"
constexpr std::size_t kTrailerSize = 16;
constexpr std::size_t kRecordNumbersSize = 32;
constexpr std::uint32_t kEntryFolder = 0;
constexpr std::uint32_t kEntryFile = 1;

struct PackageTrailer {
  std::uint32_t tableSize = 0;        // U
  std::uint32_t tableStoredSize = 0;  // P
  std::uint32_t dataStart = 0;        // D
  std::uint32_t magic = 0;
};

struct PackageEntry {
  std::string name;
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  std::uint32_t storedSize = 0;
  std::uint32_t dataOffset = 0;
  std::uint64_t creationTime = 0;
  std::uint64_t lastWriteTime = 0;
};

using EntryList = std::vector<PackageEntry>;

// Reads the 16 trailer bytes; false when the magic is not "Pack".
bool ParseTrailer(const std::uint8_t* bytes, PackageTrailer& out);

// True when the trailer's sizes fit a package that ends at `packageEnd`:
// U + 8 does not wrap, P <= F - 16, D <= F - 16 - P.
bool TrailerFits(const PackageTrailer& trailer, std::uint64_t packageEnd);

// Parses a decoded entry table; a record that would run past `size` ends the
// list, and so does a count larger than the records present.
EntryList ParseEntryTable(const std::uint8_t* table, std::size_t size);

std::array<std::uint8_t, kTrailerSize> SerializeTrailer(const PackageTrailer& trailer);
std::vector<std::uint8_t> SerializeEntryTable(const EntryList& entries);

// False for names that would leave the target folder: empty, absolute
// ("\x", "/x"), with a drive ("C:..."), or with a ".." level.
bool IsSafeEntryName(const std::string& name);

// For a signed PE image: `head` holds the file's first bytes (at least the
// DOS and PE headers), `fileSize` its size. When the security directory
// points at a certificate table that ends exactly at the end of the file,
// stores the table's start (where the package then ends) and returns true.
bool SignedImagePackageEnd(const std::uint8_t* head, std::size_t headSize,
                           std::uint64_t fileSize, std::uint64_t& packageEnd);

// Signing tools start the certificate table on an 8-byte boundary and fill
// the gap behind the package with zeros. `tail` holds the `tailSize` (up to
// 8) bytes that end at `end`, the table's start; returns where the package
// ends: before up to 7 zero bytes (the trailer's own last byte is never 0).
std::uint64_t UnpaddedPackageEnd(const std::uint8_t* tail, std::size_t tailSize, std::uint64_t end);

}  // namespace brindorel

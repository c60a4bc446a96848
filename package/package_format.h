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
// Checksum record. The block checksum misses some damage (a damaged literal
// that later matches copy again changes several words alike), and stored
// bytes have none; so this builder's packages carry a record of 64-bit
// content hashes (content_hash.h) just before D, where no reader of the
// format looks, and name it in the table with an entry that no reader
// extracts (type kEntryChecksums, name "|checksums|", size R, stored size 0,
// data offset D - R):
//
//   record offset   size   content
//   0               4      N: the table's entry count
//   4               8 N    hash of each entry's decoded data, in table order
//                          (0: not hashed: no data, or a nested package that
//                          is checked entry by entry)
//   4 + 8 N         8      hash of the decoded entry table
//   12 + 8 N        8      hash of the record's bytes above
//   20 + 8 N        4      R = 28 + 8 N, the record's size
//   24 + 8 N        4      magic "Sums" (736D7553 as a little-endian u32)
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
constexpr std::uint32_t kEntryChecksums = 0x736D7553u;  // "Sums": names the checksum record
constexpr const char* kChecksumsEntryName = "|checksums|";
constexpr std::uint32_t kChecksumsMagic = 0x736D7553u;
constexpr std::size_t kChecksumsFooterSize = 8;  // R and the magic

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

struct ChecksumRecord {
  std::vector<std::uint64_t> entryHashes;
  std::uint64_t tableHash = 0;
};

// The record's size for `count` entries (28 + 8 count).
std::uint64_t ChecksumRecordSize(std::uint64_t count);
std::vector<std::uint8_t> SerializeChecksumRecord(const ChecksumRecord& record);
// Reads R from the record's last 8 bytes; false when the magic is missing.
bool ParseChecksumFooter(const std::uint8_t* footer, std::uint32_t& recordSize);
// Parses a whole record of `size` bytes; false when its size, count or own
// hash do not agree.
bool ParseChecksumRecord(const std::uint8_t* bytes, std::size_t size, ChecksumRecord& out);

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

// Where the sections of a PE image end (at least its headers): the size of
// the image without anything appended. `head` holds the file's first bytes.
// False when the bytes are no PE image, its section table lies outside
// `head`, or the image carries a symbol table behind its sections (then its
// end is not known from the headers).
bool PeImageEnd(const std::uint8_t* head, std::size_t headSize, std::uint64_t& imageEnd);

// Signing tools start the certificate table on an 8-byte boundary and fill
// the gap behind the package with zeros. `tail` holds the `tailSize` (up to
// 8) bytes that end at `end`, the table's start; returns where the package
// ends: before up to 7 zero bytes (the trailer's own last byte is never 0).
std::uint64_t UnpaddedPackageEnd(const std::uint8_t* tail, std::size_t tailSize, std::uint64_t end);

}  // namespace brindorel

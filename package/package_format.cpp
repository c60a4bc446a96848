#include "package/package_format.h"

#include "package/content_hash.h"

namespace brindorel {

static_assert(kTrailerSize == 4 * sizeof(std::uint32_t), "trailer: U, P, D and the magic");
static_assert(kRecordNumbersSize == 8 * sizeof(std::uint32_t), "record: eight u32 after the name");

namespace {

std::uint32_t ReadU32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

std::uint16_t ReadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8));
}

void PutU32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  std::uint8_t b[4];
  PutU32(b, v);
  out.insert(out.end(), b, b + 4);
}

// A level made of dots (and spaces, which Windows drops from the end of a
// level) with at least two dots walks up: "..", "...", ". .".
bool IsUpwardLevel(const std::string& level) {
  int dots = 0;
  for (char c : level) {
    if (c == '.') {
      ++dots;
    } else if (c != ' ') {
      return false;
    }
  }
  return dots >= 2;
}

// PE header layout.
constexpr std::size_t kDosLfanewOffset = 0x3C;
constexpr std::size_t kCoffHeaderSize = 20;
constexpr std::size_t kOptionalSizeOffset = 16;  // within the COFF header
constexpr std::uint16_t kOptionalMagic32 = 0x10B;
constexpr std::uint16_t kOptionalMagic64 = 0x20B;
constexpr std::size_t kSecurityDirectory = 4;
constexpr std::size_t kDirectoryEntrySize = 8;

}  // namespace

bool ParseTrailer(const std::uint8_t* bytes, PackageTrailer& out) {
  if (bytes == nullptr) return false;
  PackageTrailer t;
  t.tableSize = ReadU32(bytes);
  t.tableStoredSize = ReadU32(bytes + 4);
  t.dataStart = ReadU32(bytes + 8);
  t.magic = ReadU32(bytes + 12);
  if (t.magic != kPackageMagic) return false;
  out = t;
  return true;
}

bool TrailerFits(const PackageTrailer& trailer, std::uint64_t packageEnd) {
  if (packageEnd < kTrailerSize) return false;
  // The decoder writes into a buffer of U + 8 bytes.
  if (trailer.tableSize > UINT32_MAX - 8) return false;
  std::uint64_t room = packageEnd - kTrailerSize;
  if (trailer.tableStoredSize > room) return false;
  return trailer.dataStart <= room - trailer.tableStoredSize;
}

EntryList ParseEntryTable(const std::uint8_t* table, std::size_t size) {
  EntryList entries;
  if (table == nullptr || size < 4) return entries;
  std::uint32_t count = ReadU32(table);
  // Each record takes at least its zero byte and the numbers.
  std::size_t most = (size - 4) / (1 + kRecordNumbersSize);
  entries.reserve(count < most ? count : most);
  std::size_t pos = 4;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::size_t end = pos;
    while (end < size && table[end] != 0) ++end;
    if (end == size) break;
    if (size - (end + 1) < kRecordNumbersSize) break;
    PackageEntry entry;
    entry.name.assign(reinterpret_cast<const char*>(table + pos), end - pos);
    const std::uint8_t* n = table + end + 1;
    entry.type = ReadU32(n);
    entry.size = ReadU32(n + 4);
    entry.storedSize = ReadU32(n + 8);
    entry.dataOffset = ReadU32(n + 12);
    entry.creationTime = std::uint64_t(ReadU32(n + 16)) | (std::uint64_t(ReadU32(n + 20)) << 32);
    entry.lastWriteTime = std::uint64_t(ReadU32(n + 24)) | (std::uint64_t(ReadU32(n + 28)) << 32);
    entries.push_back(std::move(entry));
    pos = end + 1 + kRecordNumbersSize;
  }
  return entries;
}

std::uint64_t ChecksumRecordSize(std::uint64_t count) { return 28 + 8 * count; }

std::vector<std::uint8_t> SerializeChecksumRecord(const ChecksumRecord& record) {
  std::vector<std::uint8_t> out;
  AppendU32(out, static_cast<std::uint32_t>(record.entryHashes.size()));
  auto append64 = [&out](std::uint64_t v) {
    AppendU32(out, static_cast<std::uint32_t>(v));
    AppendU32(out, static_cast<std::uint32_t>(v >> 32));
  };
  for (std::uint64_t hash : record.entryHashes) append64(hash);
  append64(record.tableHash);
  append64(HashBytes(out.data(), out.size()));
  AppendU32(out, static_cast<std::uint32_t>(out.size() + kChecksumsFooterSize));
  AppendU32(out, kChecksumsMagic);
  return out;
}

bool ParseChecksumFooter(const std::uint8_t* footer, std::uint32_t& recordSize) {
  if (footer == nullptr || ReadU32(footer + 4) != kChecksumsMagic) return false;
  recordSize = ReadU32(footer);
  return true;
}

bool ParseChecksumRecord(const std::uint8_t* bytes, std::size_t size, ChecksumRecord& out) {
  if (bytes == nullptr || size < ChecksumRecordSize(0)) return false;
  const std::uint64_t count = ReadU32(bytes);
  if (ChecksumRecordSize(count) != size || ReadU32(bytes + size - 8) != size) return false;
  if (ReadU32(bytes + size - 4) != kChecksumsMagic) return false;
  auto read64 = [bytes](std::size_t at) { return std::uint64_t(ReadU32(bytes + at)) | (std::uint64_t(ReadU32(bytes + at + 4)) << 32); };
  const std::size_t hashed = size - 16;  // everything before the own hash
  if (read64(hashed) != HashBytes(bytes, hashed)) return false;
  ChecksumRecord record;
  record.entryHashes.reserve(static_cast<std::size_t>(count));
  for (std::uint64_t i = 0; i < count; ++i) record.entryHashes.push_back(read64(4 + 8 * static_cast<std::size_t>(i)));
  record.tableHash = read64(4 + 8 * static_cast<std::size_t>(count));
  out = std::move(record);
  return true;
}

std::array<std::uint8_t, kTrailerSize> SerializeTrailer(const PackageTrailer& trailer) {
  std::array<std::uint8_t, kTrailerSize> out{};
  PutU32(out.data(), trailer.tableSize);
  PutU32(out.data() + 4, trailer.tableStoredSize);
  PutU32(out.data() + 8, trailer.dataStart);
  PutU32(out.data() + 12, trailer.magic);
  return out;
}

std::vector<std::uint8_t> SerializeEntryTable(const EntryList& entries) {
  std::vector<std::uint8_t> out;
  AppendU32(out, static_cast<std::uint32_t>(entries.size()));
  for (const PackageEntry& e : entries) {
    // A name ends at its first zero byte on disk; write no more than that.
    std::size_t length = e.name.find('\0');
    if (length == std::string::npos) length = e.name.size();
    out.insert(out.end(), e.name.begin(), e.name.begin() + static_cast<std::ptrdiff_t>(length));
    out.push_back(0);
    AppendU32(out, e.type);
    AppendU32(out, e.size);
    AppendU32(out, e.storedSize);
    AppendU32(out, e.dataOffset);
    AppendU32(out, static_cast<std::uint32_t>(e.creationTime));
    AppendU32(out, static_cast<std::uint32_t>(e.creationTime >> 32));
    AppendU32(out, static_cast<std::uint32_t>(e.lastWriteTime));
    AppendU32(out, static_cast<std::uint32_t>(e.lastWriteTime >> 32));
  }
  return out;
}

bool IsSafeEntryName(const std::string& name) {
  if (name.empty()) return false;
  if (name[0] == '\\' || name[0] == '/') return false;
  // A colon names a drive ("C:x") or a file's alternate data stream.
  if (name.find(':') != std::string::npos) return false;
  if (name.find('\0') != std::string::npos) return false;
  std::string level;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == '\\' || name[i] == '/') {
      if (IsUpwardLevel(level)) return false;
      level.clear();
    } else {
      level += name[i];
    }
  }
  return true;
}

bool SignedImagePackageEnd(const std::uint8_t* head, std::size_t headSize,
                           std::uint64_t fileSize, std::uint64_t& packageEnd) {
  if (head == nullptr || headSize < kDosLfanewOffset + 4) return false;
  if (head[0] != 'M' || head[1] != 'Z') return false;
  std::size_t pe = ReadU32(head + kDosLfanewOffset);
  if (pe > headSize || headSize - pe < 4 + kCoffHeaderSize) return false;
  if (head[pe] != 'P' || head[pe + 1] != 'E' || head[pe + 2] != 0 || head[pe + 3] != 0) return false;
  std::size_t coff = pe + 4;
  std::size_t optionalSize = ReadU16(head + coff + kOptionalSizeOffset);
  std::size_t optional = coff + kCoffHeaderSize;
  if (headSize - optional < optionalSize || optionalSize < 2) return false;
  std::uint16_t magic = ReadU16(head + optional);
  std::size_t countOffset;
  if (magic == kOptionalMagic32) {
    countOffset = 92;
  } else if (magic == kOptionalMagic64) {
    countOffset = 108;
  } else {
    return false;
  }
  std::size_t directories = countOffset + 4;
  std::size_t entryOffset = directories + kSecurityDirectory * kDirectoryEntrySize;
  if (optionalSize < entryOffset + kDirectoryEntrySize) return false;
  if (ReadU32(head + optional + countOffset) <= kSecurityDirectory) return false;
  // The security directory holds a file position, not a virtual address.
  std::uint64_t tableStart = ReadU32(head + optional + entryOffset);
  std::uint64_t tableSize = ReadU32(head + optional + entryOffset + 4);
  if (tableSize == 0) return false;
  std::uint64_t headersEnd = optional + optionalSize;
  if (tableStart < headersEnd + kTrailerSize) return false;
  if (tableStart + tableSize != fileSize) return false;
  packageEnd = tableStart;
  return true;
}

bool PeImageEnd(const std::uint8_t* head, std::size_t headSize, std::uint64_t& imageEnd) {
  if (head == nullptr || headSize < kDosLfanewOffset + 4) return false;
  if (head[0] != 'M' || head[1] != 'Z') return false;
  const std::size_t pe = ReadU32(head + kDosLfanewOffset);
  if (pe > headSize || headSize - pe < 4 + kCoffHeaderSize) return false;
  if (head[pe] != 'P' || head[pe + 1] != 'E' || head[pe + 2] != 0 || head[pe + 3] != 0) return false;
  const std::size_t coff = pe + 4;
  const std::size_t sectionCount = ReadU16(head + coff + 2);
  if (ReadU32(head + coff + 8) != 0) return false;  // a symbol table follows the sections
  const std::size_t optional = coff + kCoffHeaderSize;
  const std::size_t optionalSize = ReadU16(head + coff + kOptionalSizeOffset);
  constexpr std::size_t kSizeOfHeadersOffset = 60;  // the same in both optional header kinds
  constexpr std::size_t kSectionHeaderSize = 40;
  if (headSize - optional < optionalSize || optionalSize < kSizeOfHeadersOffset + 4) return false;
  const std::size_t sections = optional + optionalSize;
  if ((headSize - sections) / kSectionHeaderSize < sectionCount) return false;
  std::uint64_t end = ReadU32(head + optional + kSizeOfHeadersOffset);
  for (std::size_t i = 0; i < sectionCount; ++i) {
    const std::uint8_t* section = head + sections + i * kSectionHeaderSize;
    const std::uint64_t rawSize = ReadU32(section + 16);
    const std::uint64_t rawStart = ReadU32(section + 20);
    if (rawSize != 0 && rawStart + rawSize > end) end = rawStart + rawSize;
  }
  imageEnd = end;
  return true;
}

std::uint64_t UnpaddedPackageEnd(const std::uint8_t* tail, std::size_t tailSize, std::uint64_t end) {
  std::size_t zeros = 0;
  while (zeros < 7 && zeros < tailSize && tail[tailSize - 1 - zeros] == 0) ++zeros;
  return end - zeros;
}

}  // namespace brindorel

#include "tools/pack/pack_package.h"

#include "package/block_decoder.h"
#include "package/block_encoder.h"

namespace brindorel::pack {
namespace {

constexpr std::uint64_t kFormatLimit = 0xFFFFFFFFull;

std::uint32_t Little32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

// The stored form of a block: compressed when that is strictly smaller (a
// stored size equal to the size means "as is").
std::vector<std::uint8_t> StoredForm(const std::vector<std::uint8_t>& data, int level, bool asIs) {
  if (data.empty() || asIs) return data;
  std::vector<std::uint8_t> block = CompressBlock(data.data(), data.size(), level);
  return block.size() < data.size() ? block : data;
}

// Decodes a stored block of `size` bytes; false when it is corrupt.
bool Decode(const std::uint8_t* stored, std::size_t storedSize, std::uint32_t size, std::vector<std::uint8_t>& out) {
  if (storedSize == size) {
    out.assign(stored, stored + storedSize);
    return true;
  }
  if (BlockDecodedSize(stored, storedSize) != size) return false;
  out.assign(static_cast<std::size_t>(size) + 8, 0);
  std::size_t written = DecompressBlock(stored, storedSize, out.data(), out.size());
  if (written != size || size == 0) return false;
  out.resize(size);
  return true;
}

}  // namespace

bool WritePackage(const std::vector<SourceEntry>& entries, int level, std::vector<std::uint8_t>& out,
                  std::string& error, void (*progress)(std::size_t, std::size_t, const std::string&)) {
  const std::uint64_t start = out.size();
  if (start > kFormatLimit) {
    error = "the executable in front of the package is larger than 4 GiB";
    return false;
  }
  EntryList table;
  std::uint64_t offset = start;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const SourceEntry& source = entries[i];
    if (progress != nullptr) progress(i, entries.size(), source.name);
    if (source.data.size() > kFormatLimit) {
      error = source.name + ": larger than the format's 4 GiB limit";
      return false;
    }
    std::vector<std::uint8_t> stored = StoredForm(source.data, level, source.storeAsIs);
    PackageEntry entry;
    entry.name = source.name;
    entry.type = source.type;
    entry.size = static_cast<std::uint32_t>(source.data.size());
    entry.storedSize = static_cast<std::uint32_t>(stored.size());
    entry.dataOffset = static_cast<std::uint32_t>(offset);
    entry.creationTime = source.creationTime;
    entry.lastWriteTime = source.lastWriteTime;
    table.push_back(entry);
    out.insert(out.end(), stored.begin(), stored.end());
    offset += stored.size();
    if (offset > kFormatLimit) {
      error = "the package passes the format's 4 GiB limit at " + source.name;
      return false;
    }
  }
  if (progress != nullptr) progress(entries.size(), entries.size(), "");
  std::vector<std::uint8_t> tableBytes = SerializeEntryTable(table);
  std::vector<std::uint8_t> storedTable = StoredForm(tableBytes, level, false);
  if (tableBytes.size() > kFormatLimit - 8 || offset + storedTable.size() + kTrailerSize > kFormatLimit) {
    error = "the package's entry table passes the format's 4 GiB limit";
    return false;
  }
  out.insert(out.end(), storedTable.begin(), storedTable.end());
  PackageTrailer trailer;
  trailer.tableSize = static_cast<std::uint32_t>(tableBytes.size());
  trailer.tableStoredSize = static_cast<std::uint32_t>(storedTable.size());
  trailer.dataStart = static_cast<std::uint32_t>(start);
  trailer.magic = kPackageMagic;
  auto trailerBytes = SerializeTrailer(trailer);
  out.insert(out.end(), trailerBytes.begin(), trailerBytes.end());
  return true;
}

bool HasSignature(const std::vector<std::uint8_t>& file) {
  std::uint64_t end = 0;
  return SignedImagePackageEnd(file.data(), file.size() < 4096 ? file.size() : 4096, file.size(), end);
}

ReadResult ReadPackageBytes(const std::vector<std::uint8_t>& file) {
  ReadResult result;
  std::uint64_t end = file.size();
  if (end < kTrailerSize) {
    result.problem = "too short to hold a package";
    return result;
  }
  if (Little32(file.data() + end - 4) != kPackageMagic) {
    std::uint64_t signedEnd = 0;
    if (SignedImagePackageEnd(file.data(), file.size() < 4096 ? file.size() : 4096, file.size(), signedEnd) &&
        signedEnd >= kTrailerSize &&
        (signedEnd = UnpaddedPackageEnd(file.data() + signedEnd - 8, 8, signedEnd)) >= kTrailerSize &&
        Little32(file.data() + signedEnd - 4) == kPackageMagic) {
      end = signedEnd;
      result.signedImage = true;
    } else {
      result.problem = "no package (the last four bytes are not \"Pack\")";
      return result;
    }
  }
  ParseTrailer(file.data() + end - kTrailerSize, result.trailer);
  const PackageTrailer& t = result.trailer;
  if (!TrailerFits(t, end)) {
    result.problem = "the package trailer's sizes do not fit the file";
    return result;
  }
  const std::uint64_t tableStart = end - kTrailerSize - t.tableStoredSize;
  std::vector<std::uint8_t> table;
  result.tableStoredAsIs = t.tableStoredSize == t.tableSize;
  if (!Decode(file.data() + tableStart, t.tableStoredSize, t.tableSize, table)) {
    result.problem = "the entry table is corrupt";
    return result;
  }
  result.found = true;
  EntryList entries = ParseEntryTable(table.data(), table.size());
  std::uint64_t position = t.dataStart;
  bool inside = true;
  for (const PackageEntry& entry : entries) {
    ReadEntry read;
    read.entry = entry;
    if (entry.type == kEntryFile && entry.size > 0) {
      inside = inside && entry.storedSize <= tableStart - position;
      read.dataInside = inside;
      if (inside) {
        read.decoded = Decode(file.data() + position, entry.storedSize, entry.size, read.data);
        position += entry.storedSize;
      }
    } else {
      read.dataInside = inside;
      read.decoded = inside && (entry.type != kEntryFile || entry.storedSize == 0);
      if (inside && entry.type == kEntryFile) position += entry.storedSize;
    }
    result.entries.push_back(std::move(read));
  }
  return result;
}

}  // namespace brindorel::pack

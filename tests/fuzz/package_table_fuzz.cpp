// Package trailer and entry table: the trailer checks on the input's last 16
// bytes, a table parse of the whole input, and a serialize round trip of what
// was parsed; the first bytes also go through the signed-image check.
#include <cstdint>
#include <cstdlib>

#include "package/package_format.h"

#include "tests/fuzz/fuzz_verdict.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brindorel;
  if (size >= kTrailerSize) {
    PackageTrailer trailer;
    if (ParseTrailer(data + size - kTrailerSize, trailer)) {
      if (TrailerFits(trailer, size) && trailer.tableStoredSize > size - kTrailerSize) std::abort();
      auto again = SerializeTrailer(trailer);
      for (std::size_t i = 0; i < kTrailerSize; ++i)
        if (again[i] != data[size - kTrailerSize + i]) std::abort();
    }
  }
  std::uint64_t end = 0;
  if (SignedImagePackageEnd(data, size, size + 64, end) && end >= size + 64) std::abort();

  EntryList entries = ParseEntryTable(data, size);
  std::vector<std::uint8_t> table = SerializeEntryTable(entries);
  EntryList back = ParseEntryTable(table.data(), table.size());
  if (back.size() != entries.size()) std::abort();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (back[i].name != entries[i].name || back[i].type != entries[i].type || back[i].size != entries[i].size ||
        back[i].storedSize != entries[i].storedSize || back[i].dataOffset != entries[i].dataOffset ||
        back[i].creationTime != entries[i].creationTime || back[i].lastWriteTime != entries[i].lastWriteTime)
      std::abort();
    IsSafeEntryName(entries[i].name);
  }
  // The parsed records are a prefix of the input when its count was met.
  if (table.size() > size + 4) std::abort();
  return 0;
}

// A table whose count its records bear out.
bool FuzzInputAccepted(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return false;
  const std::uint32_t count = std::uint32_t(data[0]) | (std::uint32_t(data[1]) << 8) |
                              (std::uint32_t(data[2]) << 16) | (std::uint32_t(data[3]) << 24);
  return brindorel::ParseEntryTable(data, size).size() == count;
}

// The whole package reader over the input as a package file: the trailer,
// the table and every entry's data. Whatever it accepts keeps its promises:
// entries lie between D and the table, names stay inside the target, and a
// usable entry decodes to exactly its size. Entries are held to 16 MiB so
// that a bogus size costs the fuzzer nothing.
#include <cstdint>
#include <cstdlib>

#include "package/package_reader.h"

#include "tests/fuzz/fuzz_verdict.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brindorel;
  MemorySource source(data, size);
  PackageLayout layout;
  const PackageProblem problem = OpenPackage(source, layout);
  if (problem != PackageProblem::None) {
    if (!layout.entries.empty()) std::abort();
    return 0;
  }
  if (layout.tableStart > layout.packageEnd || layout.packageEnd > size) std::abort();
  for (const LocatedEntry& item : layout.entries) {
    const PackageEntry& e = item.entry;
    if ((e.type == kEntryFile || e.type == kEntryFolder) && !IsSafeEntryName(e.name)) std::abort();
    if (item.carriesData && (item.dataPosition < layout.trailer.dataStart ||
                             item.dataPosition + e.storedSize > layout.tableStart))
      std::abort();
    ByteBuffer out;
    const EntryState state = ReadEntryData(source, item, out, 16u << 20);
    if (EntryUsable(state) && out.size() != (item.carriesData ? e.size : 0u)) std::abort();
  }
  return 0;
}

// A package whose table and every entry pass the reader's checks.
bool FuzzInputAccepted(const std::uint8_t* data, std::size_t size) {
  using namespace brindorel;
  MemorySource source(data, size);
  PackageLayout layout;
  if (OpenPackage(source, layout) != PackageProblem::None) return false;
  for (const LocatedEntry& item : layout.entries) {
    ByteBuffer out;
    if (!EntryUsable(ReadEntryData(source, item, out, 16u << 20))) return false;
  }
  return true;
}

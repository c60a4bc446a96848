// The whole package reader over the input as a package file: the trailer,
// the table and every entry's data. Whatever it accepts keeps its promises:
// entries lie between D and the table, names stay inside the target, and a
// usable entry decodes to exactly its size. Entries are held to 16 MiB so
// that a bogus size costs the fuzzer nothing. Each entry up to 1 MiB is also
// streamed through small buffers (their sizes from the input's size), which
// must give the same verdict and the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "package/package_reader.h"

#include "tests/fuzz/fuzz_verdict.h"

namespace {

class KeepingSink : public brindorel::EntrySink {
 public:
  std::vector<std::uint8_t> bytes;
  bool Write(const std::uint8_t* data, std::size_t size) override {
    bytes.insert(bytes.end(), data, data + size);
    return true;
  }
  bool ReadBack(std::uint64_t position, std::uint8_t* out, std::size_t size) override {
    if (position > bytes.size() || size > bytes.size() - position) std::abort();  // never asked for more than given
    std::copy(bytes.begin() + std::ptrdiff_t(position), bytes.begin() + std::ptrdiff_t(position + size), out);
    return true;
  }
};

}  // namespace

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
  StreamBuffers buffers(1 + size % 97, 64 + size % 50, 1 + size % 13);
  for (const LocatedEntry& item : layout.entries) {
    const PackageEntry& e = item.entry;
    if ((e.type == kEntryFile || e.type == kEntryFolder) && !IsSafeEntryName(e.name)) std::abort();
    if (item.carriesData && (item.dataPosition < layout.trailer.dataStart ||
                             item.dataPosition + e.storedSize > layout.tableStart))
      std::abort();
    ByteBuffer out;
    const EntryState state = ReadEntryData(source, item, out, 16u << 20);
    if (EntryUsable(state) && out.size() != (item.carriesData ? e.size : 0u)) std::abort();
    if (e.size > (1u << 20)) continue;
    KeepingSink sink;
    const EntryState streamed = StreamEntryData(source, item, sink, buffers);
    if (EntryUsable(streamed) != EntryUsable(state) || (EntryUsable(state) && streamed != state)) std::abort();
    if (EntryUsable(state) &&
        !(sink.bytes.size() == out.size() && std::equal(sink.bytes.begin(), sink.bytes.end(), out.data())))
      std::abort();
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

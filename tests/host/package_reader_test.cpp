// The package reader on hand-assembled packages: hostile sizes in every size
// field, packages of older builders, cut files, and what counts as checked.
#include "package/package_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "package/block_encoder.h"
#include "package/content_hash.h"

namespace brindorel {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

void PutU32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

struct Item {
  std::string name;
  std::string content;
  bool coded;
};

// A package: entry data, the table (a block or stored), the trailer.
struct Assembled {
  Bytes bytes;
  EntryList entries;
  std::size_t tableStart = 0;
};

Assembled Assemble(const std::vector<Item>& items, bool codedTable, const Bytes& prefix = {}) {
  Assembled a;
  a.bytes = prefix;
  for (const Item& item : items) {
    PackageEntry e;
    e.name = item.name;
    e.type = kEntryFile;
    e.size = static_cast<std::uint32_t>(item.content.size());
    e.dataOffset = static_cast<std::uint32_t>(a.bytes.size());
    Bytes stored = ToBytes(item.content);
    if (item.coded) stored = CompressBlock(stored.data(), stored.size(), kBlockLevelFast);
    e.storedSize = static_cast<std::uint32_t>(stored.size());
    a.bytes.insert(a.bytes.end(), stored.begin(), stored.end());
    a.entries.push_back(e);
  }
  a.tableStart = a.bytes.size();
  Bytes table = SerializeEntryTable(a.entries);
  Bytes block = codedTable ? CompressBlock(table.data(), table.size(), kBlockLevelFast) : table;
  a.bytes.insert(a.bytes.end(), block.begin(), block.end());
  PackageTrailer t{static_cast<std::uint32_t>(table.size()), static_cast<std::uint32_t>(block.size()),
                   static_cast<std::uint32_t>(prefix.size()), kPackageMagic};
  auto trailer = SerializeTrailer(t);
  a.bytes.insert(a.bytes.end(), trailer.begin(), trailer.end());
  return a;
}

// Keeps what it is given and gives it back; can be told to fail.
class KeepingSink : public EntrySink {
 public:
  Bytes bytes;
  std::size_t readBacks = 0;
  std::uint64_t failWritesFrom = UINT64_MAX;  // fails a write that would pass this many bytes
  bool refuseReadBack = false;
  bool Write(const std::uint8_t* data, std::size_t size) override {
    if (size > failWritesFrom - std::min<std::uint64_t>(bytes.size(), failWritesFrom)) return false;
    bytes.insert(bytes.end(), data, data + size);
    return true;
  }
  bool ReadBack(std::uint64_t position, std::uint8_t* out, std::size_t size) override {
    ++readBacks;
    if (refuseReadBack || position > bytes.size() || size > bytes.size() - position) return false;
    std::copy(bytes.begin() + std::ptrdiff_t(position), bytes.begin() + std::ptrdiff_t(position + size), out);
    return true;
  }
};

// Streams an entry and checks it against the whole-entry reading: usable
// alike, and then with the same state and bytes (an entry too large for
// memory may stream while the whole reading has no room for it).
void ExpectStreamAgrees(PackageSource& source, const LocatedEntry& entry, EntryState whole, const ByteBuffer& data,
                        StreamBuffers& buffers) {
  KeepingSink sink;
  const EntryState streamed = StreamEntryData(source, entry, sink, buffers);
  if (whole == EntryState::NoMemory) return;
  ASSERT_EQ(EntryUsable(streamed), EntryUsable(whole)) << entry.entry.name;
  if (!EntryUsable(whole)) return;
  EXPECT_EQ(streamed, whole) << entry.entry.name;
  EXPECT_TRUE(sink.bytes.size() == data.size() && std::equal(sink.bytes.begin(), sink.bytes.end(), data.data()))
      << entry.entry.name;
}

// Opens `bytes` and reads every entry; true when all of it is usable. Every
// entry is streamed too, with the default buffers and with tiny ones, and
// must agree.
bool ReadsWhole(const Bytes& bytes, std::vector<Bytes>* contents = nullptr,
                std::vector<EntryState>* states = nullptr, std::uint64_t memoryLimit = kNoMemoryLimit) {
  MemorySource source(bytes.data(), bytes.size());
  PackageLayout layout;
  if (OpenPackage(source, layout) != PackageProblem::None) return false;
  bool usable = true;
  StreamBuffers large, tiny(7, 64, 5);
  for (const LocatedEntry& entry : layout.entries) {
    ByteBuffer data;
    const EntryState state = ReadEntryData(source, entry, data, memoryLimit);
    ExpectStreamAgrees(source, entry, state, data, large);
    ExpectStreamAgrees(source, entry, state, data, tiny);
    usable = usable && EntryUsable(state);
    if (states != nullptr) states->push_back(state);
    if (contents != nullptr) contents->push_back(Bytes(data.data(), data.data() + data.size()));
  }
  return usable;
}

const std::string kText = [] {
  std::string s;
  for (int i = 0; i < 40; ++i) s += "line " + std::to_string(i % 7) + "\r\n";
  return s;
}();

// Every size field of a package, set to each of the values FFFFFFF0 to
// FFFFFFFF: the package or the entry is refused, nothing crashes, nothing is
// allocated that the process cannot hold, and no entry reads as usable with
// other bytes than its own.
enum class Field { EntrySize, EntryStoredSize, EntryAndBlockSize, BlockSizeOnly, TableSize, TableStoredSize,
                   DataStart, TableCount, TableAndBlockSize };

class HostileSizeTest : public ::testing::TestWithParam<Field> {};

TEST_P(HostileSizeTest, RefusedAtEveryValue) {
  for (std::uint64_t value = 0xFFFFFFF0u; value <= 0xFFFFFFFFu; ++value) {
    SCOPED_TRACE(value);
    const std::uint32_t v = static_cast<std::uint32_t>(value);
    std::vector<Item> items = {{"a.txt", kText, true}, {"b.txt", kText, true}};
    Assembled a = Assemble(items, false);
    Bytes& bytes = a.bytes;
    const std::size_t trailer = bytes.size() - kTrailerSize;
    // The first record's numbers follow "a.txt\0" behind the count.
    const std::size_t record = a.tableStart + 4 + 6;
    switch (GetParam()) {
      case Field::EntrySize: PutU32(bytes, record + 4, v); break;
      case Field::EntryStoredSize: PutU32(bytes, record + 8, v); break;
      case Field::EntryAndBlockSize:  // the overflow once seen: both say the same
        PutU32(bytes, record + 4, v);
        PutU32(bytes, 2, v);
        break;
      case Field::BlockSizeOnly: PutU32(bytes, 2, v); break;
      case Field::TableSize: PutU32(bytes, trailer, v); break;
      case Field::TableStoredSize: PutU32(bytes, trailer + 4, v); break;
      case Field::DataStart: PutU32(bytes, trailer + 8, v); break;
      case Field::TableCount: PutU32(bytes, a.tableStart, v); break;
      case Field::TableAndBlockSize: {
        Assembled coded = Assemble(items, true);
        bytes = coded.bytes;
        PutU32(bytes, bytes.size() - kTrailerSize, v);
        PutU32(bytes, coded.tableStart + 2, v);
        break;
      }
    }
    // Once without a limit, so that the heap itself is asked (a 32-bit
    // process refuses before asking; a 64-bit one gets address space that
    // is never touched); the other values are held to 64 MiB, which keeps
    // the run short under the sanitizers.
    EXPECT_FALSE(ReadsWhole(bytes, nullptr, nullptr, value == 0xFFFFFFF7u ? kNoMemoryLimit : 64u << 20));
  }
}

INSTANTIATE_TEST_SUITE_P(EverySizeField, HostileSizeTest,
                         ::testing::Values(Field::EntrySize, Field::EntryStoredSize, Field::EntryAndBlockSize,
                                           Field::BlockSizeOnly, Field::TableSize, Field::TableStoredSize,
                                           Field::DataStart, Field::TableCount, Field::TableAndBlockSize));

TEST(PackageReader, AHugeEntryIsRefusedWithoutAllocatingIt) {
  Assembled a = Assemble({{"a.txt", kText, true}}, true);
  PutU32(a.bytes, 2, 0xFFFFFFF7u);  // the block's header agrees with the bogus size
  MemorySource source(a.bytes.data(), a.bytes.size());
  PackageLayout layout;
  ASSERT_EQ(OpenPackage(source, layout), PackageProblem::None);
  LocatedEntry huge = layout.entries[0];
  huge.entry.size = 0xFFFFFFF7u;
  ByteBuffer out;
  EXPECT_EQ(ReadEntryData(source, huge, out, 1u << 20), EntryState::NoMemory);
  EXPECT_EQ(out.size(), 0u);
  // Without a limit the heap decides; the block's header must still agree.
  EXPECT_FALSE(EntryUsable(ReadEntryData(source, huge, out)));
}

TEST(PackageReader, WhatIsCheckedAndWhatIsNot) {
  // An older builder's package: stored entries and a stored table still read,
  // but nothing covers their bytes.
  std::vector<EntryState> states;
  std::vector<Bytes> contents;
  Assembled old = Assemble({{"plain.txt", "stored as it is", false}, {"coded.txt", kText, true}}, false);
  ASSERT_TRUE(ReadsWhole(old.bytes, &contents, &states));
  EXPECT_EQ(states, (std::vector<EntryState>{EntryState::Unchecked, EntryState::Checked}));
  EXPECT_EQ(contents[0], ToBytes("stored as it is"));
  EXPECT_EQ(contents[1], ToBytes(kText));
  MemorySource source(old.bytes.data(), old.bytes.size());
  PackageLayout layout;
  ASSERT_EQ(OpenPackage(source, layout), PackageProblem::None);
  EXPECT_TRUE(layout.tableStoredAsIs);

  // A block with its checksum field cleared is not checked; below four bytes
  // there is no checksum to compare and decoding to the size is all there is.
  Assembled zeroSum = Assemble({{"a.txt", kText, true}, {"tiny.txt", "ab", true}}, true);
  PutU32(zeroSum.bytes, 6, 0);
  states.clear();
  ASSERT_TRUE(ReadsWhole(zeroSum.bytes, nullptr, &states));
  EXPECT_EQ(states, (std::vector<EntryState>{EntryState::Unchecked, EntryState::Checked}));

  // A wrong checksum is damage.
  Assembled wrongSum = Assemble({{"a.txt", kText, true}}, true);
  wrongSum.bytes[7] ^= 1;
  EXPECT_FALSE(ReadsWhole(wrongSum.bytes));
}

TEST(PackageReader, ChecksOfTheTable) {
  struct Case {
    const char* what;
    std::vector<Item> items;
    PackageProblem expected;
  };
  const std::vector<Case> cases = {
      {"sound", {{"a.txt", "aaaa", false}}, PackageProblem::None},
      {"a name that climbs", {{"..\\a.txt", "aaaa", false}}, PackageProblem::UnsafeName},
      {"a drive", {{"C:\\a.txt", "aaaa", false}}, PackageProblem::UnsafeName},
      {"an absolute name", {{"\\a.txt", "aaaa", false}}, PackageProblem::UnsafeName},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Assembled a = Assemble(c.items, true);
    MemorySource source(a.bytes.data(), a.bytes.size());
    PackageLayout layout;
    EXPECT_EQ(OpenPackage(source, layout), c.expected);
    EXPECT_EQ(layout.entries.empty(), c.expected != PackageProblem::None);
  }

  // Stored sizes that do not fill the data region exactly: one byte too many
  // or too few between D and the table.
  Assembled a = Assemble({{"a.txt", "aaaa", false}}, true);
  Bytes more = a.bytes;
  more.insert(more.begin() + static_cast<std::ptrdiff_t>(a.tableStart), 'x');
  MemorySource moreSource(more.data(), more.size());
  PackageLayout layout;
  EXPECT_EQ(OpenPackage(moreSource, layout), PackageProblem::DataMisfit);
  Bytes fewer = a.bytes;
  fewer.erase(fewer.begin());
  MemorySource fewerSource(fewer.data(), fewer.size());
  EXPECT_EQ(OpenPackage(fewerSource, layout), PackageProblem::DataMisfit);
}

// The first bytes of a PE image with one section of `sectionSize` bytes at 512.
Bytes PeImage(std::uint32_t sectionSize) {
  Bytes image(512 + sectionSize, 0);
  image[0] = 'M';
  image[1] = 'Z';
  image[0x3C] = 0x80;
  image[0x80] = 'P';
  image[0x81] = 'E';
  const std::size_t coff = 0x84;
  image[coff + 2] = 1;        // one section
  image[coff + 16] = 0xE0;    // optional header size
  const std::size_t optional = coff + 20;
  image[optional] = 0x0B;
  image[optional + 1] = 0x01;
  PutU32(image, optional + 60, 512);  // size of the headers
  const std::size_t section = optional + 0xE0;
  PutU32(image, section + 16, sectionSize);
  PutU32(image, section + 20, 512);
  return image;
}

TEST(PackageReader, ACutInstallerIsToldFromABareStub) {
  const Bytes stub = PeImage(1024);
  Bytes whole = Assemble({{"setup.ini", kText, true}}, true, stub).bytes;
  MemorySource wholeSource(whole.data(), whole.size());
  PackageLayout layout;
  EXPECT_EQ(OpenPackage(wholeSource, layout), PackageProblem::None);

  MemorySource bare(stub.data(), stub.size());
  EXPECT_EQ(OpenPackage(bare, layout), PackageProblem::NoPackage);
  for (std::size_t cut = stub.size() + 1; cut < whole.size(); cut += 7) {
    MemorySource source(whole.data(), cut);
    EXPECT_EQ(OpenPackage(source, layout), PackageProblem::CutShort) << cut;
  }
  // Bytes that are no program image say nothing about a package.
  const Bytes text = ToBytes("just some text, not a package at all");
  MemorySource other(text.data(), text.size());
  EXPECT_EQ(OpenPackage(other, layout), PackageProblem::NoPackage);
}

TEST(PackageReader, SlicesReadOnlyTheirWindow) {
  Assembled inner = Assemble({{"a.txt", kText, true}}, true);
  // 100 bytes before the package, 50 behind it.
  Bytes outer(100 + inner.bytes.size() + 50, 'o');
  std::copy(inner.bytes.begin(), inner.bytes.end(), outer.begin() + 100);
  MemorySource whole(outer.data(), outer.size());
  SliceSource slice(whole, 100, inner.bytes.size());
  PackageLayout layout;
  ASSERT_EQ(OpenPackage(slice, layout), PackageProblem::None);
  ByteBuffer data;
  EXPECT_EQ(ReadEntryData(slice, layout.entries[0], data), EntryState::Checked);
  std::uint8_t byte = 0;
  EXPECT_FALSE(slice.ReadAt(inner.bytes.size(), &byte, 1));
  EXPECT_FALSE(slice.ReadAt(0xFFFFFFFFFFFFFFFFull, &byte, 1));
}

// Data of 200 KB that repeats from 150 KB back: far matches for any window
// below that.
std::string FarData() {
  std::string part;
  for (int i = 0; i < 3000; ++i) part += static_cast<char>((i * 7919) >> 3);
  std::string data = part;
  for (int i = 0; data.size() < 150000; ++i) data += "filler " + std::to_string(i * 31 % 977) + "\r\n";
  return data + part + data.substr(0, 50000);
}

// Streaming through every size of window, input piece and output piece
// gives the whole-entry reading's state and bytes, for every kind of entry:
// coded and stored, checked by the block checksum, by a content hash (right
// and wrong), and not at all.
TEST(PackageReader, StreamingAgreesWhateverItsBuffers) {
  const std::string far = FarData();
  Assembled a = Assemble({{"text.txt", kText, true},
                          {"far.bin", far, true},
                          {"plain.txt", "stored as it is", false},
                          {"tiny.txt", "ab", true},
                          {"one.txt", "z", true}},
                         true);
  MemorySource source(a.bytes.data(), a.bytes.size());
  PackageLayout layout;
  ASSERT_EQ(OpenPackage(source, layout), PackageProblem::None);
  std::vector<LocatedEntry> entries = layout.entries;
  for (const LocatedEntry& item : layout.entries) {
    LocatedEntry hashed = item;
    ByteBuffer data;
    ReadEntryData(source, item, data);
    hashed.hash = HashBytes(data.data(), data.size());
    entries.push_back(hashed);
    hashed.hash ^= 1;
    entries.push_back(hashed);
  }
  struct Buffers {
    std::size_t window, input, piece;
  } configs[] = {{1, 1, 1}, {7, 64, 5}, {100, 100, 7}, {4096, 64, 100000}, {65536, 3000, 1 << 20},
                 {kBlockWindowSize, kStreamInputSize, kStreamOutputPiece}};
  for (const Buffers& c : configs) {
    SCOPED_TRACE(::testing::Message() << "window " << c.window << ", input " << c.input << ", piece " << c.piece);
    StreamBuffers buffers(c.window, c.input, c.piece);
    for (const LocatedEntry& item : entries) {
      ByteBuffer data;
      const EntryState whole = ReadEntryData(source, item, data);
      ExpectStreamAgrees(source, item, whole, data, buffers);
    }
  }
  std::vector<EntryState> states;
  ASSERT_TRUE(ReadsWhole(a.bytes, nullptr, &states));
}

// Every flipped byte of the entries' data: streaming and the whole reading
// either both refuse the entry or both give the same bytes.
TEST(PackageReader, StreamingAgreesOnDamage) {
  Assembled a = Assemble({{"text.txt", kText, true}, {"far.bin", FarData().substr(0, 4000), true}}, true);
  StreamBuffers buffers(16, 64, 9);
  for (std::size_t at = 0; at < a.tableStart; ++at) {
    Bytes bad = a.bytes;
    bad[at] ^= 0x21;
    MemorySource source(bad.data(), bad.size());
    PackageLayout layout;
    ASSERT_EQ(OpenPackage(source, layout), PackageProblem::None);
    for (const LocatedEntry& item : layout.entries) {
      SCOPED_TRACE(::testing::Message() << "byte " << at << ", " << item.entry.name);
      ByteBuffer data;
      ExpectStreamAgrees(source, item, ReadEntryData(source, item, data), data, buffers);
    }
  }
}

// What the sink and the source do wrong is told apart from damage.
TEST(PackageReader, StreamingFailuresOfTheSinkAndTheSource) {
  Assembled a = Assemble({{"far.bin", FarData(), true}, {"plain.txt", kText, false}}, true);
  MemorySource source(a.bytes.data(), a.bytes.size());
  PackageLayout layout;
  ASSERT_EQ(OpenPackage(source, layout), PackageProblem::None);
  const LocatedEntry& coded = layout.entries[0];
  const LocatedEntry& stored = layout.entries[1];

  // A window far smaller than the distances reads back; a large one never does.
  StreamBuffers small(1024, 4096), large;
  KeepingSink readingBack, notReadingBack;
  EXPECT_EQ(StreamEntryData(source, coded, readingBack, small), EntryState::Checked);
  EXPECT_GT(readingBack.readBacks, 0u);
  EXPECT_EQ(StreamEntryData(source, coded, notReadingBack, large), EntryState::Checked);
  EXPECT_EQ(notReadingBack.readBacks, 0u);
  EXPECT_EQ(readingBack.bytes, ToBytes(FarData()));

  // A sink that cannot give back, or cannot take more.
  KeepingSink refusing;
  refusing.refuseReadBack = true;
  EXPECT_EQ(StreamEntryData(source, coded, refusing, small), EntryState::Unwritable);
  for (std::uint64_t limit : {std::uint64_t(0), std::uint64_t(100), std::uint64_t(kText.size() - 1)}) {
    for (const LocatedEntry* item : {&coded, &stored}) {
      KeepingSink full;
      full.failWritesFrom = limit;
      EXPECT_EQ(StreamEntryData(source, *item, full, small), EntryState::Unwritable) << limit;
    }
  }

  // A source that ends early: the entry's bytes cannot be read.
  for (const LocatedEntry* item : {&coded, &stored}) {
    MemorySource cut(a.bytes.data(), static_cast<std::size_t>(item->dataPosition + item->entry.storedSize / 2));
    KeepingSink sink;
    EXPECT_EQ(StreamEntryData(cut, *item, sink, small), EntryState::Unreadable) << item->entry.name;
  }
  // An entry without data is done at once.
  LocatedEntry folder = coded;
  folder.carriesData = false;
  KeepingSink nothing;
  EXPECT_EQ(StreamEntryData(source, folder, nothing, small), EntryState::Checked);
  EXPECT_TRUE(nothing.bytes.empty());
}

TEST(PackageReader, StagingFolderNameAvoidsTheEntries) {
  std::vector<LocatedEntry> entries(2);
  entries[0].entry.name = "~BRINDOREL.TMP\\x.txt";
  entries[1].entry.name = "~brindorel1.tmp";
  EXPECT_EQ(StagingFolderName(entries), "~brindorel2.tmp");
  EXPECT_EQ(StagingFolderName({}), "~brindorel.tmp");
}

}  // namespace
}  // namespace brindorel

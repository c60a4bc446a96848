// Also runs under Wine.
#include "package/package_format.h"
#include "package/package_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brindorel {
namespace {

using Bytes = std::vector<std::uint8_t>;

PackageEntry MakeEntry(const std::string& name, std::uint32_t type, std::uint32_t size) {
  PackageEntry e;
  e.name = name;
  e.type = type;
  e.size = size;
  e.storedSize = size;
  e.dataOffset = 0x01020304u;
  e.creationTime = 0x01D0A1B2C3D4E5F6ull;
  e.lastWriteTime = 0x01D9FFEEDDCCBBAAull;
  return e;
}

TEST(PackageTrailer, RoundTripAndMagic) {
  PackageTrailer t{175, 134, 40960, kPackageMagic};
  auto bytes = SerializeTrailer(t);
  EXPECT_EQ(bytes[12], 'P');
  EXPECT_EQ(bytes[13], 'a');
  EXPECT_EQ(bytes[14], 'c');
  EXPECT_EQ(bytes[15], 'k');
  EXPECT_EQ(bytes[0], 175);
  PackageTrailer back;
  ASSERT_TRUE(ParseTrailer(bytes.data(), back));
  EXPECT_EQ(back.tableSize, 175u);
  EXPECT_EQ(back.tableStoredSize, 134u);
  EXPECT_EQ(back.dataStart, 40960u);

  bytes[15] = 'K';
  EXPECT_FALSE(ParseTrailer(bytes.data(), back));
  EXPECT_FALSE(ParseTrailer(nullptr, back));
}

struct FitCase {
  std::uint32_t u, p, d;
  std::uint64_t end;
  bool fits;
};

class TrailerFitsTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(TrailerFitsTest, Bounds) {
  const FitCase& c = GetParam();
  PackageTrailer t{c.u, c.p, c.d, kPackageMagic};
  EXPECT_EQ(TrailerFits(t, c.end), c.fits);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrailerFitsTest,
    ::testing::Values(FitCase{4, 4, 0, 20, true},            // just a table of count 0
                      FitCase{4, 5, 0, 20, false},           // table runs in front of the file
                      FitCase{100, 50, 30, 96, true},        // D + P == F - 16
                      FitCase{100, 50, 31, 96, false},       // data start inside the table
                      FitCase{0, 0, 0, 16, true},            // trailer only
                      FitCase{0, 0, 0, 15, false},           // no room for the trailer
                      FitCase{0xFFFFFFF8u, 4, 0, 100, false},  // U + 8 wraps
                      FitCase{0xFFFFFFF7u, 4, 0, 100, true},
                      FitCase{4, 0xFFFFFFFFu, 0xFFFFFFFFu, 200, false}));

TEST(EntryTable, RoundTrip) {
  EntryList list{MakeEntry("setup.ini", kEntryFile, 522), MakeEntry("sub\\data\\", kEntryFolder, 0),
                 MakeEntry("", 7, 0), MakeEntry("sub\\data\\file.bin", kEntryFile, 0xFFFFFFFFu)};
  Bytes table = SerializeEntryTable(list);
  EXPECT_EQ(table.size(), 4 + (9 + 1 + 32) + (9 + 1 + 32) + (0 + 1 + 32) + (17 + 1 + 32));
  EntryList back = ParseEntryTable(table.data(), table.size());
  ASSERT_EQ(back.size(), list.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(back[i].name, list[i].name);
    EXPECT_EQ(back[i].type, list[i].type);
    EXPECT_EQ(back[i].size, list[i].size);
    EXPECT_EQ(back[i].storedSize, list[i].storedSize);
    EXPECT_EQ(back[i].dataOffset, list[i].dataOffset);
    EXPECT_EQ(back[i].creationTime, list[i].creationTime);
    EXPECT_EQ(back[i].lastWriteTime, list[i].lastWriteTime);
  }
  // Low half first on disk.
  EXPECT_EQ(table[4 + 10 + 16], 0xF6);
  EXPECT_EQ(table[4 + 10 + 23], 0x01);
}

TEST(EntryTable, TruncationEndsTheListAtEveryLength) {
  EntryList list{MakeEntry("a.txt", kEntryFile, 3), MakeEntry("b\\c.txt", kEntryFile, 4)};
  Bytes table = SerializeEntryTable(list);
  const std::size_t firstEnd = 4 + 6 + 32;
  for (std::size_t size = 0; size <= table.size(); ++size) {
    // Copy into a buffer of exactly `size` bytes so that the sanitizers see
    // any read beyond it.
    Bytes cut(table.begin(), table.begin() + static_cast<std::ptrdiff_t>(size));
    EntryList back = ParseEntryTable(cut.data(), cut.size());
    std::size_t expected = size == table.size() ? 2 : size >= firstEnd ? 1 : 0;
    EXPECT_EQ(back.size(), expected) << "size " << size;
  }
}

TEST(EntryTable, HostileCountsAndNames) {
  Bytes table = {0xFF, 0xFF, 0xFF, 0xFF};  // four billion records, none present
  EXPECT_TRUE(ParseEntryTable(table.data(), table.size()).empty());
  table.insert(table.end(), 100, 'x');  // a name that never ends
  EXPECT_TRUE(ParseEntryTable(table.data(), table.size()).empty());
  EXPECT_TRUE(ParseEntryTable(nullptr, 10).empty());
  // A count below the records present reads only that many.
  Bytes two = SerializeEntryTable({MakeEntry("a", 1, 0), MakeEntry("b", 1, 0)});
  two[0] = 1;
  EXPECT_EQ(ParseEntryTable(two.data(), two.size()).size(), 1u);
}

struct NameCase {
  const char* name;
  bool safe;
};

class SafeNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(SafeNameTest, Judged) { EXPECT_EQ(IsSafeEntryName(GetParam().name), GetParam().safe) << GetParam().name; }

INSTANTIATE_TEST_SUITE_P(
    Cases, SafeNameTest,
    ::testing::Values(NameCase{"setup.ini", true}, NameCase{"sub\\dir\\file.txt", true},
                      NameCase{"sub\\data\\", true}, NameCase{"a..b.txt", true}, NameCase{".\\x", true},
                      NameCase{"..foo", true}, NameCase{"", false}, NameCase{"\\windows\\x.dll", false},
                      NameCase{"/etc/x", false}, NameCase{"C:\\x", false}, NameCase{"C:x", false},
                      NameCase{"file.txt:stream", false}, NameCase{"..", false}, NameCase{"..\\x", false},
                      NameCase{"a\\..\\..\\x", false}, NameCase{"a/../x", false}, NameCase{"a\\..", false},
                      NameCase{"a\\...\\x", false}, NameCase{"a\\.. \\x", false}));

// A minimal PE head: DOS header, "PE\0\0", COFF header, optional header.
Bytes PeHead(std::uint16_t magic, std::uint32_t securityOffset, std::uint32_t securitySize) {
  const std::size_t pe = 0x80;
  const std::size_t optionalSize = magic == 0x20B ? 240 : 224;
  Bytes head(pe + 24 + optionalSize + 64, 0);
  head[0] = 'M';
  head[1] = 'Z';
  head[0x3C] = static_cast<std::uint8_t>(pe);
  head[pe] = 'P';
  head[pe + 1] = 'E';
  head[pe + 4 + 16] = static_cast<std::uint8_t>(optionalSize);
  std::size_t opt = pe + 24;
  head[opt] = static_cast<std::uint8_t>(magic);
  head[opt + 1] = static_cast<std::uint8_t>(magic >> 8);
  std::size_t count = magic == 0x20B ? 108 : 92;
  head[opt + count] = 16;
  std::size_t dir = opt + count + 4 + 4 * 8;
  for (int i = 0; i < 4; ++i) {
    head[dir + i] = static_cast<std::uint8_t>(securityOffset >> (8 * i));
    head[dir + 4 + i] = static_cast<std::uint8_t>(securitySize >> (8 * i));
  }
  return head;
}

TEST(SignedImage, FindsThePackageEndBeforeTheCertificates) {
  for (std::uint16_t magic : {std::uint16_t(0x10B), std::uint16_t(0x20B)}) {
    Bytes head = PeHead(magic, 10000, 1200);
    std::uint64_t end = 0;
    ASSERT_TRUE(SignedImagePackageEnd(head.data(), head.size(), 11200, end)) << magic;
    EXPECT_EQ(end, 10000u);
    EXPECT_FALSE(SignedImagePackageEnd(head.data(), head.size(), 11201, end));  // not at the end
  }
}

TEST(SignedImage, ZeroPaddingBeforeTheCertificatesIsSkipped) {
  const std::uint8_t padded[8] = {'P', 'a', 'c', 'k', 0, 0, 0, 0};
  EXPECT_EQ(UnpaddedPackageEnd(padded, 8, 1000), 996u);
  const std::uint8_t none[8] = {0, 0, 0, 0, 'P', 'a', 'c', 'k'};
  EXPECT_EQ(UnpaddedPackageEnd(none, 8, 1000), 1000u);
  const std::uint8_t zeros[8] = {};
  EXPECT_EQ(UnpaddedPackageEnd(zeros, 8, 1000), 993u);  // never more than 7
  EXPECT_EQ(UnpaddedPackageEnd(zeros, 3, 1000), 997u);  // never before the bytes given
}

TEST(SignedImage, RefusesDamagedHeads) {
  std::uint64_t end = 0;
  Bytes good = PeHead(0x10B, 10000, 1200);
  ASSERT_TRUE(SignedImagePackageEnd(good.data(), good.size(), 11200, end));
  // Every cut of the head fails cleanly.
  for (std::size_t size = 0; size < 0x80 + 24 + 224; ++size) {
    Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_FALSE(SignedImagePackageEnd(cut.data(), cut.size(), 11200, end)) << size;
  }
  Bytes b = good;
  b[0x3C] = 0xF0;  // e_lfanew far out
  b[0x3D] = 0xFF;
  b[0x3E] = 0xFF;
  b[0x3F] = 0xFF;
  EXPECT_FALSE(SignedImagePackageEnd(b.data(), b.size(), 11200, end));
  b = good;
  b[0x80 + 24] = 0x0C;  // unknown optional header magic
  EXPECT_FALSE(SignedImagePackageEnd(b.data(), b.size(), 11200, end));
  b = good;
  b[0x80 + 24 + 92] = 4;  // no security directory
  EXPECT_FALSE(SignedImagePackageEnd(b.data(), b.size(), 11200, end));
  Bytes none = PeHead(0x10B, 0, 0);
  EXPECT_FALSE(SignedImagePackageEnd(none.data(), none.size(), 11200, end));
  Bytes inHeaders = PeHead(0x10B, 64, 11136);  // table over the headers
  EXPECT_FALSE(SignedImagePackageEnd(inHeaders.data(), inHeaders.size(), 11200, end));
  Bytes wraps = PeHead(0x10B, 0xFFFFFFF0u, 0x20);
  EXPECT_FALSE(SignedImagePackageEnd(wraps.data(), wraps.size(), 0x10, end));
}

TEST(NoCopyList, CountsClosingBars) {
  using V = std::vector<std::string>;
  EXPECT_EQ(NoCopyExtensions(""), V{});
  EXPECT_EQ(NoCopyExtensions("dat"), V{"dat"});
  EXPECT_EQ(NoCopyExtensions("dat|"), V{"dat"});
  EXPECT_EQ(NoCopyExtensions("dat|ini"), V{"dat"});
  EXPECT_EQ(NoCopyExtensions("dat|ini|"), (V{"dat", "ini"}));
  // More than 127 extensions are all kept.
  std::string many;
  for (int i = 0; i < 300; ++i) many += "e" + std::to_string(i) + "|";
  V got = NoCopyExtensions(many);
  ASSERT_EQ(got.size(), 300u);
  EXPECT_EQ(got[299], "e299");
}

TEST(EntryNames, ExtensionAndFolderPart) {
  EXPECT_EQ(EntryExtension("settings.dat"), "dat");
  EXPECT_EQ(EntryExtension("notes.dat.bak"), "bak");
  EXPECT_EQ(EntryExtension("SETTINGS.DAT"), "DAT");
  EXPECT_EQ(EntryExtension("dir.d\\file"), "");
  EXPECT_EQ(EntryExtension("file"), "");
  EXPECT_EQ(EntryExtension("a.txt\"x"), "txt");
  EXPECT_EQ(EntryFolderPart("sub\\dir\\file.txt"), "sub\\dir\\");
  EXPECT_EQ(EntryFolderPart("sub/file.txt"), "sub/");
  EXPECT_EQ(EntryFolderPart("file.txt"), "");
  EXPECT_EQ(EntryFolderPart("a\\b|c"), "");
}

}  // namespace
}  // namespace brindorel

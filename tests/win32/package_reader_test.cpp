#include "package/package_reader.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "package/block_decoder.h"
#include "package/block_encoder.h"
#include "services/file_system.h"

namespace brindorel {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t kCreated = 0x01D5000011112222ull;
constexpr std::uint64_t kWritten = 0x01D6000033334444ull;

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// One entry of a test package: its content is stored as is, or coded when
// `coded` is set.
struct Item {
  std::string name;
  std::uint32_t type;
  std::string content;
  bool coded;
};

// Puts entry data, table block and trailer behind `prefix`.
Bytes Assemble(const Bytes& prefix, const EntryList& entries, const Bytes& data, bool codedTable) {
  Bytes out = prefix;
  out.insert(out.end(), data.begin(), data.end());
  Bytes table = SerializeEntryTable(entries);
  Bytes block = codedTable ? CompressBlock(table.data(), table.size(), kBlockLevelBest) : table;
  out.insert(out.end(), block.begin(), block.end());
  PackageTrailer t{static_cast<std::uint32_t>(table.size()), static_cast<std::uint32_t>(block.size()),
                   static_cast<std::uint32_t>(prefix.size()), kPackageMagic};
  auto trailer = SerializeTrailer(t);
  out.insert(out.end(), trailer.begin(), trailer.end());
  return out;
}

Bytes BuildPackage(const std::vector<Item>& items, bool codedTable = false, const Bytes& prefix = {}) {
  EntryList entries;
  Bytes data;
  for (const Item& item : items) {
    PackageEntry e;
    e.name = item.name;
    e.type = item.type;
    e.size = static_cast<std::uint32_t>(item.content.size());
    e.dataOffset = static_cast<std::uint32_t>(prefix.size() + data.size());
    e.creationTime = kCreated;
    e.lastWriteTime = kWritten;
    Bytes stored = ToBytes(item.content);
    if (item.coded && !stored.empty()) stored = CompressBlock(stored.data(), stored.size(), kBlockLevelFast);
    e.storedSize = static_cast<std::uint32_t>(stored.size());
    data.insert(data.end(), stored.begin(), stored.end());
    entries.push_back(e);
  }
  return Assemble(prefix, entries, data, codedTable);
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE) << path;
  DWORD put = 0;
  if (!bytes.empty()) WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
  CloseHandle(f);
}

std::string ReadText(const std::string& path) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return "<missing>";
  std::string text;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  CloseHandle(f);
  return text;
}

struct Times {
  std::uint64_t creation = 0, lastWrite = 0;
};

Times FileTimes(const std::string& path) {
  Times t;
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return t;
  FILETIME c, a, w;
  if (GetFileTime(f, &c, &a, &w)) {
    t.creation = (std::uint64_t(c.dwHighDateTime) << 32) | c.dwLowDateTime;
    t.lastWrite = (std::uint64_t(w.dwHighDateTime) << 32) | w.dwLowDateTime;
  }
  CloseHandle(f);
  return t;
}

// Wine on a file system without settable birth times reports the last-write
// time as the creation time; probe once whether creation times are kept.
bool CreationTimesKept(const std::string& folder) {
  std::string probe = folder + "probe.tmp";
  HANDLE f = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  FILETIME c = {0x11112222u, 0x01D50000u};
  FILETIME w = {0x33334444u, 0x01D60000u};
  SetFileTime(f, &c, nullptr, &w);
  CloseHandle(f);
  bool kept = FileTimes(probe).creation == kCreated;
  DeleteFileA(probe.c_str());
  return kept;
}

bool IsFolder(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// Every file below `folder` with its content, by relative name.
void ListFiles(const std::string& folder, const std::string& relative, std::map<std::string, std::string>& out) {
  WIN32_FIND_DATAA d;
  HANDLE h = FindFirstFileA((folder + relative + "*").c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = d.cFileName;
    if (name == "." || name == "..") continue;
    if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ListFiles(folder, relative + name + "\\", out);
    } else {
      out[relative + name] = ReadText(folder + relative + name);
    }
  } while (FindNextFileA(h, &d));
  FindClose(h);
}

class PackageReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    root_ = std::string(temp) + "brindorel_pkg_" + std::to_string(GetCurrentProcessId()) + "\\";
    RemoveFolder(root_, "", kRemoveSubfolders | kRemoveForced);
    MakeFolderPath(root_ + "out\\");
    package_ = root_ + "test.pck";
    target_ = root_ + "out\\";
  }
  void TearDown() override { RemoveFolder(root_, "", kRemoveSubfolders | kRemoveForced); }

  void FreshTarget() {
    RemoveFolder(target_, "", kRemoveSubfolders | kRemoveForced);
    MakeFolder(target_);
  }

  int Read(const Bytes& bytes) {
    WriteBytes(package_, bytes);
    return ReadPackage(package_);
  }

  std::string root_, package_, target_;
};

std::string Repeated(const std::string& piece, int times) {
  std::string s;
  for (int i = 0; i < times; ++i) s += piece;
  return s;
}

const std::string kIni = Repeated("[Settings]\r\nName=Sample\r\n", 20);

TEST_F(PackageReaderTest, ExtractsFilesFoldersAndTimes) {
  for (bool codedTable : {false, true}) {
    SCOPED_TRACE(codedTable ? "coded table" : "stored table");
    FreshTarget();
    std::vector<Item> items = {
        {"setup.ini", kEntryFile, kIni, true},
        {"plain.txt", kEntryFile, "stored as it is", false},
        {"sub\\dir\\file.txt", kEntryFile, Repeated("nested ", 50), true},
        {"sub\\data\\", kEntryFolder, "", false},
        {"only\\level", kEntryFolder, "", false},
        {"empty.txt", kEntryFile, "", false},
        {"odd.type", 7, "", false},
        {"last.bin", kEntryFile, std::string("\0\1\2\3", 4), false},
    };
    ASSERT_EQ(Read(BuildPackage(items, codedTable)), 1);
    ASSERT_EQ(PackageEntries().size(), items.size());
    EXPECT_EQ(PackageEntries()[2].name, "sub\\dir\\file.txt");
    ExtractPackage(target_, "");

    EXPECT_EQ(ReadText(target_ + "setup.ini"), kIni);
    EXPECT_EQ(ReadText(target_ + "plain.txt"), "stored as it is");
    EXPECT_EQ(ReadText(target_ + "sub\\dir\\file.txt"), Repeated("nested ", 50));
    EXPECT_EQ(ReadText(target_ + "empty.txt"), "");
    EXPECT_EQ(ReadText(target_ + "last.bin"), std::string("\0\1\2\3", 4));
    EXPECT_TRUE(IsFolder(target_ + "sub\\data"));
    EXPECT_TRUE(IsFolder(target_ + "only"));
    EXPECT_FALSE(IsFolder(target_ + "only\\level"));
    EXPECT_EQ(PathExists(target_ + "odd.type"), 0);
    bool creationKept = CreationTimesKept(root_);
    for (const char* name : {"setup.ini", "plain.txt", "empty.txt", "sub\\dir\\file.txt"}) {
      Times t = FileTimes(target_ + name);
      if (creationKept) {
        EXPECT_EQ(t.creation, kCreated) << name;
      }
      EXPECT_EQ(t.lastWrite, kWritten) << name;
    }
    const ExtractionStats& s = LastExtractionStats();
    EXPECT_EQ(s.filesWritten, 5u);
    EXPECT_EQ(s.foldersMade, 2u);
    EXPECT_EQ(s.corruptEntries + s.filesNotCreated, 0u);
    EXPECT_TRUE(s.placed);
  }
}

TEST_F(PackageReaderTest, HandBuiltBlockAndTargetWithoutBackslash) {
  // A block decoding to "abc", its checksum left unchecked.
  Bytes block = {0x4A, 0x43, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                 0x00, 0x56, 0x6C, 0xD8, 0x20, 0x00, 0x00, 0x00, 0x30};
  PackageEntry e;
  e.name = "abc.txt";
  e.type = kEntryFile;
  e.size = 3;
  e.storedSize = static_cast<std::uint32_t>(block.size());
  ASSERT_EQ(Read(Assemble({}, {e}, block, false)), 1);
  ExtractPackage(root_ + "out", "");
  EXPECT_EQ(ReadText(target_ + "abc.txt"), "abc");
}

TEST_F(PackageReaderTest, PackageBehindAnExecutable) {
  Bytes prefix(3001, 0xCC);
  prefix[0] = 'M';
  prefix[1] = 'Z';
  Bytes bytes = BuildPackage({{"a.txt", kEntryFile, "first", false}, {"b.txt", kEntryFile, kIni, true}}, true, prefix);
  ASSERT_EQ(Read(bytes), 1);
  EXPECT_EQ(PackageEntries()[0].dataOffset, 3001u);
  ExtractPackage(target_, "");
  EXPECT_EQ(ReadText(target_ + "a.txt"), "first");
  EXPECT_EQ(ReadText(target_ + "b.txt"), kIni);
}

TEST_F(PackageReaderTest, NoCopyList) {
  std::vector<Item> items = {
      {"settings.dat", kEntryFile, "new settings", false}, {"other.dat", kEntryFile, "new other", true},
      {"notes.dat.bak", kEntryFile, "new bak", false},     {"conf.ini", kEntryFile, "new ini", false},
      {"zero.dat", kEntryFile, "", false},
  };
  ASSERT_EQ(Read(BuildPackage(items)), 1);
  struct Case {
    const char* list;
    bool keepsDat, keepsIni;
  };
  for (const Case& c : {Case{"dat|", true, false}, Case{"dat|ini", true, false}, Case{"dat", true, false},
                        Case{"ini|dat|", true, true}, Case{"", false, false}, Case{"DAT|", false, false}}) {
    SCOPED_TRACE(c.list);
    FreshTarget();
    for (const char* name : {"settings.dat", "notes.dat.bak", "conf.ini", "zero.dat"})
      WriteBytes(target_ + name, ToBytes("old"));
    ExtractPackage(target_, c.list);
    EXPECT_EQ(ReadText(target_ + "settings.dat"), c.keepsDat ? "old" : "new settings");
    EXPECT_EQ(ReadText(target_ + "zero.dat"), c.keepsDat ? "old" : "");
    EXPECT_EQ(ReadText(target_ + "other.dat"), "new other");  // missing: written
    EXPECT_EQ(ReadText(target_ + "notes.dat.bak"), "new bak");
    EXPECT_EQ(ReadText(target_ + "conf.ini"), c.keepsIni ? "old" : "new ini");
  }

  // The extension is compared case for case.
  FreshTarget();
  WriteBytes(target_ + "SETTINGS.DAT", ToBytes("old"));
  ASSERT_EQ(Read(BuildPackage({{"SETTINGS.DAT", kEntryFile, "new upper", false}})), 1);
  ExtractPackage(target_, "dat|");
  EXPECT_EQ(ReadText(target_ + "SETTINGS.DAT"), "new upper");
}

TEST_F(PackageReaderTest, NoCopyKeepsContentAndTimes) {
  ASSERT_EQ(Read(BuildPackage({{"settings.dat", kEntryFile, Repeated("new ", 40), true},
                               {"after.txt", kEntryFile, "after", false}})),
            1);
  WriteBytes(target_ + "settings.dat", ToBytes("old"));
  Times before = FileTimes(target_ + "settings.dat");
  ExtractPackage(target_, "dat|");
  EXPECT_EQ(ReadText(target_ + "settings.dat"), "old");
  Times after = FileTimes(target_ + "settings.dat");
  EXPECT_EQ(after.creation, before.creation);
  EXPECT_EQ(after.lastWrite, before.lastWrite);
  EXPECT_EQ(ReadText(target_ + "after.txt"), "after");  // the kept entry's data was stepped over
  EXPECT_EQ(LastExtractionStats().keptExisting, 1u);
}

TEST_F(PackageReaderTest, AlwaysReplacedNamesPassTheNoCopyList) {
  ASSERT_EQ(Read(BuildPackage({{"uninstall.dat", kEntryFile, "new record", false},
                               {"data\\uninstall.dat", kEntryFile, "new nested", false},
                               {"keep.dat", kEntryFile, "new keep", false}})),
            1);
  MakeFolderPath(target_ + "data\\");
  for (const char* name : {"uninstall.dat", "data\\uninstall.dat", "keep.dat"})
    WriteBytes(target_ + name, ToBytes("old"));
  ExtractPackage(target_, "dat|", {"Uninstall.DAT"});
  EXPECT_EQ(ReadText(target_ + "uninstall.dat"), "new record");
  EXPECT_EQ(ReadText(target_ + "data\\uninstall.dat"), "old");  // only the root name is meant
  EXPECT_EQ(ReadText(target_ + "keep.dat"), "old");
  EXPECT_EQ(LastExtractionStats().keptExisting, 2u);
}

TEST_F(PackageReaderTest, ReplacesExistingFiles) {
  WriteBytes(target_ + "long.txt", ToBytes(Repeated("old content ", 100)));
  WriteBytes(target_ + "hidden.txt", ToBytes("old hidden"));
  SetFileAttributesA((target_ + "hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
  ASSERT_EQ(Read(BuildPackage({{"long.txt", kEntryFile, "short", false},
                               {"hidden.txt", kEntryFile, "new hidden", false}})),
            1);
  ExtractPackage(target_, "");
  EXPECT_EQ(ReadText(target_ + "long.txt"), "short");
  EXPECT_EQ(ReadText(target_ + "hidden.txt"), "new hidden");
}

TEST_F(PackageReaderTest, MissingEmptyAndForeignFiles) {
  EXPECT_EQ(ReadPackage(root_ + "none.pck"), 0);
  EXPECT_TRUE(PackageEntries().empty());
  ExtractPackage(target_, "");
  EXPECT_EQ(Read({}), 0);
  EXPECT_EQ(Read(ToBytes("just some text, not a package at all")), 0);
  EXPECT_EQ(Read(ToBytes("Pack")), 0);
  // A good read followed by a failed one leaves nothing to extract.
  ASSERT_EQ(Read(BuildPackage({{"a.txt", kEntryFile, "a", false}})), 1);
  EXPECT_EQ(ReadPackage(root_ + "none.pck"), 0);
  ExtractPackage(target_, "");
  EXPECT_EQ(PathExists(target_ + "a.txt"), 0);
}

TEST_F(PackageReaderTest, AnUnsafeNameRefusesThePackage) {
  // A name that would leave the target marks a package that no builder of
  // ours wrote: nothing of it is extracted.
  for (const Item& unsafe : {Item{"..\\escaped.txt", kEntryFile, "x", false},
                             Item{"sub\\..\\..\\escaped2.txt", kEntryFile, "x", true},
                             Item{"C:\\escaped3.txt", kEntryFile, "x", false},
                             Item{"\\escaped4.txt", kEntryFile, "x", false},
                             Item{"..\\upfolder\\", kEntryFolder, "", false}}) {
    SCOPED_TRACE(unsafe.name);
    EXPECT_EQ(Read(BuildPackage({{"good.txt", kEntryFile, "good", false}, unsafe})), 0);
    EXPECT_EQ(LastPackageProblem(), PackageProblem::UnsafeName);
    ExtractPackage(target_, "");
    EXPECT_EQ(PathExists(target_ + "good.txt"), 0);
  }
  EXPECT_EQ(PathExists(root_ + "escaped.txt"), 0);
  EXPECT_EQ(PathExists(root_ + "escaped2.txt"), 0);
  EXPECT_EQ(PathExists(root_ + "upfolder"), 0);
}

TEST_F(PackageReaderTest, ADamagedEntryLeavesTheTargetAsItWas) {
  // The damaged entry comes last: everything before it was decoded and
  // staged already, and still nothing reaches the target.
  WriteBytes(target_ + "first.txt", ToBytes("old first"));
  MakeFolderPath(target_ + "~brindorel.tmp\\");  // left by an interrupted run
  WriteBytes(target_ + "~brindorel.tmp\\0", ToBytes("stale"));
  Bytes bytes = BuildPackage({{"first.txt", kEntryFile, kIni, true},
                              {"sub\\second.txt", kEntryFile, Repeated("second ", 30), true},
                              {"third.txt", kEntryFile, Repeated("third ", 30), true}});
  ASSERT_EQ(Read(bytes), 1);
  const std::uint32_t third = PackageEntries()[2].dataOffset;
  bytes[third + 12] ^= 0x10;  // inside the last block's stream
  ASSERT_EQ(Read(bytes), 1);
  ExtractPackage(target_, "");
  const ExtractionStats& s = LastExtractionStats();
  EXPECT_TRUE(s.packageDamaged);
  EXPECT_FALSE(s.placed);
  EXPECT_EQ(s.failedEntries, std::vector<std::string>{"third.txt"});
  std::map<std::string, std::string> files;
  ListFiles(target_, "", files);
  EXPECT_EQ(files, (std::map<std::string, std::string>{{"first.txt", "old first"}}));
  EXPECT_FALSE(IsFolder(target_ + "sub"));
  EXPECT_FALSE(IsFolder(target_ + "~brindorel.tmp"));
}

TEST_F(PackageReaderTest, HugeAndInconsistentSizes) {
  Bytes data = ToBytes("0123456789");
  PackageEntry huge;
  huge.name = "huge.txt";  // claims 4 GB from 10 stored bytes
  huge.type = kEntryFile;
  huge.size = 0xFFFFFFFFu;
  huge.storedSize = 10;
  PackageEntry fine;
  fine.name = "fine.txt";
  fine.type = kEntryFile;
  fine.size = 5;
  fine.storedSize = 5;
  Bytes both = data;
  both.insert(both.end(), {'h', 'e', 'l', 'l', 'o'});
  ASSERT_EQ(Read(Assemble({}, {huge, fine}, both, false)), 1);
  ExtractPackage(target_, "");
  EXPECT_EQ(PathExists(target_ + "huge.txt"), 0);
  EXPECT_EQ(PathExists(target_ + "fine.txt"), 0);  // a damaged package installs nothing
  EXPECT_EQ(LastExtractionStats().corruptEntries, 1u);
  EXPECT_TRUE(LastExtractionStats().packageDamaged);

  // The overflow once seen: size and block header both say FFFFFFF7.
  Bytes block = CompressBlock(data.data(), data.size(), kBlockLevelFast);
  for (int i = 0; i < 4; ++i) block[2 + i] = i == 0 ? 0xF7 : 0xFF;
  huge.size = 0xFFFFFFF7u;
  huge.storedSize = static_cast<std::uint32_t>(block.size());
  ASSERT_EQ(Read(Assemble({}, {huge}, block, false)), 1);
  ExtractPackage(target_, "");
  EXPECT_TRUE(LastExtractionStats().packageDamaged);
  EXPECT_EQ(PathExists(target_ + "huge.txt"), 0);

  // Stored sizes that do not add up to the data region: the table does not
  // describe the data, so one entry's bytes could be taken for another's.
  PackageEntry past = fine;
  past.name = "past.txt";
  past.size = past.storedSize = 0xFFFFFFF0u;
  EXPECT_EQ(Read(Assemble({}, {fine, past, fine}, ToBytes("hello"), false)), 0);
  EXPECT_EQ(Read(Assemble({}, {fine, fine}, ToBytes("hello"), false)), 0);
  EXPECT_EQ(Read(Assemble({}, {fine}, ToBytes("hello!"), false)), 0);

  // A table claiming far more than the file holds is no package.
  Bytes table = SerializeEntryTable({fine});
  Bytes bytes = table;
  PackageTrailer t{0xFFFFFFF0u, static_cast<std::uint32_t>(table.size()), 0, kPackageMagic};
  auto trailer = SerializeTrailer(t);
  bytes.insert(bytes.end(), trailer.begin(), trailer.end());
  EXPECT_EQ(Read(bytes), 0);
  // A count above the records present is a damaged table.
  Bytes counted = Assemble({}, {fine}, ToBytes("hello"), false);
  counted[5] = 2;  // the count's low byte, right after the data
  EXPECT_EQ(Read(counted), 0);
}

// The content each good entry of the damage tests has; any file that shows
// up must carry one of them whole.
const std::vector<Item> kDamageItems = {
    {"one.txt", kEntryFile, Repeated("one, ", 30), true},
    {"sub\\two.txt", kEntryFile, Repeated("second file ", 25), true},
    {"sub\\folder\\", kEntryFolder, "", false},
    {"three.txt", kEntryFile, "stored three", false},
    {"empty.txt", kEntryFile, "", false},
};

void ExpectOnlyWholeFiles(const std::string& target, const std::string& trace, bool checkedTable = true) {
  std::map<std::string, std::string> files;
  ListFiles(target, "", files);
  // All or nothing: a damaged package writes no file at all (a stored table
  // has no checksum: an entry's type can turn into one that is not extracted).
  if (checkedTable) {
    EXPECT_TRUE(files.empty() || files.size() == 4) << trace << ": " << files.size() << " files";
  }
  for (const auto& f : files) {
    bool whole = false;
    // A size flipped to equal the stored size makes a coded entry read as
    // stored: the format cannot tell, and its block bytes are written whole.
    for (const Item& item : kDamageItems) {
      Bytes block = CompressBlock(reinterpret_cast<const std::uint8_t*>(item.content.data()), item.content.size(),
                                  kBlockLevelFast);
      whole = whole || item.content == f.second || (item.coded && Bytes(f.second.begin(), f.second.end()) == block);
    }
    EXPECT_TRUE(whole) << trace << ": " << f.first << " holds " << f.second.size() << " bytes";
  }
}

TEST_F(PackageReaderTest, TruncationAtEveryLength) {
  Bytes bytes = BuildPackage(kDamageItems, true, Bytes(20, 'x'));
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    FreshTarget();
    Bytes cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
    Read(cut);
    ExtractPackage(target_, "");
    ExpectOnlyWholeFiles(target_, "cut at " + std::to_string(size));
  }
}

TEST_F(PackageReaderTest, FlippedBytes) {
  // Stored data has no checksum, so the flips go everywhere except into the
  // one stored entry's bytes; the coded entries and the coded table are
  // checked by their blocks, the stored table by its bounds.
  for (bool codedTable : {true, false}) {
    Bytes bytes = BuildPackage(kDamageItems, codedTable);
    ASSERT_EQ(Read(bytes), 1);
    std::uint32_t storedFrom = PackageEntries()[3].dataOffset;
    std::uint32_t storedTo = storedFrom + PackageEntries()[3].storedSize;
    for (std::size_t at = 0; at < bytes.size(); ++at) {
      if (at >= storedFrom && at < storedTo) continue;
      for (std::uint8_t mask : {std::uint8_t(0x01), std::uint8_t(0xFF)}) {
        FreshTarget();
        Bytes bad = bytes;
        bad[at] ^= mask;
        Read(bad);
        ExtractPackage(target_, "");
        ExpectOnlyWholeFiles(target_, "byte " + std::to_string(at) + " ^ " + std::to_string(mask), codedTable);
      }
    }
  }
}

// An image head whose security directory points at `tableStart`.
Bytes SignedImage(std::uint32_t tableStart, std::uint32_t tableSize) {
  const std::size_t pe = 0x80;
  const std::size_t optionalSize = 224;
  Bytes head(1024, 0);
  head[0] = 'M';
  head[1] = 'Z';
  head[0x3C] = static_cast<std::uint8_t>(pe);
  head[pe] = 'P';
  head[pe + 1] = 'E';
  head[pe + 4 + 16] = static_cast<std::uint8_t>(optionalSize);
  std::size_t opt = pe + 24;
  head[opt] = 0x0B;
  head[opt + 1] = 0x01;
  head[opt + 92] = 16;
  std::size_t dir = opt + 96 + 4 * 8;
  for (int i = 0; i < 4; ++i) {
    head[dir + i] = static_cast<std::uint8_t>(tableStart >> (8 * i));
    head[dir + 4 + i] = static_cast<std::uint8_t>(tableSize >> (8 * i));
  }
  return head;
}

TEST_F(PackageReaderTest, SignedImageStillReads) {
  std::vector<Item> items = {{"setup.ini", kEntryFile, kIni, true}, {"b.txt", kEntryFile, "bee", false}};
  Bytes unsignedImage = BuildPackage(items, true, SignedImage(0, 0));
  const std::uint32_t certificates = 1536;
  Bytes bytes = BuildPackage(items, true, SignedImage(static_cast<std::uint32_t>(unsignedImage.size()), certificates));
  bytes.insert(bytes.end(), certificates, 0x30);
  ASSERT_EQ(Read(bytes), 1);
  ExtractPackage(target_, "");
  EXPECT_EQ(ReadText(target_ + "setup.ini"), kIni);
  EXPECT_EQ(ReadText(target_ + "b.txt"), "bee");

  // A directory that does not end at the file's end is not followed.
  bytes.push_back(0);
  EXPECT_EQ(Read(bytes), 0);

  // Signing tools put the table on an 8-byte boundary, zeros in the gap.
  const std::uint32_t gap = (8 - static_cast<std::uint32_t>(unsignedImage.size() % 8)) % 8;
  bytes = BuildPackage(items, true, SignedImage(static_cast<std::uint32_t>(unsignedImage.size()) + gap, certificates));
  bytes.insert(bytes.end(), gap, 0);
  bytes.insert(bytes.end(), certificates, 0x30);
  ASSERT_EQ(Read(bytes), 1);
  ExtractPackage(target_, "");
  EXPECT_EQ(ReadText(target_ + "b.txt"), "bee");
}

// Builds a block code by code (bits most significant first, in 32-bit
// little-endian words), for streams no encoder of ours would write.
class BitStream {
 public:
  BitStream& Put(std::uint32_t value, unsigned n) {
    for (unsigned i = n; i-- > 0;) Bit((value >> i) & 1u);
    return *this;
  }
  BitStream& Gamma(std::uint32_t v) {
    int top = 31;
    while (!(v >> top)) --top;
    for (int i = top - 1; i >= 0; --i) Put((v >> i) & 1u, 1).Put(i > 0, 1);
    return *this;
  }
  BitStream& Width8() { return Put(0b001, 3).Put(0, 4).Put(0, 1).Put(1, 1); }
  BitStream& Literal(std::uint8_t v) { return Put(1, 1).Put(v, 8); }
  // A long match with a new distance, at the initial index width of 8.
  BitStream& Long(std::uint32_t distance, std::uint32_t gammaLength) {
    return Put(0b01, 2).Gamma((distance >> 8) + 3).Put(distance & 0xFF, 8).Gamma(gammaLength);
  }
  BitStream& End() { return Put(0, 12); }
  Bytes Block(std::uint32_t size, std::uint32_t checksum) {
    while (used_ != 0) Bit(0);
    Bytes b = {'J', 'C'};
    for (std::uint32_t v : {size, checksum})
      for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(v >> (8 * i)));
    b.insert(b.end(), words_.begin(), words_.end());
    return b;
  }

 private:
  void Bit(unsigned b) {
    word_ = (word_ << 1) | b;
    if (++used_ == 32) {
      for (int i = 0; i < 4; ++i) words_.push_back(std::uint8_t(word_ >> (8 * i)));
      used_ = 0;
      word_ = 0;
    }
  }
  Bytes words_;
  std::uint32_t word_ = 0;
  unsigned used_ = 0;
};

// An entry larger than the decoder's window whose last match reaches back
// past it (to the entry's first bytes): extraction streams it into its
// staging file, reads those bytes back from there, and reports its progress
// piece by piece, through a stored entry too.
TEST_F(PackageReaderTest, ALargeEntryStreamsAndReadsFarMatchesBackFromItsFile) {
  const std::uint32_t head = 4096;
  const std::uint32_t run = static_cast<std::uint32_t>(kBlockWindowSize) + (8u << 20);
  Bytes expected;
  BitStream stream;
  stream.Width8();
  for (std::uint32_t i = 0; i < head; ++i) {
    const std::uint8_t b = static_cast<std::uint8_t>((i * 2654435761u) >> 24);
    stream.Literal(b);
    expected.push_back(b);
  }
  stream.Long(1, run - 4);  // distances below 128 add 4 to the length
  expected.insert(expected.end(), run, expected.back());
  stream.Long(head + run, head - 3);  // from 64 KiB on they add 3
  const Bytes first(expected.begin(), expected.begin() + head);
  expected.insert(expected.end(), first.begin(), first.end());
  stream.End();
  const Bytes block = stream.Block(static_cast<std::uint32_t>(expected.size()),
                                   BlockChecksum(expected.data(), expected.size()));
  const std::string stored = Repeated("stored in pieces\r\n", 200000);  // 3.6 MB

  EntryList entries(2);
  entries[0].name = "large.bin";
  entries[0].type = kEntryFile;
  entries[0].size = static_cast<std::uint32_t>(expected.size());
  entries[0].storedSize = static_cast<std::uint32_t>(block.size());
  entries[1].name = "stored.txt";
  entries[1].type = kEntryFile;
  entries[1].size = entries[1].storedSize = static_cast<std::uint32_t>(stored.size());
  entries[1].dataOffset = entries[0].storedSize;
  Bytes data = block;
  data.insert(data.end(), stored.begin(), stored.end());
  ASSERT_EQ(Read(Assemble({}, entries, data, true)), 1);

  std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
  ExtractPackage(target_, "", {}, [&](std::uint64_t done, std::uint64_t total) { calls.emplace_back(done, total); });
  EXPECT_TRUE(LastExtractionStats().placed);
  const std::string large = ReadText(target_ + "large.bin");
  EXPECT_TRUE(large.size() == expected.size() && std::memcmp(large.data(), expected.data(), large.size()) == 0);
  EXPECT_EQ(ReadText(target_ + "stored.txt"), stored);

  const std::uint64_t total = expected.size() + stored.size();
  ASSERT_GT(calls.size(), total / kStreamOutputPiece);  // a piece at a time
  for (std::size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].second, total);
    if (i > 0) {
      EXPECT_GT(calls[i].first, calls[i - 1].first);
    }
  }
  EXPECT_EQ(calls.back().first, total);
}

}  // namespace
}  // namespace brindorel

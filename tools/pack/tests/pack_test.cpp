#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "package/block_decoder.h"
#include "package/package_format.h"
#include "tools/pack/pack_builder.h"
#include "tools/pack/pack_commands.h"
#include "tools/pack/pack_text.h"

namespace fs = std::filesystem;
using namespace brindorel;

namespace {

void WriteFile(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

std::vector<std::uint8_t> ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Unpacked {
  PackageTrailer trailer;
  EntryList entries;
  std::vector<std::vector<std::uint8_t>> data;
};

Unpacked Unpack(const std::vector<std::uint8_t>& file) {
  Unpacked u;
  EXPECT_TRUE(ParseTrailer(file.data() + file.size() - kTrailerSize, u.trailer));
  EXPECT_TRUE(TrailerFits(u.trailer, file.size()));
  const std::size_t tableStart = file.size() - kTrailerSize - u.trailer.tableStoredSize;
  std::vector<std::uint8_t> table(u.trailer.tableSize + 8);
  if (u.trailer.tableSize == u.trailer.tableStoredSize)
    std::copy(file.begin() + tableStart, file.begin() + tableStart + u.trailer.tableSize, table.begin());
  else
    EXPECT_EQ(DecompressBlock(file.data() + tableStart, u.trailer.tableStoredSize, table.data(), table.size()),
              u.trailer.tableSize);
  u.entries = ParseEntryTable(table.data(), u.trailer.tableSize);
  std::size_t pos = u.trailer.dataStart;
  for (const PackageEntry& e : u.entries) {
    EXPECT_EQ(e.dataOffset, pos) << e.name;
    std::vector<std::uint8_t> d(e.size + 8);
    if (e.size == e.storedSize)
      std::copy(file.begin() + pos, file.begin() + pos + e.size, d.begin());
    else
      EXPECT_EQ(DecompressBlock(file.data() + pos, e.storedSize, d.data(), d.size()), e.size) << e.name;
    d.resize(e.size);
    u.data.push_back(d);
    pos += e.storedSize;
  }
  EXPECT_EQ(pos, tableStart);
  return u;
}

class PackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("pack_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    folder = dir / "pkg";
    WriteFile(folder / "setup.ini",
              "[Settings]\r\nProgExe=acme.exe\r\nNoDelAll=1\r\n[Info]\r\nTitel=Acme Demo\r\nVersion=1.2\r\n"
              "[Task]\r\nMutexString=AcmeMutex\r\n");
    WriteFile(folder / "english.lng", "[Page01]\r\nTitel=Welcome\r\n");
    WriteFile(folder / "program" / "acme.txt", std::string(5000, 'a'));
    WriteFile(folder / "program" / "sub" / "data.bin", "xyz");
    WriteFile(dir / "stub" / "Install.exe", "MZ fake stub");
    WriteFile(dir / "stub" / "Uninstall.exe", "MZ fake uninstaller");
    options.folder = folder;
    options.output = dir / "Install.exe";
    options.stub = dir / "stub" / "Install.exe";
  }
  void TearDown() override { fs::remove_all(dir); }

  bool Build() {
    error.clear();
    return BuildInstaller(options, result, error);
  }

  int Run(std::vector<std::string> args, std::string* output = nullptr) {
    std::ostringstream out, err;
    const int rc = RunPackCommand(args, "", out, err);
    if (output) *output = out.str() + err.str();
    return rc;
  }

  fs::path dir, folder;
  BuildOptions options;
  BuildResult result;
  std::string error;
};

TEST_F(PackTest, BuildsOuterAndInnerPackagesThatParseBack) {
  ASSERT_TRUE(Build()) << error;
  const auto file = ReadBytes(options.output);
  Unpacked outer = Unpack(file);
  EXPECT_EQ(outer.trailer.dataStart, 12u);  // the stub's size
  ASSERT_EQ(outer.entries.size(), 3u);
  EXPECT_EQ(outer.entries[0].name, "setup.ini");
  EXPECT_EQ(outer.entries[1].name, "english.lng");
  EXPECT_EQ(outer.entries[2].name, "setup.pck");
  EXPECT_EQ(outer.data[0], ReadBytes(folder / "setup.ini"));

  Unpacked inner = Unpack(outer.data[2]);
  EXPECT_EQ(inner.trailer.dataStart, 0u);
  std::vector<std::string> names;
  for (const auto& e : inner.entries) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Uninstall.exe", "uninstall.dat", "acme.txt", "sub\\", "sub\\data.bin"}));
  EXPECT_EQ(inner.entries[3].type, kEntryFolder);
  EXPECT_LT(inner.entries[2].storedSize, inner.entries[2].size);  // compressible data is compressed
  EXPECT_EQ(inner.data[2], ReadBytes(folder / "program" / "acme.txt"));
  const std::string dat(inner.data[1].begin(), inner.data[1].end());
  EXPECT_EQ(dat,
            "[Settings]\r\nProgName = Acme Demo\r\nVersion = 1.2\r\nMutexString = AcmeMutex\r\nNoDelAll = 1\r\n"
            "[Files]\r\nF001 = acme.txt\r\nF002 = sub\\data.bin\r\n");
  // Times come from the source file, as FILETIME.
  const auto t = std::chrono::file_clock::to_sys(fs::last_write_time(folder / "program" / "acme.txt"));
  const std::int64_t ticks = std::chrono::duration_cast<std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>>(
                                 t.time_since_epoch()).count();
  EXPECT_EQ(inner.entries[2].lastWriteTime, UnixTicksToFileTime(ticks));

  // Same input, same bytes.
  ASSERT_TRUE(Build()) << error;
  EXPECT_EQ(ReadBytes(options.output), file);
}

TEST_F(PackTest, RefusesBadInput) {
  options.stub = dir / "nothing.exe";
  EXPECT_FALSE(Build());
  EXPECT_NE(error.find("no stub"), std::string::npos);
  options.stub = dir / "stub" / "Install.exe";

  WriteFile(folder / "program" / "caf\xC3\xA9.txt", "ok");  // maps to cp1252
  EXPECT_TRUE(Build()) << error;
  WriteFile(folder / "program" / "\xE2\x82\xAC\xE4\xB8\xAD.txt", "x");  // a CJK letter does not map
  EXPECT_FALSE(Build());
  EXPECT_NE(error.find("Windows-1252"), std::string::npos);
  fs::remove(folder / "program" / "\xE2\x82\xAC\xE4\xB8\xAD.txt");

  WriteFile(folder / "program" / "ACME.TXT", "case twin");
  EXPECT_FALSE(Build());
  fs::remove(folder / "program" / "ACME.TXT");

  fs::remove(options.output);
  fs::remove(folder / "setup.ini");
  EXPECT_FALSE(Build());
  EXPECT_NE(error.find("setup.ini"), std::string::npos);
  EXPECT_FALSE(fs::exists(options.output));
}

TEST_F(PackTest, CommandsListVerifyAndDetectDamage) {
  std::string text;
  EXPECT_EQ(Run({"build", folder.string(), "-o", options.output.string(), "--stub", options.stub.string(),
                 "--level", "fast"}, &text), 0) << text;
  EXPECT_EQ(Run({"list", options.output.string()}, &text), 0);
  EXPECT_NE(text.find("  file   3 3 "), std::string::npos) << text;  // nested entries are indented
  EXPECT_NE(text.find("sub\\data.bin"), std::string::npos);
  EXPECT_EQ(Run({"verify", options.output.string()}, &text), 0) << text;

  auto bytes = ReadBytes(options.output);
  Unpacked outer = Unpack(bytes);
  // Flip a byte inside the (compressed) setup.ini block.
  bytes[outer.entries[0].dataOffset + outer.entries[0].storedSize / 2] ^= 0x40;
  std::ofstream(options.output, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                        static_cast<std::streamsize>(bytes.size()));
  EXPECT_EQ(Run({"verify", options.output.string()}, &text), 1);
  EXPECT_NE(text.find("bad entry setup.ini"), std::string::npos) << text;

  EXPECT_EQ(Run({"frobnicate"}), 2);
  EXPECT_EQ(Run({"build", folder.string()}), 2);
  EXPECT_EQ(Run({"--version"}), 0);
}

TEST(PackTextTest, CodePageAndTimes) {
  std::string out;
  EXPECT_TRUE(Utf8ToCp1252("\xE2\x82\xAC\xC3\xBC", out));
  EXPECT_EQ(out, "\x80\xFC");
  EXPECT_EQ(Cp1252ToUtf8(out), "\xE2\x82\xAC\xC3\xBC");
  EXPECT_FALSE(Utf8ToCp1252("\xC3", out));      // truncated
  EXPECT_FALSE(Utf8ToCp1252("\xC0\xAF", out));  // overlong
  EXPECT_EQ(UnixTicksToFileTime(0), 116444736000000000ull);
  EXPECT_EQ(FormatFileTime(116444736000000000ull), "1970-01-01 00:00:00");
  EXPECT_EQ(FormatFileTime(0), "1601-01-01 00:00:00");
}

}  // namespace

// The builder end to end on small package folders made by the tests: what it
// writes reads back entry for entry, and what is wrong is refused by name.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "package/block_encoder.h"
#include "tools/pack/pack_builder.h"
#include "tools/pack/pack_files.h"
#include "tools/pack/pack_package.h"

namespace brindorel::pack {
namespace {
namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::uint8_t> Read(const fs::path& path) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(ReadWholeFile(path, bytes, error)) << error;
  return bytes;
}

std::string Text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

const ReadEntry* Find(const ReadResult& package, const std::string& name) {
  for (const ReadEntry& e : package.entries) {
    if (e.entry.name == name) return &e;
  }
  return nullptr;
}

class PackBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("brindorel-pack-test-" + std::to_string(::getpid()) + "-" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    folder_ = root_ / "package";
    Write(folder_ / "setup.ini",
          "[Info]\r\nTitel=Acme Tool\r\nVersion=2.1\r\n[Task]\r\nMutexString=AcmeMutex\r\n[Settings]\r\nProgExe=acme.exe\r\n"
          "DefaultDir=%ProgramFiles%Acme Tool\r\n");
    Write(folder_ / "english.lng", "[Page01]\r\nTitel=Welcome\r\n");
    std::string big;
    std::mt19937 random(7);
    for (int i = 0; i < 20000; ++i) big += "line " + std::to_string(random() % 100) + "\n";
    Write(folder_ / "program" / "acme.exe", big);
    Write(folder_ / "program" / "data" / "settings.dat", "x=1");
    Write(folder_ / "program" / "empty.txt", "");
    stub_ = root_ / "stub.exe";
    Write(stub_, std::string("MZ") + std::string(998, '\x90'));
    uninstaller_ = root_ / "Uninstall.exe";
    Write(uninstaller_, std::string("MZ") + std::string(300, 'u'));
  }
  void TearDown() override { fs::remove_all(root_); }

  BuildOptions Options() {
    BuildOptions options;
    options.packageFolder = folder_;
    options.output = root_ / "Install.exe";
    options.stub = stub_;
    options.uninstaller = uninstaller_;
    options.level = kBlockLevelFast;
    return options;
  }

  fs::path root_, folder_, stub_, uninstaller_;
};

TEST_F(PackBuild, WhatIsBuiltReadsBackEntryForEntry) {
  BuildReport report;
  std::string error;
  ASSERT_TRUE(BuildInstaller(Options(), report, error)) << error;
  std::vector<std::uint8_t> image = Read(root_ / "Install.exe");
  ReadResult outer = ReadPackageBytes(image);
  ASSERT_TRUE(outer.found) << outer.problem;
  // D is the stub's size plus the checksum record of four entries.
  EXPECT_EQ(outer.trailer.dataStart, 1000u + ChecksumRecordSize(4));
  ASSERT_EQ(outer.entries.size(), 4u);
  EXPECT_EQ(outer.entries.front().entry.name, "setup.ini");
  EXPECT_EQ(outer.entries[2].entry.name, "setup.pck");
  EXPECT_EQ(outer.entries[2].entry.storedSize, outer.entries[2].entry.size);  // the one entry stored as it is
  EXPECT_EQ(outer.entries.back().entry.type, kEntryChecksums);
  for (const ReadEntry& e : outer.entries) {
    EXPECT_EQ(e.state, e.entry.name == "setup.pck" ? EntryState::Unchecked : EntryState::Checked) << e.entry.name;
  }
  for (const ReadEntry& e : outer.entries) EXPECT_TRUE(e.decoded) << e.entry.name;
  EXPECT_EQ(Text(Find(outer, "english.lng")->data), "[Page01]\r\nTitel=Welcome\r\n");
  EXPECT_EQ(Find(outer, "setup.ini")->entry.lastWriteTime, FileTimeOf(folder_ / "setup.ini"));

  ReadResult inner = ReadPackageBytes(Find(outer, "setup.pck")->data);
  ASSERT_TRUE(inner.found) << inner.problem;
  EXPECT_EQ(inner.trailer.dataStart, ChecksumRecordSize(inner.entries.size()));
  for (const ReadEntry& e : inner.entries) EXPECT_EQ(e.state, EntryState::Checked) << e.entry.name;
  const ReadEntry* exe = Find(inner, "acme.exe");
  ASSERT_NE(exe, nullptr);
  EXPECT_LT(exe->entry.storedSize, exe->entry.size);  // text compresses
  EXPECT_EQ(exe->data, Read(folder_ / "program" / "acme.exe"));
  EXPECT_EQ(exe->entry.lastWriteTime, FileTimeOf(folder_ / "program" / "acme.exe"));
  const ReadEntry* folder = Find(inner, "data\\");
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(folder->entry.type, kEntryFolder);
  ASSERT_NE(Find(inner, "data\\settings.dat"), nullptr);
  ASSERT_NE(Find(inner, "empty.txt"), nullptr);
  EXPECT_EQ(Find(inner, "empty.txt")->entry.storedSize, 0u);
  ASSERT_NE(Find(inner, "Uninstall.exe"), nullptr);
  EXPECT_EQ(Text(Find(inner, "uninstall.dat")->data),
            "[Settings]\r\nProgName = Acme Tool\r\nVersion = 2.1\r\nMutexString = AcmeMutex\r\nNoDelAll = 0\r\n"
            "[Files]\r\nF001 = acme.exe\r\nF002 = data\\settings.dat\r\nF003 = empty.txt\r\n");
}

TEST_F(PackBuild, SameInputGivesTheSameBytesAndExtraFilesReplaceProgramFiles) {
  BuildReport report;
  std::string error;
  BuildOptions options = Options();
  Write(root_ / "built-acme.exe", "MZ built");
  options.extraFiles.emplace_back("program/acme.exe", root_ / "built-acme.exe");
  options.jobs = 1;
  ASSERT_TRUE(BuildInstaller(options, report, error)) << error;
  std::vector<std::uint8_t> first = Read(options.output);
  options.jobs = 3;  // the number of threads changes nothing
  ASSERT_TRUE(BuildInstaller(options, report, error)) << error;
  EXPECT_EQ(first, Read(options.output));
  ReadResult inner = ReadPackageBytes(Find(ReadPackageBytes(first), "setup.pck")->data);
  EXPECT_EQ(Text(Find(inner, "acme.exe")->data), "MZ built");
}

TEST_F(PackBuild, ProblemsAreRefusedByName) {
  BuildReport report;
  std::string error;
  {
    BuildOptions options = Options();
    options.stub = root_ / "missing-stub.exe";
    EXPECT_FALSE(BuildInstaller(options, report, error));
    EXPECT_NE(error.find("missing-stub.exe"), std::string::npos) << error;
  }
  {
    // Names Windows cannot hold are refused with the path and the reason.
    struct Refused {
      std::string name;
      const char* reason;
    };
    const Refused refused[] = {
        {"CON", "name devices"},           {"nul.txt", "name devices"},     {"Com7.log", "name devices"},
        {"trail.", "dot or space"},        {"trail ", "dot or space"},      {"a<b", "cannot hold"},
        {"what?", "cannot hold"},          {"pipe|d", "cannot hold"},       {"col:on", "cannot hold"},
        {"ctl\x01", "cannot hold"},        {"back\\slash", "cannot hold"}, {"\xFFlatin1.txt", "not valid UTF-8"},
    };
    for (const Refused& r : refused) {
      SCOPED_TRACE(r.name);
      Write(folder_ / "program" / "sub" / r.name, "x");
      EXPECT_FALSE(BuildInstaller(Options(), report, error));
      EXPECT_NE(error.find(r.reason), std::string::npos) << error;
      EXPECT_NE(error.find("sub"), std::string::npos) << error;
      fs::remove_all(folder_ / "program" / "sub");
    }
    // A name too long for Windows (Linux takes 255 bytes only: given with --add).
    BuildOptions options = Options();
    options.extraFiles.emplace_back("program/" + std::string(256, 'n'), folder_ / "setup.ini");
    EXPECT_FALSE(BuildInstaller(options, report, error));
    EXPECT_NE(error.find("at most 255"), std::string::npos) << error;
    // Names in any script are fine, and so are names that merely look close.
    for (const char* name : {"\xE5\x90\x8D.txt", "caf\xC3\xA9.txt", "\xCE\xB1\xCE\xB2", "CONSOLE.txt", "com0", ".hidden"})
      Write(folder_ / "program" / name, "x");
    EXPECT_TRUE(BuildInstaller(Options(), report, error)) << error;
  }
  {
    fs::remove(folder_ / "setup.ini");
    EXPECT_FALSE(BuildInstaller(Options(), report, error));
    EXPECT_NE(error.find("setup.ini"), std::string::npos) << error;
  }
}

TEST_F(PackBuild, VerifyNamesACorruptEntryAndListShowsTheNestedPackage) {
  BuildReport report;
  std::string error;
  ASSERT_TRUE(BuildInstaller(Options(), report, error)) << error;
  const std::string pack = BRINDOREL_PACK;
  const std::string image = (root_ / "Install.exe").string();
  EXPECT_EQ(std::system((pack + " verify '" + image + "' > '" + (root_ / "out.txt").string() + "'").c_str()), 0);
  EXPECT_EQ(std::system((pack + " list '" + image + "' | grep -q '    file .*acme.exe'").c_str()), 0);

  // Flip one byte inside the compressed acme.exe, deep in setup.pck.
  std::vector<std::uint8_t> bytes = Read(root_ / "Install.exe");
  ReadResult outer = ReadPackageBytes(bytes);
  const ReadEntry* pck = Find(outer, "setup.pck");
  ReadResult inner = ReadPackageBytes(pck->data);
  const ReadEntry* exe = Find(inner, "acme.exe");
  bytes[pck->entry.dataOffset + exe->entry.dataOffset + exe->entry.storedSize / 2] ^= 0x20;
  ASSERT_TRUE(WriteWholeFile(root_ / "Install.exe", bytes, error));
  std::string out = (root_ / "bad.txt").string();
  EXPECT_NE(std::system((pack + " verify '" + image + "' > '" + out + "'").c_str()), 0);
  std::ifstream reportFile(out);
  std::string text((std::istreambuf_iterator<char>(reportFile)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("BAD setup.pck: acme.exe"), std::string::npos) << text;
  EXPECT_EQ(std::system((pack + " frobnicate 2>/dev/null").c_str()) >> 8, 2);
}

// Bytes that compress (numbered lines) but are not all alike.
std::string Lines(std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::string text;
  while (text.size() < size) text += "line " + std::to_string(random() % 5000) + " of a large file\n";
  text.resize(size);
  return text;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A file larger than what the builder compresses whole streams through it
// and back: the installer's reader gives it, verify checks it, extract
// writes it (setup.pck from the installer, then the file from setup.pck),
// and a damaged package extracts nothing at all.
TEST_F(PackBuild, ALargeFileStreamsThroughBuildVerifyAndExtract) {
  const std::string large = Lines(kStreamedEntry + 3 * 1024 * 1024 + 17, 5);
  Write(folder_ / "program" / "large.bin", large);
  BuildOptions options = Options();
  options.jobs = 2;
  BuildReport report;
  std::string error;
  ASSERT_TRUE(BuildInstaller(options, report, error)) << error;
  EXPECT_FALSE(fs::exists(root_ / "Install.exe.partial"));
  const std::string pack = BRINDOREL_PACK;
  const std::string image = (root_ / "Install.exe").string();
  EXPECT_EQ(std::system((pack + " verify '" + image + "' > /dev/null").c_str()), 0);
  const fs::path outer = root_ / "outer", inner = root_ / "inner";
  ASSERT_EQ(std::system((pack + " extract '" + image + "' '" + outer.string() + "'").c_str()), 0);
  ASSERT_EQ(std::system((pack + " extract '" + (outer / "setup.pck").string() + "' '" + inner.string() + "'").c_str()), 0);
  EXPECT_TRUE(ReadText(inner / "large.bin") == large);
  EXPECT_EQ(ReadText(inner / "acme.exe"), ReadText(folder_ / "program" / "acme.exe"));
  EXPECT_TRUE(fs::is_regular_file(inner / "empty.txt"));
  EXPECT_TRUE(fs::is_directory(inner / "data"));
  EXPECT_EQ(std::distance(fs::directory_iterator(inner), fs::directory_iterator()), 6)  // and no staging left
      << "large.bin, acme.exe, empty.txt, data, Uninstall.exe, uninstall.dat";

  // One byte of large.bin's block flipped: extract writes nothing.
  std::vector<std::uint8_t> bytes = Read(outer / "setup.pck");
  const ReadResult read = ReadPackageBytes(bytes);  // kept: Find points into it
  const ReadEntry* entry = Find(read, "large.bin");
  ASSERT_NE(entry, nullptr);
  bytes[entry->entry.dataOffset + entry->entry.storedSize / 2] ^= 0x08;
  ASSERT_TRUE(WriteWholeFile(root_ / "damaged.pck", bytes, error));
  const fs::path nothing = root_ / "nothing";
  EXPECT_NE(std::system((pack + " extract '" + (root_ / "damaged.pck").string() + "' '" + nothing.string() +
                         "' 2> /dev/null").c_str()),
            0);
  EXPECT_FALSE(fs::exists(nothing));
}

// What the format cannot hold is refused with the file's name and the
// limit: a file of 4 GiB (sparse: nothing is read) before any work, and an
// entry whose data would lie past 4 GiB - 1 in the file.
TEST_F(PackBuild, WhatPassesTheFormatsLimitsIsRefusedByName) {
  const fs::path huge = folder_ / "program" / "huge.bin";
  { std::ofstream(huge, std::ios::binary); }
  std::error_code ec;
  fs::resize_file(huge, std::uint64_t(1) << 32, ec);
  if (ec) GTEST_SKIP() << "no 4 GiB file here: " << ec.message();
  BuildReport report;
  std::string error;
  EXPECT_FALSE(BuildInstaller(Options(), report, error));
  EXPECT_NE(error.find("huge.bin: 4294967296 bytes"), std::string::npos) << error;
  EXPECT_NE(error.find("at most 4294967295 bytes"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(root_ / "Install.exe"));
  fs::resize_file(huge, (std::uint64_t(1) << 32) - 1, ec);
  SourceEntry big;
  big.name = "program\\huge.bin";
  big.file = huge;
  big.fileSize = std::uint64_t(1) << 32;
  std::vector<std::uint8_t> written;
  EXPECT_FALSE(WritePackage({big}, kBlockLevelFast, written, error));  // the writer checks too
  EXPECT_NE(error.find("at most 4294967295 bytes"), std::string::npos) << error;
  EXPECT_TRUE(written.empty());
  fs::remove(huge);

  // An output that counts without keeping, starting where a stub of nearly
  // 4 GiB would end.
  class Counting : public PackageOutput {
   public:
    explicit Counting(std::uint64_t start) : position_(start) {}
    std::uint64_t Position() const override { return position_; }
    bool Append(const std::uint8_t*, std::size_t size) override { return position_ += size, true; }
    bool Overwrite(std::uint64_t, const std::uint8_t*, std::size_t) override { return true; }

   private:
    std::uint64_t position_;
  };
  std::vector<SourceEntry> entries(2);
  entries[0].name = "small.txt";
  entries[0].data.assign(100, 'a');
  entries[1].name = "noise.bin";
  std::mt19937 random(9);
  for (int i = 0; i < 100000; ++i) entries[1].data.push_back(static_cast<std::uint8_t>(random()));
  Counting nearTheEnd(0xFFFFFFFFull - 50000);
  EXPECT_FALSE(WritePackage(entries, kBlockLevelFast, nearTheEnd, 0, error));
  EXPECT_NE(error.find("passes the format's 4 GiB limit at noise.bin"), std::string::npos) << error;
  Counting pastTheEnd(std::uint64_t(1) << 32);
  EXPECT_FALSE(WritePackage(entries, kBlockLevelFast, pastTheEnd, 0, error));
  EXPECT_NE(error.find("larger than 4 GiB"), std::string::npos) << error;
  Counting room(0xFFFFFFFFull - 200000);
  EXPECT_TRUE(WritePackage(entries, kBlockLevelFast, room, 0, error)) << error;
}

// Without --uninstaller the builder takes uninstaller/Uninstall.exe of the
// Windows build tree that holds the stub; --uninstaller chooses another.
TEST_F(PackBuild, TheUninstallerComesFromTheStubsBuildTreeUnlessNamed) {
  const fs::path tree = root_ / "win32";
  Write(tree / "core" / "Install.exe", std::string("MZ") + std::string(998, '\x90'));
  Write(tree / "uninstaller" / "Uninstall.exe", std::string("MZ") + std::string(200, 't'));
  const std::string pack = BRINDOREL_PACK;
  const std::string image = (root_ / "Install.exe").string();
  auto carried = [&](const std::string& extra) {
    const std::string command = pack + " build '" + folder_.string() + "' -o '" + image + "' --stub '" +
                                (tree / "core" / "Install.exe").string() + "' " + extra + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    ReadResult outer = ReadPackageBytes(Read(image));
    const ReadEntry* pck = Find(outer, "setup.pck");
    if (pck == nullptr) return std::string();
    ReadResult inner = ReadPackageBytes(pck->data);
    const ReadEntry* uninstaller = Find(inner, "Uninstall.exe");
    return uninstaller == nullptr ? std::string() : Text(uninstaller->data);
  };
  EXPECT_EQ(carried(""), std::string("MZ") + std::string(200, 't'));
  EXPECT_EQ(carried("--uninstaller '" + uninstaller_.string() + "'"), std::string("MZ") + std::string(300, 'u'));
}

TEST(PackNames, NamesAreUtf8AndOlderPackagesReadInWindows1252) {
  EXPECT_EQ(AnsiToUtf8("\x80\xFC"), "\xE2\x82\xAC\xC3\xBC");
  EXPECT_EQ(EntryNameText("gr\xC3\xBC\xC3\x9F.txt"), "gr\xC3\xBC\xC3\x9F.txt");  // UTF-8 stays
  EXPECT_EQ(EntryNameText("gr\xFC\xDF.txt"), "gr\xC3\xBC\xC3\x9F.txt");              // an older name
  EXPECT_EQ(EntryNameText("docs\\notes.txt"), "docs\\notes.txt");
}

// The first uninstall.dat: ASCII stays byte for byte; texts of a settings
// file without the mark are copied as they stand; UTF-8 file names need the
// mark.
TEST_F(PackBuild, FirstRecordKeepsTheSettingsEncodingAndTakesTheMarkForUtf8Names) {
  struct Case {
    const char* name;
    std::string setup;     // [Info] Titel line's value, in the file's own bytes
    bool setupMark;
    std::string file;      // a program file's name (UTF-8)
    std::string record;    // the expected first bytes of uninstall.dat up to the ProgName line's end
    bool warns;
  };
  const std::string mark = "\xEF\xBB\xBF";
  const Case cases[] = {
      {"ascii", "Acme", false, "a.txt", "[Settings]\r\nProgName = Acme\r\n", false},
      {"code page copied", "Caf\xE9", false, "a.txt", "[Settings]\r\nProgName = Caf\xE9\r\n", false},
      {"utf-8 settings", "Caf\xC3\xA9", true, "a.txt", mark + "[Settings]\r\nProgName = Caf\xC3\xA9\r\n", false},
      {"utf-8 name", "Acme", false, "\xCE\xB1.txt", mark + "[Settings]\r\nProgName = Acme\r\n", false},
      {"both", "Caf\xE9", false, "\xCE\xB1.txt", mark + "[Settings]\r\nProgName = Caf\xC3\xA9\r\n", true},
      {"utf-8 both", "\xE4\xB8\xAD", true, "\xCE\xB1.txt", mark + "[Settings]\r\nProgName = \xE4\xB8\xAD\r\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(folder_ / "program");
    Write(folder_ / "program" / c.file, "x");
    Write(folder_ / "setup.ini", (c.setupMark ? mark : std::string()) + "[Info]\r\nTitel=" + c.setup + "\r\n");
    BuildReport report;
    std::string error;
    ASSERT_TRUE(BuildInstaller(Options(), report, error)) << error;
    ReadResult inner = ReadPackageBytes(Find(ReadPackageBytes(Read(root_ / "Install.exe")), "setup.pck")->data);
    const ReadEntry* record = Find(inner, "uninstall.dat");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(Text(record->data).substr(0, c.record.size()), c.record);
    EXPECT_NE(Text(record->data).find("F001 = " + c.file + "\r\n"), std::string::npos) << Text(record->data);
    ASSERT_NE(Find(inner, c.file), nullptr);  // the entry's name is the UTF-8 name
    EXPECT_EQ(!report.warnings.empty(), c.warns);
  }
}

}  // namespace
}  // namespace brindorel::pack

namespace brindorel::pack {
namespace {

bool HaveTool(const char* name) { return std::system((std::string("command -v ") + name + " >/dev/null").c_str()) == 0; }

// A throw-away code-signing certificate (cert.pem, key.pem) in `dir`, and the
// commands that sign with it and verify against it.
bool MakeCertificate(const std::string& dir) {
  return std::system(("cd '" + dir + "' && openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem"
                      " -out cert.pem -days 2 -subj /CN=BrindorelTest"
                      " -addext extendedKeyUsage=codeSigning >/dev/null 2>&1").c_str()) == 0;
}
std::string SignCommandFor(const std::string& dir) {
  return "osslsigncode sign -certs '" + dir + "/cert.pem' -key '" + dir +
         "/key.pem' -n Test -in {in} -out {out} >/dev/null";
}
std::string VerifyCommandFor(const std::string& dir) { return "osslsigncode verify -CAfile '" + dir + "/cert.pem' -in "; }

// Real signing with a throw-away certificate: the real stub (from the Windows
// build tree) and a real PE as uninstaller are signed and still read back.
TEST_F(PackBuild, SignCommandSignsTheUninstallerAndTheInstaller) {
  const fs::path realStub = BRINDOREL_DEFAULT_STUB;
  if (!HaveTool("osslsigncode") || !HaveTool("openssl") || !fs::is_regular_file(realStub)) {
    GTEST_SKIP() << "needs osslsigncode, openssl and " << realStub;
  }
  const std::string dir = root_.string();
  ASSERT_TRUE(MakeCertificate(dir));
  BuildOptions options = Options();
  options.stub = realStub;
  options.uninstaller = realStub;  // any PE image will do as the uninstaller here
  options.signCommand = SignCommandFor(dir);
  BuildReport report;
  std::string error;
  ASSERT_TRUE(BuildInstaller(options, report, error)) << error;

  const std::string verify = VerifyCommandFor(dir);
  const std::string image = options.output.string();
  EXPECT_EQ(std::system((verify + "'" + image + "' >/dev/null 2>&1").c_str()), 0);
  std::vector<std::uint8_t> bytes = Read(options.output);
  EXPECT_TRUE(HasSignature(bytes));
  ReadResult outer = ReadPackageBytes(bytes);
  ASSERT_TRUE(outer.found) << outer.problem;
  ReadResult inner = ReadPackageBytes(Find(outer, "setup.pck")->data);
  ASSERT_TRUE(inner.found) << inner.problem;
  const ReadEntry* uninstaller = Find(inner, "Uninstall.exe");
  ASSERT_NE(uninstaller, nullptr);
  Write(root_ / "Uninstall.exe", Text(uninstaller->data));
  EXPECT_EQ(std::system((verify + "'" + dir + "/Uninstall.exe' >/dev/null 2>&1").c_str()), 0);
  const std::string pack = BRINDOREL_PACK;
  EXPECT_EQ(std::system((pack + " verify '" + image + "' | grep -q 'signature: present'").c_str()), 0);
  EXPECT_FALSE(fs::exists(image + ".unsigned-Install.exe"));

  // A failing command stops the build and names itself; no installer is left.
  fs::remove(options.output);
  options.signCommand = "false {in} {out}";
  EXPECT_FALSE(BuildInstaller(options, report, error));
  EXPECT_NE(error.find("signing Uninstall.exe failed"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(options.output));
  EXPECT_EQ(SignCommandLine("s -in {in} -out {out}", "/a b/it's", "/o"), "s -in '/a b/it'\\''s' -out '/o'");
}

// The Windows tree whose programs Wine can run on this machine: the 32-bit
// product tree when the 32-bit loader starts, else the 64-bit test tree.
struct WineTree {
  fs::path tree;
  std::string runner;  // cmake/wine-run with its arguments
};

bool FindWineTree(WineTree& found) {
  const fs::path source = BRINDOREL_SOURCE_DIR;
  const bool runs32 = std::system("/usr/lib/wine/wine --version >/dev/null 2>&1") == 0;
  found.tree = source / "build" / (runs32 ? "win32" : "win64");
  found.runner = "'" + (source / "cmake" / "wine-run").string() + "'" + (runs32 ? "" : " --win64");
  return fs::is_regular_file(found.tree / "core" / "Install.exe") &&
         fs::is_regular_file(found.tree / "uninstaller" / "Uninstall.exe") &&
         fs::is_regular_file(found.tree / "wineprefix" / "system.reg") && std::getenv("DISPLAY") != nullptr;
}

// The example, signed, installed and removed again under Wine without a
// window: the signature in front of the package changes nothing.
TEST_F(PackBuild, SignedExampleInstallsAndUninstallsUnderWine) {
  WineTree wine;
  if (!HaveTool("osslsigncode") || !HaveTool("openssl") || !FindWineTree(wine)) {
    GTEST_SKIP() << "needs osslsigncode, openssl, a display and a Windows tree with its Wine prefix";
  }
  const std::string dir = root_.string();
  ASSERT_TRUE(MakeCertificate(dir));
  BuildOptions options;
  options.packageFolder = fs::path(BRINDOREL_SOURCE_DIR) / "examples" / "acme-demo";
  options.output = root_ / "Signed.exe";
  options.stub = wine.tree / "core" / "Install.exe";
  options.uninstaller = wine.tree / "uninstaller" / "Uninstall.exe";
  options.level = kBlockLevelFast;
  options.extraFiles = {{"program/acme.exe", wine.tree / "examples" / "acme.exe"},
                        {"program/tools/acme-config.exe", wine.tree / "examples" / "acme-config.exe"}};
  options.signCommand = SignCommandFor(dir);
  BuildReport report;
  std::string error;
  ASSERT_TRUE(BuildInstaller(options, report, error)) << error;
  const std::string verify = VerifyCommandFor(dir);
  ASSERT_EQ(std::system((verify + "'" + options.output.string() + "' >/dev/null 2>&1").c_str()), 0);

  const fs::path prefix = wine.tree / "wineprefix";
  const std::string env = "WINEPREFIX='" + prefix.string() + "' BRINDOREL_WINE_HOME='" +
                          (prefix / "home").string() + "' ";
  const fs::path target = root_ / "installed" / "AcmeDemo";
  std::string windowsTarget = "Z:" + target.string();
  for (char& c : windowsTarget) if (c == '/') c = '\\';
  const int installed = std::system((env + wine.runner + " '" + options.output.string() + "' /S /NOICONS /NODESKTOP '/D=" +
                                     windowsTarget + "' >/dev/null 2>&1").c_str());
  ASSERT_TRUE(WIFEXITED(installed));
  EXPECT_EQ(WEXITSTATUS(installed), 0);
  EXPECT_TRUE(fs::is_regular_file(target / "acme.exe"));
  EXPECT_TRUE(fs::is_regular_file(target / "uninstall.dat"));
  ASSERT_TRUE(fs::is_regular_file(target / "Uninstall.exe"));
  EXPECT_EQ(std::system((verify + "'" + (target / "Uninstall.exe").string() + "' >/dev/null 2>&1").c_str()), 0);

  // The signed uninstaller removes it again (and the registry entries with it).
  const int removed = std::system((env + wine.runner + " '" + (target / "Uninstall.exe").string() +
                                   "' /S >/dev/null 2>&1; " + env + "wineserver -w").c_str());
  ASSERT_TRUE(WIFEXITED(removed));
  EXPECT_FALSE(fs::exists(target / "acme.exe"));
}

}  // namespace
}  // namespace brindorel::pack

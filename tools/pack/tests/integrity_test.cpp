// Every single-byte flip of a small built installer is caught before anything
// would be installed, unless the byte provably matters to nothing: the
// installer's reading (the outer package, then setup.pck from it) either
// refuses the package or gives back exactly what was packed, and the
// builder's verify agrees with it on every flip.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>

#include "tools/pack/pack_builder.h"
#include "tools/pack/pack_files.h"
#include "tools/pack/pack_package.h"

namespace brindorel::pack {
namespace {
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

struct Content {
  std::uint32_t type;
  std::uint64_t creation, lastWrite;
  Bytes data;
  bool operator==(const Content& o) const {
    return type == o.type && creation == o.creation && lastWrite == o.lastWrite && data == o.data;
  }
};
using Contents = std::map<std::string, Content>;

// What the installer would install from `image`: nothing when it refuses.
std::optional<Contents> Installed(const Bytes& image) {
  Contents contents;
  const ReadResult outer = ReadPackageBytes(image);
  if (!outer.found) return std::nullopt;
  const Bytes* pck = nullptr;
  for (const ReadEntry& read : outer.entries) {
    if (!read.decoded) return std::nullopt;
    if (read.entry.name == "setup.pck") {
      pck = &read.data;  // what matters of it is what it holds, compared below
      contents["outer:setup.pck"] = {read.entry.type, read.entry.creationTime, read.entry.lastWriteTime, {}};
    } else {
      contents["outer:" + read.entry.name] = {read.entry.type, read.entry.creationTime, read.entry.lastWriteTime,
                                              read.data};
    }
  }
  if (pck == nullptr) return std::nullopt;
  const ReadResult inner = ReadPackageBytes(*pck);
  if (!inner.found) return std::nullopt;
  for (const ReadEntry& read : inner.entries) {
    if (!read.decoded) return std::nullopt;
    contents[read.entry.name] = {read.entry.type, read.entry.creationTime, read.entry.lastWriteTime, read.data};
  }
  return contents;
}

// Where the blocks of the installer lie: [start, end) in the file.
std::vector<std::pair<std::uint64_t, std::uint64_t>> Blocks(const Bytes& image) {
  std::vector<std::pair<std::uint64_t, std::uint64_t>> blocks;
  auto add = [&](const ReadResult& package, std::uint64_t base, std::uint64_t end) {
    for (const ReadEntry& read : package.entries)
      if (read.located.carriesData)
        blocks.emplace_back(base + read.located.dataPosition,
                            base + read.located.dataPosition + read.entry.storedSize);
    blocks.emplace_back(base + end - kTrailerSize - package.trailer.tableStoredSize, base + end - kTrailerSize);
  };
  const ReadResult outer = ReadPackageBytes(image);
  add(outer, 0, image.size());
  for (const ReadEntry& read : outer.entries)
    if (read.entry.name == "setup.pck") add(ReadPackageBytes(read.data), read.located.dataPosition, read.entry.size);
  return blocks;
}

TEST(Integrity, EverySingleByteFlipIsCaughtOrChangesNothing) {
  const fs::path root = fs::temp_directory_path() / ("brindorel-integrity-" + std::to_string(::getpid()));
  fs::remove_all(root);
  const fs::path folder = root / "package";
  Write(folder / "setup.ini", "[Info]\r\nTitel=Flip\r\nVersion=1\r\n[Settings]\r\nProgExe=flip.exe\r\n");
  Write(folder / "english.lng", "[Page01]\r\nTitel=Welcome to the flip test\r\n");
  std::string program;
  for (int i = 0; i < 30; ++i) program += "MZ flip program line " + std::to_string(i % 4) + "\r\n";
  Write(folder / "program" / "flip.exe", program);
  std::mt19937 random(16);
  std::string noise;
  for (int i = 0; i < 300; ++i) noise += static_cast<char>(random());
  Write(folder / "program" / "data" / "noise.bin", noise);  // incompressible: raw runs
  Write(folder / "program" / "empty.txt", "");
  Write(root / "stub.exe", "MZ" + std::string(62, '\x90'));
  Write(root / "Uninstall.exe", "MZ uninstaller of the flip test");
  BuildOptions options;
  options.packageFolder = folder;
  options.output = root / "Install.exe";
  options.stub = root / "stub.exe";
  options.uninstaller = root / "Uninstall.exe";
  options.level = 1;
  BuildReport report;
  std::string error;
  ASSERT_TRUE(BuildInstaller(options, report, error)) << error;
  Bytes image;
  ASSERT_TRUE(ReadWholeFile(options.output, image, error)) << error;
  const std::optional<Contents> original = Installed(image);
  ASSERT_TRUE(original.has_value());
  ASSERT_GE(original->size(), 9u);
  const auto blocks = Blocks(image);

  const std::uint64_t packageStart = 64;  // the stub's size
  const std::string pack = BRINDOREL_PACK;
  const fs::path flipped = root / "flipped.exe";
  int refused = 0, unchanged = 0, verified = 0;
  for (std::uint64_t at = packageStart; at < image.size(); ++at) {
    for (std::uint8_t mask : {std::uint8_t(0x01), std::uint8_t(0x80), std::uint8_t(0x5A)}) {
      Bytes bad = image;
      bad[at] ^= mask;
      const std::optional<Contents> installed = Installed(bad);
      if (!installed) {
        ++refused;
      } else {
        // Accepted: then it must be exactly what was packed. Such a flip hits
        // the bits behind a block's end code, or turns a match into another
        // that copies the same bytes (repeated text has many such).
        std::string differs;
        for (const auto& item : *original) {
          auto found = installed->find(item.first);
          if (found == installed->end() || !(found->second == item.second)) {
            differs += " " + item.first;
            std::ofstream(root / "a.bin", std::ios::binary).write((const char*)item.second.data.data(), item.second.data.size());
            std::ofstream(root / "b.bin", std::ios::binary).write((const char*)found->second.data.data(), found->second.data.size());
            differs += " times " + std::to_string(item.second.lastWrite) + "/" + std::to_string(found->second.lastWrite);
          }
        }
        EXPECT_EQ(*installed == *original, true) << "byte " << at << " ^ " << int(mask) << " installs other bytes:" << differs;
        bool inBlock = false;
        for (const auto& block : blocks) inBlock = inBlock || (at >= block.first && at < block.second);
        EXPECT_TRUE(inBlock) << "byte " << at << " outside every block changes nothing";
        ++unchanged;
      }
      // The builder's verify agrees with the installer (a sample, each a process).
      if (mask == 0x80 && at % 6 == 0) {
        std::ofstream(flipped, std::ios::binary).write(reinterpret_cast<const char*>(bad.data()),
                                                       static_cast<std::streamsize>(bad.size()));
        const int code = std::system((pack + " verify '" + flipped.string() + "' >/dev/null 2>&1").c_str());
        EXPECT_EQ(code == 0, installed.has_value()) << "verify and the installer disagree on byte " << at;
        ++verified;
      }
    }
  }
  std::printf("%d flips refused, %d changed nothing (bits behind end codes), %d also run through verify\n", refused,
              unchanged, verified);
  EXPECT_GT(refused, 3000);
  if (!::testing::Test::HasFailure()) fs::remove_all(root);
}

}  // namespace
}  // namespace brindorel::pack

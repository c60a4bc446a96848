// The block stream: the same output as DecompressBlock however it is cut,
// far matches read back through the history reader, and its failures.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "package/block_decoder.h"
#include "package/block_encoder.h"
#include "tests/host/stream_decode.h"

namespace brindorel {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Text(std::size_t size, std::uint32_t seed) {
  static const char* words[] = {"the ", "installer ", "copies ", "files ", "into ", "a ", "folder, ",
                                "and ", "writes ", "shortcuts.\r\n", "Settings ", "of ", "each ", "page "};
  std::mt19937 rng(seed);
  Bytes b;
  while (b.size() < size) {
    const char* w = words[rng() % 14];
    b.insert(b.end(), w, w + std::string(w).size());
  }
  b.resize(size);
  return b;
}

Bytes Random(std::size_t size, std::uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(size);
  for (auto& x : b) x = std::uint8_t(rng());
  return b;
}

// Random bytes, a gap, the same bytes again: the repeat lies `gap` back.
Bytes FarRepeat(std::size_t gap) {
  Bytes a = Random(3000, 3);
  Bytes b = a;
  Bytes filler = Random(gap, 4);
  b.insert(b.end(), filler.begin(), filler.end());
  b.insert(b.end(), a.begin(), a.end());
  return b;
}

Bytes Block(const Bytes& data, int level = kBlockLevelFast) { return CompressBlock(data.data(), data.size(), level); }

auto Pieces(std::size_t n) {
  return [n](std::size_t) { return n; };
}

TEST(BlockStream, EveryStopSizeGivesTheSameBytes) {
  const Bytes data = Text(3000, 1);
  const Bytes block = Block(data, kBlockLevelBest);
  for (std::size_t stop = 1; stop <= data.size() + 1; ++stop) {
    StreamDecoding d = DecodeStreamed(block, 512, [&](std::size_t) { return stop; }, Pieces(1 + stop % 50));
    ASSERT_TRUE(d.finished) << "stop " << stop;
    ASSERT_EQ(d.out, data) << "stop " << stop;
  }
}

TEST(BlockStream, FarMatchesAreReadBack) {
  struct Case {
    const char* name;
    Bytes data;
    std::size_t window;
  } cases[] = {
      {"repeat 40 KB back, 1 KB window", FarRepeat(40000), 1024},
      {"repeat 40 KB back, 100-byte window", FarRepeat(40000), 100},
      {"text, 7-byte window", Text(20000, 2), 7},
      {"text, 1-byte window", Text(5000, 3), 1},
      {"zeros, 65-byte window", Bytes(100000, 0), 65},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int level : {int(kBlockLevelFast), int(kBlockLevelBest)}) {
      StreamDecoding d = DecodeStreamed(Block(c.data, level), c.window, [](std::size_t call) { return 1 + call * 37 % 900; },
                                        Pieces(333));
      ASSERT_TRUE(d.finished);
      EXPECT_EQ(d.out, c.data);
      EXPECT_FALSE(d.readBeyondOutput);
    }
  }
  // The repeat needs the reader: 3 KB back cannot come from a 1 KB window.
  EXPECT_GT(DecodeStreamed(Block(FarRepeat(40000)), 1024).historyReads, 0u);
  // Within a large window nothing is read back.
  EXPECT_EQ(DecodeStreamed(Block(FarRepeat(40000)), 1 << 20).historyReads, 0u);
}

TEST(BlockStream, FailuresAreReportedAndSticky) {
  const Bytes data = FarRepeat(5000);
  const Bytes block = Block(data);
  Bytes window(256);

  // Without a reader a match past the window fails; so does a failing reader.
  for (bool withReader : {false, true}) {
    BlockStream s;
    auto refuse = [](void*, std::uint64_t, std::uint8_t*, std::size_t) { return false; };
    ASSERT_TRUE(BeginBlockStream(s, block.data(), block.size(), window.data(), window.size(),
                                 withReader ? +refuse : nullptr, nullptr));
    BlockStreamResult r{};
    std::size_t used = 0;
    do {
      r = DecodeBlockStream(s, block.data() + kBlockHeaderSize + used, block.size() - kBlockHeaderSize - used, true,
                            100000);
      used += r.inputUsed;
    } while (r.status == BlockStreamStatus::kOutputFull);
    EXPECT_EQ(r.status, BlockStreamStatus::kFailed);
    EXPECT_EQ(DecodeBlockStream(s, block.data(), block.size(), true, 100).status, BlockStreamStatus::kFailed);
  }

  // Headers and windows that cannot start a stream.
  BlockStream s;
  Bytes noMagic = block;
  noMagic[0] = 'X';
  EXPECT_FALSE(BeginBlockStream(s, noMagic.data(), noMagic.size(), window.data(), window.size(), nullptr, nullptr));
  EXPECT_EQ(DecodeBlockStream(s, block.data(), block.size(), true, 10).status, BlockStreamStatus::kFailed);
  EXPECT_FALSE(BeginBlockStream(s, block.data(), kBlockHeaderSize - 1, window.data(), window.size(), nullptr, nullptr));
  EXPECT_FALSE(BeginBlockStream(s, block.data(), block.size(), nullptr, 16, nullptr, nullptr));
  EXPECT_FALSE(BeginBlockStream(s, block.data(), block.size(), window.data(), 0, nullptr, nullptr));

  // Blocks that decode to something other than their header says.
  struct Bad {
    const char* what;
    Bytes block;
  };
  auto withHeader = [&](std::uint32_t size, std::uint32_t sum) {
    Bytes b = Block(Text(1000, 9));
    StoreLe32(b.data() + kBlockSizeOffset, size);
    StoreLe32(b.data() + kBlockChecksumOffset, sum);
    return b;
  };
  const Bytes text = Text(1000, 9);
  Bad bad[] = {
      {"announced size larger", withHeader(1001, 0)},
      {"announced size smaller", withHeader(999, 0)},
      {"checksum wrong", withHeader(1000, BlockChecksum(text.data(), text.size()) + 1)},
      {"stream cut short", Bytes(block.begin(), block.end() - 8)},
  };
  for (const Bad& b : bad) {
    StreamDecoding d = DecodeStreamed(b.block, 300, [](std::size_t) { return 77; }, Pieces(50));
    EXPECT_FALSE(d.finished) << b.what;
  }
  EXPECT_TRUE(DecodeStreamed(withHeader(1000, 0)).finished);  // 0: not checked
  EXPECT_TRUE(DecodeStreamed(withHeader(1000, BlockChecksum(text.data(), text.size()))).finished);
}

TEST(BlockStream, FinishedIsSticky) {
  const Bytes data = Text(200, 4);
  const Bytes block = Block(data);
  Bytes window(1024);
  BlockStream s;
  ASSERT_TRUE(BeginBlockStream(s, block.data(), block.size(), window.data(), window.size(), nullptr, nullptr));
  BlockStreamResult r = DecodeBlockStream(s, block.data() + kBlockHeaderSize, block.size() - kBlockHeaderSize, true, 1000);
  ASSERT_EQ(r.status, BlockStreamStatus::kFinished);
  EXPECT_EQ(Bytes(window.begin(), window.begin() + std::ptrdiff_t(r.outputSize)), data);
  r = DecodeBlockStream(s, nullptr, 0, true, 1000);
  EXPECT_EQ(r.status, BlockStreamStatus::kFinished);
  EXPECT_EQ(r.outputSize, 0u);
}

// An entry larger than the installer's window: the encoder keeps its matches
// within the window, so the stream never reads back, although the data
// repeats from further back.
TEST(BlockStream, LargeEntriesNeverReadBack) {
  const Bytes head = Random(1 << 16, 6);
  Bytes data = head;
  data.resize(kBlockWindowSize + (1 << 17), 0);
  data.insert(data.end(), head.begin(), head.end());
  const Bytes block = Block(data);
  StreamDecoding d = DecodeStreamed(block, kBlockWindowSize, [](std::size_t) { return std::size_t(1) << 22; },
                                    Pieces(1 << 20));
  ASSERT_TRUE(d.finished);
  EXPECT_TRUE(d.out == data);
  EXPECT_EQ(d.historyReads, 0u);
}

// The stream gives exactly the whole-block decoder's output on the start of
// every corpus file (skipped where the list's files are missing), with a
// window far smaller than the data, so that laps and read-backs happen.
TEST(BlockStream, AgreesOnTheCorpus) {
  std::ifstream list(std::string(BRINDOREL_SOURCE_DIR) + "/bench/corpus.list");
  std::string line;
  int files = 0;
  while (std::getline(list, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::ifstream f(line, std::ios::binary);
    if (!f) continue;
    Bytes data;
    data.resize(1 << 20);
    f.read(reinterpret_cast<char*>(data.data()), std::streamsize(data.size()));
    data.resize(std::size_t(f.gcount()));
    const Bytes block = Block(data);
    Bytes oneShot(data.size() + 8);
    ASSERT_EQ(DecompressBlock(block.data(), block.size(), oneShot.data(), oneShot.size()), data.size()) << line;
    oneShot.resize(data.size());
    StreamDecoding d = DecodeStreamed(block, 65536, [](std::size_t call) { return 5000 + call * 7919 % 100000; },
                                      Pieces(65536));
    ASSERT_TRUE(d.finished) << line;
    EXPECT_TRUE(d.out == oneShot) << line;
    ++files;
  }
  if (files == 0) GTEST_SKIP() << "no corpus files here";
}

}  // namespace
}  // namespace brindorel

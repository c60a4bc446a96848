#include "tools/pack/pack_compress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "package/block_decoder.h"
#include "package/block_encoder.h"
#include "package/content_hash.h"

namespace brindorel::pack {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Short random phrases repeated at random distances: compressible, with
// matches that cross the stretch boundaries of the large input.
Bytes Phrases(std::size_t size, std::uint32_t seed, std::size_t longest = 60) {
  std::mt19937 rng(seed);
  Bytes b;
  b.reserve(size);
  while (b.size() < size) {
    if (b.size() > 1000 && rng() % 3 != 0) {
      const std::size_t from = b.size() - 1 - rng() % std::min<std::size_t>(b.size() - 1, 1u << 22);
      const std::size_t n = 4 + rng() % longest;
      for (std::size_t i = 0; i < n; ++i) b.push_back(b[from + i]);
    } else {
      for (int i = 0; i < 16; ++i) b.push_back(std::uint8_t('a' + rng() % 26));
    }
  }
  b.resize(size);
  return b;
}

TEST(PackCompress, SameBlocksWhateverTheThreads) {
  std::vector<Bytes> data = {Bytes(), Phrases(5000, 1), Bytes(70000, 0), Phrases(kBlockStretch + 12345, 2, 4000),
                             Phrases(300000, 3)};
  std::vector<CompressInput> inputs;
  for (const Bytes& d : data) inputs.push_back(CompressInput{d.data(), d.size()});
  std::vector<Bytes> expected;
  for (const Bytes& d : data) expected.push_back(CompressBlock(d.data(), d.size(), kBlockLevelFast));
  for (unsigned threads : {1u, 3u}) {
    EXPECT_EQ(CompressBlocks(inputs, kBlockLevelFast, threads), expected) << threads << " threads";
  }
  for (std::size_t i = 0; i < data.size(); ++i) {
    Bytes out(data[i].size() + 8);
    EXPECT_EQ(DecompressBlock(expected[i].data(), expected[i].size(), out.data(), out.size()), data[i].size());
    out.resize(data[i].size());
    EXPECT_TRUE(out == data[i]) << i;
  }
  EXPECT_TRUE(CompressBlocks({}, kBlockLevelBest, 2).empty());
  EXPECT_GE(ProcessorCount(), 1u);
}

// Read stretch by stretch and written as it is made, a large input gives
// CompressBlock's block (its header put in at the end) and its content hash,
// whatever the threads; a failing read or write stops it.
TEST(PackCompress, StreamedIsTheSameBlockInPieces) {
  const Bytes data = Phrases(2 * kBlockStretch + 777, 4, 3000);
  const Bytes whole = CompressBlock(data.data(), data.size(), kBlockLevelFast);
  auto read = [&](std::uint64_t position, std::uint8_t* out, std::size_t size) {
    if (position > data.size() || size > data.size() - position) return false;
    std::copy(data.begin() + std::ptrdiff_t(position), data.begin() + std::ptrdiff_t(position + size), out);
    return true;
  };
  for (unsigned threads : {1u, 2u}) {
    Bytes block;
    std::size_t writes = 0;
    StreamedBlock result;
    ASSERT_TRUE(CompressStreamed(data.size(), kBlockLevelFast, threads, read,
                                 [&](const std::uint8_t* bytes, std::size_t size) {
                                   block.insert(block.end(), bytes, bytes + size);
                                   ++writes;
                                   return true;
                                 },
                                 result));
    EXPECT_GE(writes, 3u) << "written stretch by stretch";
    ASSERT_EQ(result.size, block.size());
    std::copy(result.header.begin(), result.header.end(), block.begin());
    EXPECT_TRUE(block == whole) << threads << " threads";
    EXPECT_EQ(result.contentHash, HashBytes(data.data(), data.size()));
  }
  StreamedBlock result;
  auto refuse = [](std::uint64_t, std::uint8_t*, std::size_t) { return false; };
  auto keep = [](const std::uint8_t*, std::size_t) { return true; };
  EXPECT_FALSE(CompressStreamed(data.size(), kBlockLevelFast, 2, refuse, keep, result));
  EXPECT_FALSE(CompressStreamed(data.size(), kBlockLevelFast, 2, read,
                                [](const std::uint8_t*, std::size_t) { return false; }, result));
  EXPECT_FALSE(CompressStreamed(std::uint64_t(1) << 32, kBlockLevelFast, 2, read, keep, result));
}

// The parses that run at once stay within the memory budget, however many
// processors there are; small inputs are not held back.
TEST(PackCompress, ParallelParsesKeepToTheBudget) {
  for (int level : {int(kBlockLevelFast), int(kBlockLevelBest)}) {
    const unsigned many = ParallelParses(level, 256, std::uint64_t(1) << 30);
    EXPECT_GE(many, 1u);
    EXPECT_LE(many, level == kBlockLevelBest ? 3u : 5u);
    EXPECT_EQ(ParallelParses(level, 1, std::uint64_t(1) << 30), 1u);
    EXPECT_EQ(ParallelParses(level, 64, 100000), 64u);
  }
}

}  // namespace
}  // namespace brindorel::pack

#include "tools/pack/pack_compress.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "package/block_decoder.h"
#include "package/block_encoder.h"

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

}  // namespace
}  // namespace brindorel::pack

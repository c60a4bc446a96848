#include "package/block_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "package/block_decoder.h"

namespace brindorel {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Text(std::size_t size) {
  static const char* words[] = {"the ", "installer ", "copies ", "files ", "into ", "a ", "folder, ",
                                "and ", "writes ", "shortcuts.\r\n", "Settings ", "of ", "each ", "page "};
  std::mt19937 rng(7);
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

// Machine-code-like data: short repeats at many distances, some zeros, noise.
Bytes Binary(std::size_t size) {
  std::mt19937 rng(11);
  Bytes b;
  while (b.size() < size) {
    std::uint32_t r = rng() % 10;
    if (r < 4 && b.size() > 64) {
      std::size_t d = 1 + rng() % std::min<std::size_t>(b.size(), r < 2 ? 100 : 40000);
      std::size_t n = 2 + rng() % 20;
      for (std::size_t i = 0; i < n; ++i) b.push_back(b[b.size() - d]);
    } else if (r < 6) {
      b.insert(b.end(), 1 + rng() % 8, 0);
    } else {
      b.push_back(std::uint8_t(rng()));
    }
  }
  b.resize(size);
  return b;
}

// A random block of 20 KiB, then filler, then the block again: the second
// copy lies more than 64 KiB back (the longest length bonus).
Bytes FarRepeat() {
  Bytes a = Random(20000, 3);
  Bytes b = a;
  Bytes gap = Random(90000, 4);
  b.insert(b.end(), gap.begin(), gap.end());
  b.insert(b.end(), a.begin(), a.end());
  return b;
}

Bytes RoundTrip(const Bytes& in, int level) {
  Bytes block = CompressBlock(in.data(), in.size(), level);
  EXPECT_EQ(BlockDecodedSize(block.data(), block.size()), in.size());
  Bytes out(in.size() + 8);
  std::size_t n = DecompressBlock(block.data(), block.size(), out.data(), out.size());
  EXPECT_EQ(n, in.size());
  out.resize(n);
  EXPECT_TRUE(out == in) << "level " << level << ", " << in.size() << " bytes";
  return block;
}

struct Sample {
  const char* name;
  Bytes data;
};

std::vector<Sample> Samples() {
  Bytes sevenBit = Text(30000);
  for (auto& c : sevenBit) c = std::uint8_t(c | 0x80);  // text moved up by 128
  Bytes runs;
  for (int i = 0; i < 300; ++i) runs.insert(runs.end(), std::size_t(i * 7 % 500), std::uint8_t(i));
  return {
      {"empty", {}},
      {"one byte", {0x41}},
      {"one zero", {0}},
      {"three bytes", {1, 2, 3}},
      {"text", Text(100000)},
      {"7-bit text shifted", sevenBit},
      {"binary", Binary(200000)},
      {"zeros", Bytes(300000, 0)},
      {"random", Random(70000, 1)},
      {"far repeat", FarRepeat()},
      {"runs", runs},
  };
}

class BlockEncoderLevels : public ::testing::TestWithParam<int> {};

TEST_P(BlockEncoderLevels, RoundTripsAndIsDeterministic) {
  for (const Sample& s : Samples()) {
    SCOPED_TRACE(s.name);
    Bytes block = RoundTrip(s.data, GetParam());
    EXPECT_EQ(CompressBlock(s.data.data(), s.data.size(), GetParam()), block);
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, BlockEncoderLevels, ::testing::Values(0, 1, 5, 9));

TEST(BlockEncoder, CompressesWhereItShould) {
  struct Case {
    const char* name;
    Bytes data;
    double most;  // largest acceptable block size / input size, best level
  } cases[] = {
      {"zeros", Bytes(300000, 0), 0.001},
      {"text", Text(100000), 0.25},
      {"far repeat", FarRepeat(), 0.85},  // the second copy costs almost nothing
      {"random", Random(70000, 1), 1.005},  // raw runs: barely above the input
  };
  for (const Case& c : cases) {
    Bytes block = RoundTrip(c.data, kBlockLevelBest);
    EXPECT_LE(double(block.size()), c.most * double(c.data.size())) << c.name;
  }
}

TEST(BlockEncoder, BestIsNoLargerThanFast) {
  for (const Bytes& in : {Text(100000), Binary(200000)}) {
    Bytes fast = RoundTrip(in, kBlockLevelFast);
    Bytes best = RoundTrip(in, kBlockLevelBest);
    EXPECT_LE(best.size(), fast.size());
  }
}

TEST(BlockEncoder, SevenBitLiteralsPayOnText) {
  // Text with few repeats: 7-bit literals make it clearly smaller than 8 bits a byte.
  std::mt19937 rng(5);
  Bytes in(50000);
  for (auto& c : in) c = std::uint8_t('a' + rng() % 26);
  Bytes block = RoundTrip(in, kBlockLevelBest);
  EXPECT_LT(double(block.size()), 0.93 * double(in.size()));
}

// A package takes a block exactly as long as its data for the data stored as
// it is, so no block may come out that long: data from incompressible to
// compressible crosses that length somewhere, and every block there is
// still one byte longer (a byte after the end code) or shorter.
TEST(BlockEncoder, NoBlockIsAsLongAsItsData) {
  const std::size_t size = 2002;  // block sizes are 10 + 4k bytes: this one can be hit
  const Bytes noise = Random(size, 8);
  bool padded = false;
  for (std::size_t zeros = 0; zeros <= 100; ++zeros) {  // the sizes cross 2002 at 35 (best) and 62 (fast)
    Bytes in = noise;
    std::fill(in.begin(), in.begin() + std::ptrdiff_t(zeros), std::uint8_t(0));
    for (int level : {int(kBlockLevelFast), int(kBlockLevelBest)}) {
      Bytes block = RoundTrip(in, level);
      ASSERT_NE(block.size(), size) << zeros << " zeros, level " << level;
      padded = padded || block.size() == size + 1;
    }
  }
  EXPECT_TRUE(padded) << "the sizes never crossed the data's size: the test lost its point";
}

TEST(BlockEncoder, ChecksumIsSet) {
  Bytes in = Text(5000);
  Bytes block = CompressBlock(in.data(), in.size(), kBlockLevelFast);
  std::uint32_t sum = std::uint32_t(block[6]) | std::uint32_t(block[7]) << 8 | std::uint32_t(block[8]) << 16 |
                      std::uint32_t(block[9]) << 24;
  EXPECT_EQ(sum, BlockChecksum(in.data(), in.size()));
  EXPECT_NE(sum, 0u);
  // A flipped bit in the stream is caught.
  block[block.size() / 2] ^= 0x10;
  Bytes out(in.size() + 8);
  EXPECT_EQ(DecompressBlock(block.data(), block.size(), out.data(), out.size()), 0u);
}

// The input given stretch by stretch, each stretch's input in a buffer of its
// own (the sanitizers catch a read outside it), parsed out of order and the
// output taken in pieces: exactly CompressBlock's block once the header goes
// in. The sizes end the last stretch within the lookahead of the one before
// (an odd tail: the checksum's last word spans two stretches) and past it,
// at both levels (each has its own match finder). The data repeats itself
// (quick to parse) but for islands of other bytes around the stretches'
// edges and at the end, with matches across the edges.
TEST(BlockEncoder, StretchByStretchGivesTheSameBlock) {
  struct Case {
    std::size_t size;
    int level;
  } cases[] = {
      {kBlockStretch + 2, kBlockLevelFast},
      {kBlockStretch + 100, kBlockLevelFast},
      {kBlockStretch + kBlockStretchLookahead + 1, kBlockLevelBest},
      {5000, kBlockLevelBest},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.size << " bytes, level " << c.level);
    const Bytes period = Text(4999);
    Bytes in;
    while (in.size() < c.size) in.insert(in.end(), period.begin(), period.end());
    in.resize(c.size);
    const Bytes island = Binary(60000);
    for (std::size_t edge = 0; edge < in.size() + kBlockStretch; edge += kBlockStretch) {
      const std::size_t at = std::min(edge, in.size()) - std::min<std::size_t>(std::min(edge, in.size()), 30000);
      const std::size_t n = std::min(island.size(), in.size() - at);
      std::copy(island.begin(), island.begin() + std::ptrdiff_t(n), in.begin() + std::ptrdiff_t(at));
    }
    const Bytes whole = CompressBlock(in.data(), in.size(), c.level);
    BlockCompressor streamed(std::uint64_t(in.size()), c.level);
    const std::size_t count = streamed.StretchCount();
    ASSERT_EQ(count, (in.size() + kBlockStretch - 1) / kBlockStretch);
    std::vector<Bytes> inputs(count);
    for (std::size_t k = 0; k < count; ++k) {
      inputs[k].assign(in.begin() + std::ptrdiff_t(streamed.InputBegin(k)),
                       in.begin() + std::ptrdiff_t(streamed.InputEnd(k)));
      streamed.TakeInput(k, inputs[k].data());
    }
    for (std::size_t k = count; k-- > 0;) streamed.ParseStretch(k, inputs[k].data());
    Bytes block;
    for (std::size_t k = 0; k < count; ++k) {
      streamed.WriteStretch(k, inputs[k].data());
      streamed.TakeOutput(block);
      inputs[k].clear();
    }
    const Bytes tail = streamed.Finish();
    block.insert(block.end(), tail.begin(), tail.end());
    ASSERT_GE(block.size(), kBlockHeaderSize);
    EXPECT_EQ(LoadLe32(block.data() + kBlockChecksumOffset), 0u) << "the checksum is known only at the end";
    const auto header = streamed.Header();
    std::copy(header.begin(), header.end(), block.begin());
    EXPECT_TRUE(block == whole);
  }
}

}  // namespace
}  // namespace brindorel

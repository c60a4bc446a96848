// Also runs under Wine.
#include "package/block_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "tests/host/stream_decode.h"

namespace brindorel {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Builds streams code by code: bits most significant first, packed into
// 32-bit little-endian words after a block header.
class Stream {
 public:
  Stream& Put(std::uint32_t value, unsigned n) {
    for (unsigned i = n; i-- > 0;) bits_.push_back((value >> i) & 1u);
    return *this;
  }
  Stream& Gamma(std::uint32_t v) {
    int top = 31;
    while (!(v >> top)) --top;
    for (int i = top - 1; i >= 0; --i) Put((v >> i) & 1u, 1).Put(i > 0, 1);
    return *this;
  }
  Stream& Width8() { return Put(0b001, 3).Put(0, 4).Put(0, 1).Put(1, 1); }
  Stream& Width7(std::uint8_t offset) { return Put(0b001, 3).Put(0, 4).Put(0, 1).Put(0, 1).Put(offset, 8); }
  Stream& Literal(std::uint32_t v, unsigned width = 8) { return Put(1, 1).Put(v, width); }
  Stream& Long(std::uint32_t distance, std::uint32_t gammaLength, unsigned indexWidth = 8) {
    Put(0b01, 2).Gamma((distance >> indexWidth) + 3);
    return Put(distance & ((1u << indexWidth) - 1), indexWidth).Gamma(gammaLength);
  }
  Stream& Repeat(std::uint32_t length) { return Put(0b01, 2).Gamma(2).Gamma(length); }
  Stream& Short(std::uint32_t distance, std::uint32_t n) { return Put(0, 3).Put(distance, 7).Put(n, 2); }
  Stream& IndexWidth(std::uint32_t n, std::uint32_t width) { return Put(0, 3).Put(0, 7).Put(n, 2).Put(width, n + 3); }
  Stream& Code001(std::uint32_t v) { return Put(0b001, 3).Put(v, 4); }
  Stream& End() { return Put(0, 12); }

  Bytes Block(std::uint32_t size, std::uint32_t checksum = 0) const {
    Bytes b = {'J', 'C'};
    for (std::uint32_t v : {size, checksum})
      for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(v >> (8 * i)));
    std::vector<unsigned> bits = bits_;
    while (bits.size() % 32) bits.push_back(0);
    for (std::size_t w = 0; w < bits.size(); w += 32) {
      std::uint32_t word = 0;
      for (int i = 0; i < 32; ++i) word = (word << 1) | bits[w + std::size_t(i)];
      for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(word >> (8 * i)));
    }
    return b;
  }

 private:
  std::vector<unsigned> bits_;
};

// The block stream must agree with the whole-block decoder on every block
// below: it finishes exactly when DecompressBlock gives the announced size,
// with the same bytes, however its output is cut into calls (every limit
// from 1 byte up), its input into pieces, and with windows from a few bytes
// (far matches read back) to more than the block.
void ExpectStreamAgrees(const Bytes& block, std::size_t oneShot, const Bytes& oneShotOut) {
  const std::uint32_t size = BlockDecodedSize(block.data(), block.size());
  if (size == 0) return;
  const bool sound = oneShot == size;
  for (std::size_t stop = 1; stop <= size + 1; ++stop) {
    for (std::size_t window : {std::size_t(1), std::size_t(16), std::size_t(97), std::size_t(4096)}) {
      StreamDecoding d = DecodeStreamed(
          block, window, [&](std::size_t) { return stop; }, [&](std::size_t call) { return 1 + (call + stop) % 9; });
      ASSERT_EQ(d.finished, sound) << "stop " << stop << ", window " << window;
      ASSERT_FALSE(d.readBeyondOutput);
      if (sound) {
        ASSERT_TRUE(d.out.size() == size && std::equal(d.out.begin(), d.out.end(), oneShotOut.begin()))
            << "stop " << stop << ", window " << window;
      }
    }
  }
}

// Decodes into a buffer of `capacity`; returns the bytes written, or nothing
// when the decoder reports a failure. Checks the block stream on the way.
struct Decoded {
  std::size_t result;
  std::string text;
};
Decoded Decode(const Bytes& block, std::size_t capacity = 4096) {
  Bytes out(capacity, 0xEE);
  std::size_t n = DecompressBlock(block.data(), block.size(), out.data(), out.size());
  if (capacity >= BlockDecodedSize(block.data(), block.size())) ExpectStreamAgrees(block, n, out);
  return {n, std::string(out.begin(), out.begin() + std::ptrdiff_t(n))};
}

TEST(BlockDecoder, WorkedBlockGivesAbc) {
  const Bytes block = {0x4A, 0x43, 0x03, 0, 0, 0, 0, 0, 0, 0, 0x56, 0x6C, 0xD8, 0x20, 0, 0, 0, 0x30};
  EXPECT_EQ(BlockDecodedSize(block.data(), block.size()), 3u);
  Decoded d = Decode(block);
  EXPECT_EQ(d.result, 3u);
  EXPECT_EQ(d.text, "abc");
  // The same stream from the builder here is byte for byte the worked block.
  EXPECT_EQ(Stream().Width8().Literal('a').Literal('b').Literal('c').End().Block(3), block);
}

TEST(BlockDecoder, Checksums) {
  struct Case {
    const char* text;
    std::uint32_t sum;
  } cases[] = {{"", 0}, {"abc", 0}, {"abcd", 0xACA5A6A2}, {"abcde", 0xD8C2CCC1}, {"abcdefgh", 0xC5C3C1CC}};
  for (const Case& c : cases) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(c.text);
    EXPECT_EQ(BlockChecksum(p, std::string(c.text).size()), c.sum) << c.text;
  }
  EXPECT_EQ(BlockChecksum(nullptr, 8), 0u);
}

TEST(BlockDecoder, LiteralsAndOneByteCodes) {
  // 7-bit literals with offset 32: 65 is 'a'; then width 8 again.
  EXPECT_EQ(Decode(Stream().Width7(32).Literal(65, 7).Literal(66, 7).Width8().Literal('z').End().Block(3)).text, "abz");
  // Offset arithmetic wraps modulo 256.
  EXPECT_EQ(Decode(Stream().Width7(200).Literal(100, 7).End().Block(1)).text, std::string(1, char(44)));
  // Zero byte; near copies from distance 1 and 3 (v = 2 and 4).
  Decoded d = Decode(Stream().Width8().Literal('x').Literal('y').Code001(1).Code001(4).Code001(2).End().Block(5));
  EXPECT_EQ(d.text, std::string("xy\0xx", 5));
}

TEST(BlockDecoder, LongMatchLengthsDependOnDistance) {
  // 768 raw bytes first (three runs), so that distances up to 768 are valid.
  Stream s;
  s.Width8().Code001(0).Put(1, 1);
  for (int run = 0; run < 3; ++run) {
    for (int i = 0; i < 256; ++i) s.Put(std::uint32_t((run * 256 + i) * 7), 8);
    s.Put(run < 2, 1);
  }
  s.Long(100, 2).Long(700, 2).Repeat(2).End();
  Decoded d = Decode(s.Block(768 + 6 + 3 + 2));
  ASSERT_EQ(d.result, 768u + 11u);
  auto at = [&](std::size_t i) { return std::uint8_t(d.text[i]); };
  for (std::size_t i = 0; i < 768; ++i) ASSERT_EQ(at(i), std::uint8_t(i * 7));
  for (std::size_t i = 768; i < 774; ++i) EXPECT_EQ(at(i), at(i - 100)) << i;   // 2 + 4
  for (std::size_t i = 774; i < 777; ++i) EXPECT_EQ(at(i), at(i - 700)) << i;   // 2 + 1
  for (std::size_t i = 777; i < 779; ++i) EXPECT_EQ(at(i), at(i - 700)) << i;   // repeat: exactly 2
}

TEST(BlockDecoder, RepeatFormStartsFromDistanceOneAndOverlaps) {
  // The last index starts at 1: a repeat right after one literal runs it out.
  EXPECT_EQ(Decode(Stream().Width8().Literal('q').Repeat(5).End().Block(6)).text, "qqqqqq");
  // Short matches set the last index too; overlapping copies repeat the pattern.
  EXPECT_EQ(Decode(Stream().Width8().Literal('a').Literal('b').Short(2, 3).Repeat(3).End().Block(10)).text,
            "ababababab");
  // Near copies leave the last index alone.
  EXPECT_EQ(Decode(Stream().Width8().Literal('a').Literal('b').Short(2, 0).Code001(4).Repeat(2).End().Block(7)).text,
            "ababbbb");
}

TEST(BlockDecoder, IndexWidthCodeAppliesToLaterLongMatches) {
  Stream s;
  s.Width8().Code001(0).Put(1, 1);
  for (int i = 0; i < 256; ++i) s.Put(std::uint32_t(i), 8);
  s.Put(0, 1);
  s.IndexWidth(1, 4).Long(200, 2, 4).Long(150, 3, 4).IndexWidth(2, 20).Long(250, 2, 20).End();
  Decoded d = Decode(s.Block(256 + 2 + 3 + 2));
  ASSERT_EQ(d.result, 263u);
  auto at = [&](std::size_t i) { return std::uint8_t(d.text[i]); };
  EXPECT_EQ(at(256), at(56));
  EXPECT_EQ(at(257), at(57));
  EXPECT_EQ(at(258), at(108));
  EXPECT_EQ(at(261), at(11));
}

TEST(BlockDecoder, RawRunsContinueWhileTheNextBitIsOne) {
  Stream s;
  s.Code001(0).Put(1, 1);  // raw runs need no literal width
  for (int i = 0; i < 512; ++i) s.Put(std::uint32_t(i % 251), 8).Put(i == 255, i % 256 == 255);
  s.End();
  Decoded d = Decode(s.Block(512));
  ASSERT_EQ(d.result, 512u);
  for (std::size_t i = 0; i < 512; ++i) ASSERT_EQ(std::uint8_t(d.text[i]), i % 251) << i;
}

TEST(BlockDecoder, ChecksumCoversTheAnnouncedSize) {
  Bytes stream = Stream().Width8().Literal('a').Literal('b').Literal('c').Literal('d').Literal('e').End().Block(5);
  auto withSum = [&](std::uint32_t size, std::uint32_t sum) {
    Bytes b = stream;
    for (int i = 0; i < 4; ++i) b[2 + std::size_t(i)] = std::uint8_t(size >> (8 * i));
    for (int i = 0; i < 4; ++i) b[6 + std::size_t(i)] = std::uint8_t(sum >> (8 * i));
    return b;
  };
  EXPECT_EQ(Decode(withSum(5, 0xD8C2CCC1)).result, 5u);
  EXPECT_EQ(Decode(withSum(5, 0xD8C2CCC2)).result, 0u);
  EXPECT_EQ(Decode(withSum(5, 0)).result, 5u);  // unchecked
  // An early end code: the sum still runs over the announced 8 bytes.
  Bytes filler = {'a', 'b', 'c', 'd', 'e', 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(Decode(withSum(8, BlockChecksum(filler.data(), 8))).result, 5u);
  // An announced size beyond the buffer cannot be checked.
  EXPECT_EQ(Decode(withSum(9000, 0x12345678), 4096).result, 0u);
}

TEST(BlockDecoder, RejectsBrokenInput) {
  const Bytes good = Stream().Width8().Literal('a').Literal('b').Short(1, 0).End().Block(4);
  ASSERT_EQ(Decode(good).text, "abbb");
  Bytes out(16);
  EXPECT_EQ(DecompressBlock(nullptr, good.size(), out.data(), out.size()), 0u);
  EXPECT_EQ(DecompressBlock(good.data(), good.size(), nullptr, 16), 0u);
  Bytes noMagic = good;
  noMagic[1] = 'D';
  EXPECT_EQ(Decode(noMagic).result, 0u);
  EXPECT_EQ(BlockDecodedSize(noMagic.data(), noMagic.size()), 0u);
  for (std::size_t cut = 0; cut < good.size(); ++cut) {
    Bytes part(good.begin(), good.begin() + std::ptrdiff_t(cut));
    EXPECT_EQ(Decode(part).result, 0u) << "cut at " << cut;  // includes a partial last word
  }
  EXPECT_EQ(Decode(good, 3).result, 0u);  // output too small
  EXPECT_EQ(Decode(good, 4).result, 4u);
  struct Bad {
    const char* what;
    Bytes block;
  } bad[] = {
      {"literal before width", Stream().Literal('a').End().Block(1)},
      {"distance before start", Stream().Width8().Literal('a').Short(2, 0).End().Block(3)},
      {"near copy before start", Stream().Width8().Code001(3).End().Block(1)},
      {"repeat with nothing written", Stream().Width8().Repeat(2).End().Block(2)},
      {"long distance too far", Stream().Width8().Literal('a').Long(300, 2).End().Block(3)},
      {"raw run past buffer", Stream().Code001(0).Put(1, 1).Put(0, 32).End().Block(256)},
      {"no end code", Stream().Width8().Literal('a').Code001(1).Code001(1).Block(3)},  // exactly one word
      {"huge index width", Stream().Width8().Literal('a').IndexWidth(3, 40).Long(1, 2, 0).End().Block(3)},
  };
  for (const Bad& b : bad) EXPECT_EQ(Decode(b.block, 64).result, 0u) << b.what;
  // Distance 0 fails also where the fast loop decodes (enough input and room).
  for (const bool atStart : {true, false}) {
    Stream s;
    s.Width8();
    for (int i = 0; i < 100; ++i) s.Literal(std::uint32_t('a' + i % 26));
    if (atStart) s.Long(0, 2); else s.Short(1, 0).Repeat(2).Long(0, 5);
    for (int i = 0; i < 100; ++i) s.Literal('z');
    EXPECT_EQ(Decode(s.End().Block(300)).result, 0u) << atStart;
  }
  // A gamma value that never ends reads past the block instead of overflowing.
  Stream endless;
  endless.Width8().Literal('a').Put(0b01, 2);
  for (int i = 0; i < 200; ++i) endless.Put(0b11, 2);
  EXPECT_EQ(Decode(endless.Block(1)).result, 0u);
}

}  // namespace
}  // namespace brindorel

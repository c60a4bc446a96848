// Block decoder. The bit stream is a sequence of 32-bit little-endian words
// read from the most significant bit down; the reader below keeps the unread
// bits at the top of a 64-bit buffer and fetches the next word when a read
// needs more bits than the buffer holds (gamma values may fetch one word
// early, but only a word that lies inside the block). A word that is not
// wholly inside the block is never read: a stream that needs one has run
// past the block (a final partial word counts as missing) and decoding fails.
#include "package/block_decoder.h"

#include <cstring>

namespace brindorel {
namespace {

std::uint32_t LoadLe32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

// Decoder state between codes. Copied into locals by the decode loop.
struct DecoderState {
  const std::uint8_t* in;     // next unread word
  const std::uint8_t* inEnd;  // end of the block
  std::uint64_t bits;         // unread bits are the low `count` bits
  unsigned count;
  bool overrun;               // a word past the block was asked for (sticky)
};

// Distance-dependent bonus added to a long match's sent length.
inline std::uint32_t LengthBonus(std::uint64_t distance) {
  if (distance < 0x80) return 4;
  if (distance < 639) return 0;
  if (distance < 0x37FF) return 1;
  if (distance < 0x10000) return 2;
  return 3;
}

struct GammaStep {
  std::uint8_t pairs;  // (data, continue) pairs taken from the byte, 1 to 4
  std::uint8_t data;   // their data bits, first one highest
  bool stop;           // the last pair taken ends the value
};

struct GammaTable {
  GammaStep steps[256];
  constexpr GammaTable() : steps() {
    for (unsigned b = 0; b < 256; ++b) {
      GammaStep s{0, 0, false};
      while (s.pairs < 4 && !s.stop) {
        unsigned shift = 6 - 2 * s.pairs;
        s.data = std::uint8_t((s.data << 1) | ((b >> (shift + 1)) & 1u));
        s.stop = ((b >> shift) & 1u) == 0;
        ++s.pairs;
      }
      steps[b] = s;
    }
  }
  constexpr const GammaStep& operator[](std::uint64_t i) const { return steps[i]; }
};
constexpr GammaTable kGammaTable;

}  // namespace

std::uint32_t BlockChecksum(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < 4) return 0;
  std::uint32_t s = 0;
  auto mix = [&s](std::uint32_t w) {
    s += w;
    s ^= ((w << 1) | (w >> 31)) + 1;
  };
  std::size_t whole = size / 4;
  for (std::size_t i = 0; i < whole; ++i) mix(LoadLe32(data + 4 * i));
  if (size % 4 != 0) mix(LoadLe32(data + size - 4));  // overlaps the word before
  return s;
}

std::uint32_t BlockDecodedSize(const std::uint8_t* block, std::size_t blockSize) {
  if (block == nullptr || blockSize < kBlockHeaderSize || block[0] != 'J' || block[1] != 'C') return 0;
  return LoadLe32(block + 2);
}

std::size_t DecompressBlock(const std::uint8_t* block, std::size_t blockSize,
                            std::uint8_t* out, std::size_t capacity) {
  if (block == nullptr || out == nullptr || blockSize < kBlockHeaderSize) return 0;
  if (block[0] != 'J' || block[1] != 'C') return 0;
  const std::uint32_t decodedSize = LoadLe32(block + 2);
  const std::uint32_t checksum = LoadLe32(block + 6);

  DecoderState st{block + kBlockHeaderSize, block + blockSize, 0, 0, false};

  // Hot state in locals. Unread bits sit at the top of `bits`.
  const std::uint8_t* in = st.in;
  const std::uint8_t* const inEnd = st.inEnd;
  std::uint64_t bits = st.bits;
  unsigned count = st.count;
  bool overrun = false;
  std::uint8_t* op = out;
  std::uint8_t* const oend = out + capacity;
  std::uint64_t lastIndex = 1;
  unsigned indexWidth = 8;
  unsigned literalWidth = 0;  // 0: no literal-width code seen yet
  unsigned literalOffset = 0;

  // Takes the next word; count <= 32 here, so it fits below the unread bits.
  auto refill = [&]() {
    if (inEnd - in < 4) {
      overrun = true;  // keep going on zero bits; checked after each code
    } else {
      bits |= std::uint64_t(LoadLe32(in)) << (32 - count);
      in += 4;
    }
    count += 32;
  };
  auto bit = [&]() -> unsigned {
    if (count == 0) refill();
    unsigned b = unsigned(bits >> 63);
    bits <<= 1;
    --count;
    return b;
  };
  auto value = [&](unsigned n) -> std::uint32_t {  // 1 <= n <= 32
    if (count < n) refill();
    std::uint32_t v = std::uint32_t(bits >> (64 - n));
    bits <<= n;
    count -= n;
    return v;
  };
  // Gamma value; 0 when it would not fit 32 bits (no valid length or
  // distance part is that large, so the caller treats 0 as a failure).
  // Whole bytes of (data, continue) pairs go through kGammaTable while the
  // buffer holds at least 8 bits that are inside the block.
  auto gamma = [&]() -> std::uint32_t {
    std::uint32_t v = 1;
    for (;;) {
      if (count < 8 && inEnd - in >= 4) refill();
      if (count < 8 || v >= (1u << 27)) break;
      const GammaStep step = kGammaTable[bits >> 56];
      v = (v << step.pairs) | step.data;
      bits <<= 2 * step.pairs;
      count -= 2 * step.pairs;
      if (step.stop) return v;
    }
    do {
      if (v >= 0x80000000u) return 0;
      v = 2 * v + bit();
    } while (bit() && !overrun);
    return v;
  };
  auto copy = [&](std::uint64_t distance, std::uint64_t length) -> bool {
    if (distance == 0 || distance > std::uint64_t(op - out)) return false;
    if (length > std::uint64_t(oend - op)) return false;
    const std::uint8_t* from = op - distance;
    std::uint8_t* const stop = op + length;
    if (distance >= 8 && length + 8 <= std::uint64_t(oend - op)) {
      // Eight bytes at a time give the same bytes as one at a time when the
      // source stays eight bytes behind; the last group may run up to seven
      // bytes past the match, still inside the buffer, and is overwritten later.
      do {
        std::memcpy(op, from, 8);
        op += 8;
        from += 8;
      } while (op < stop);
      op = stop;
      return true;
    }
    // Byte by byte: overlapping copies repeat the pattern.
    while (op != stop) *op++ = *from++;
    return true;
  };

  for (;;) {
    if (bit()) {  // literal
      if (literalWidth == 0) return 0;
      std::uint32_t v = value(literalWidth);
      if (op == oend) return 0;
      *op++ = std::uint8_t(v + literalOffset);
    } else if (bit()) {  // long match
      std::uint32_t g = gamma();
      if (g < 2) return 0;
      g -= 2;
      if (g == 0) {
        std::uint32_t length = gamma();
        if (length == 0 || !copy(lastIndex, length)) return 0;
      } else {
        if (indexWidth > 32) return 0;  // every such distance exceeds any buffer
        std::uint64_t distance = std::uint64_t(g - 1) << indexWidth;
        if (indexWidth > 0) distance |= value(indexWidth);
        lastIndex = distance;
        std::uint32_t length = gamma();
        if (length == 0 || !copy(distance, std::uint64_t(length) + LengthBonus(distance))) return 0;
      }
    } else if (!bit()) {  // short match, end code or index-width code
      std::uint32_t distance = value(7);
      std::uint32_t n = value(2);
      if (distance != 0) {
        lastIndex = distance;
        if (!copy(distance, n + 2)) return 0;
      } else if (n == 0) {
        break;
      } else {
        indexWidth = value(n + 3);
      }
    } else {
      std::uint32_t v = value(4);
      if (v == 1) {
        if (op == oend) return 0;
        *op++ = 0;
      } else if (v >= 2) {
        if (!copy(v - 1, 1)) return 0;
      } else if (bit()) {  // raw runs of 256 bytes
        do {
          if (oend - op < 256) return 0;
          for (int i = 0; i < 256; ++i) op[i] = std::uint8_t(value(8));
          op += 256;
        } while (bit() && !overrun);
      } else {  // literal-width code
        literalWidth = bit() + 7;
        literalOffset = literalWidth == 7 ? value(8) : 0;
      }
    }
    if (overrun) return 0;
  }
  if (overrun) return 0;

  st.in = in;
  st.bits = bits;
  st.count = count;

  const std::size_t written = std::size_t(op - out);
  if (checksum == 0) return written;
  // The sum covers the announced size; it cannot be checked beyond the buffer.
  if (decodedSize > capacity) return 0;
  return BlockChecksum(out, decodedSize) == checksum ? written : 0;
}

}  // namespace brindorel

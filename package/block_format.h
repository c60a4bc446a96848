// Block format: one compressed block of a package, as the decoder reads it and
// the encoder writes it. Everything both sides must agree on lives here.
//
// Header, integers little-endian:
//
//   offset  size  field
//   0       2     magic "JC" (4A 43 hex)
//   2       4     decoded size in bytes
//   6       4     checksum of the decoded bytes (BlockChecksum); 0: not checked
//   10      ...   bit stream
//
// Bit stream: 32-bit little-endian words; within a word bits are taken from
// the most significant down. A word that is not wholly inside the block is
// never part of the stream. An n-bit value is n bits, most significant first.
// A gamma value starts at 1 and repeats "v = 2v + next bit" while the bit
// after that data bit is 1 (so the smallest is 2, sent as "d 0").
//
// Codes, bits in stream order (the state they read and set is below):
//
//   1 <w bits x>                         literal: byte (x + literal offset) mod 256
//   01 <gamma G>  G == 2: <gamma n>      repeat: length n from the last index
//                 G >= 3: <iw bits lo>   long match: distance (G-3) << iw | lo,
//                         <gamma n>        length n + LengthBonus(distance);
//                                          the distance becomes the last index
//   000 <7 bits d> <2 bits n>  d != 0    short match: length n + 2 (2 to 5) from
//                                          distance d; d becomes the last index
//                              d == 0, n == 0      end of stream
//                              d == 0, n != 0, <n+3 bits w>   index width = w
//   001 <4 bits v>  v >= 2               near copy: one byte from distance v - 1
//                   v == 1               one zero byte
//                   v == 0, 1, (<256 x 8 bits> <1 bit more>)...
//                                        raw runs: 256 bytes as they are, again
//                                          while the bit after a run is 1
//                   v == 0, 0, <1 bit b> [<8 bits o> if b == 0]
//                                        literal width w = b + 7, offset o (width
//                                          7) or 0 (width 8)
//
// State: last index 1, index width iw 8 at the start; the literal width is
// unset until the first width code (a literal before it is an error).
// A match copies byte by byte from `distance` bytes back, so a distance below
// the length repeats a pattern. Bytes after the end code are ignored.
//
// Checksum: s = 0; for each 32-bit little-endian word w of the data, s += w,
// then s ^= (w rotated left by 1) + 1. When the size is not a multiple of 4 the
// last word is the data's last four bytes, overlapping the one before; fewer
// than 4 bytes give 0. It covers the header's decoded size.
//
// A package stores a block as it is when its stored size equals its decoded
// size, so an encoder must never produce a block exactly that long.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brindorel {

// ---- header ----
constexpr std::uint8_t kBlockMagic[2] = {'J', 'C'};
constexpr std::size_t kBlockSizeOffset = 2;
constexpr std::size_t kBlockChecksumOffset = 6;
constexpr std::size_t kBlockHeaderSize = 10;
static_assert(kBlockSizeOffset == sizeof kBlockMagic, "the size follows the magic");
static_assert(kBlockChecksumOffset == kBlockSizeOffset + 4, "the checksum follows the size");
static_assert(kBlockHeaderSize == kBlockChecksumOffset + 4, "the stream follows the checksum");

// ---- code prefixes (value, length in bits) ----
struct CodePrefix {
  std::uint32_t bits;
  unsigned length;
};
constexpr CodePrefix kLiteralPrefix{0b1, 1};
constexpr CodePrefix kLongPrefix{0b01, 2};
constexpr CodePrefix kShortPrefix{0b000, 3};  // also end of stream and index width
constexpr CodePrefix kNearPrefix{0b001, 3};   // also zero byte, raw runs, literal width

// ---- code fields ----
constexpr unsigned kShortDistanceBits = 7;
constexpr unsigned kShortCountBits = 2;
constexpr std::uint32_t kShortMinLength = 2;
constexpr std::uint32_t kShortMaxLength = kShortMinLength + (1u << kShortCountBits) - 1;
constexpr unsigned kIndexWidthBase = 3;      // an index-width code sends n + 3 bits
constexpr unsigned kNearValueBits = 4;
constexpr std::uint32_t kNearZeroByte = 1;   // v == 1
constexpr std::uint32_t kNearMaxDistance = (1u << kNearValueBits) - 2;
constexpr std::uint32_t kRepeatGamma = 2;    // G == 2: repeat the last index
constexpr std::uint32_t kLongGammaBase = 3;  // G == (distance >> iw) + 3 otherwise
constexpr std::size_t kRawRunBytes = 256;
constexpr unsigned kLiteralOffsetBits = 8;

// ---- initial state ----
constexpr std::uint32_t kInitialLastIndex = 1;
constexpr unsigned kInitialIndexWidth = 8;

// The bonus a long match with a newly sent distance adds to its sent length:
// near distances have short codes (7 bits) for lengths 2 to 5, so their long
// form starts at 6; far ones are only worth it for longer matches.
//
//   distance        1..127  128..638  639..14334  14335..65535  65536..
//   bonus              4        0          1            2           3
constexpr std::uint32_t LengthBonus(std::uint64_t distance) {
  return distance < 0x80 ? 4 : std::uint32_t(distance >= 639) + std::uint32_t(distance >= 0x37FF) +
                                    std::uint32_t(distance >= 0x10000);
}
static_assert(LengthBonus(1) == 4 && LengthBonus(0x7F) == 4, "near distances");
static_assert(LengthBonus(0x80) == 0 && LengthBonus(638) == 0, "no bonus");
static_assert(LengthBonus(639) == 1 && LengthBonus(0x37FE) == 1, "bonus 1");
static_assert(LengthBonus(0x37FF) == 2 && LengthBonus(0xFFFF) == 2, "bonus 2");
static_assert(LengthBonus(0x10000) == 3 && LengthBonus(0xFFFFFFFFull) == 3, "bonus 3");
static_assert((1u << kShortDistanceBits) == 0x80, "short distances are the near ones");

// The four prefixes form a complete prefix code: no prefix starts another,
// and together they cover every bit string (their 2^-length sum to 1).
constexpr bool Starts(CodePrefix a, CodePrefix b) {  // a is a prefix of b
  return a.length <= b.length && (b.bits >> (b.length - a.length)) == a.bits;
}
constexpr bool PrefixFree(const CodePrefix* p, int n) {
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      if (i != j && Starts(p[i], p[j])) return false;
  return true;
}
constexpr CodePrefix kCodePrefixes[] = {kLiteralPrefix, kLongPrefix, kShortPrefix, kNearPrefix};
static_assert(PrefixFree(kCodePrefixes, 4), "prefix-free code table");
static_assert((8u >> kLiteralPrefix.length) + (8u >> kLongPrefix.length) + (8u >> kShortPrefix.length) +
                      (8u >> kNearPrefix.length) == 8u,
              "complete code table");

// ---- byte helpers ----
inline std::uint32_t LoadLe32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}
inline void StoreLe32(std::uint8_t* p, std::uint32_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
  p[2] = std::uint8_t(v >> 16);
  p[3] = std::uint8_t(v >> 24);
}

// One step of the checksum.
constexpr std::uint32_t ChecksumStep(std::uint32_t sum, std::uint32_t word) {
  return (sum + word) ^ (((word << 1) | (word >> 31)) + 1);
}

}  // namespace brindorel

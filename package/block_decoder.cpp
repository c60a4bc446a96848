// Block decoder: one core for the whole-block and the streaming form.
//
// Bit reading: the input is addressed by `wordPos` (byte offset of a word)
// and `bitOffset` (bits of that word already taken). A reload fills a 64-bit
// container with the two words from wordPos, shifted by bitOffset, so that at
// least 33 unread bits sit at its top; reads shift them out. Consumption is
// checked by position: a stream that takes a bit of a word that is not wholly
// inside the block has run past it.
//
// Writing: the fast loop runs only while a margin of input (kFastInput) and
// output (kBlockWindowSlack) remains: it reads without checks and copies
// matches in 8- or 16-byte groups that may run up to 15 bytes past the match,
// inside the margin. Everything else goes through the careful path: one code
// at a time, with checked reads, and its output kept as pending output that
// is written byte by byte against the limits. That is also how a call stops
// when the window is full and how the next call goes on.
//
// The window: output is written into it from writePos on and handed out as
// it comes; when its end is reached the call returns and the next one starts
// at the window's start again (a new lap). A match's source lies in this lap
// (straight behind), in the previous lap (only when at most
// windowSize - kBlockWindowSlack back: the slack ahead of the output may hold
// bytes of a group copy), or before the window (the history reader).
#include "package/block_decoder.h"

#include <cstring>

namespace brindorel {
namespace {

// The careful path runs for a few codes at the ends of a block or a call:
// built for size, apart from the fast loop.
#if defined(__GNUC__)
#define BRINDOREL_CAREFUL __attribute__((cold, noinline))
#define BRINDOREL_NOINLINE __attribute__((noinline))
#else
#define BRINDOREL_CAREFUL
#define BRINDOREL_NOINLINE
#endif

constexpr std::size_t kFastInput = 64;    // input margin of the fast loop
// Input that holds any one careful step: a long match takes at most 2 + 62
// + 32 + 62 bits (longer gammas fail), after up to 31 bits of its first word.
constexpr std::size_t kCodeInput = 32;
constexpr std::size_t kRawFastInput = kRawRunBytes + kFastInput;

enum Pending : std::uint8_t { kPendingNone, kPendingByte, kPendingMatch };
enum Phase : std::uint8_t { kRunning, kEnded, kFinishedPhase, kFailedPhase };

// Gamma values a byte of the stream at a time: for each byte, the
// (data, continue) pairs it holds up to the first stop, at most four, as one
// byte: bit 7 set when the value stops there, bits 4-6 the number of pairs,
// bits 0-3 their data bits, the first one highest.
struct GammaTable {
  std::uint8_t steps[256];
  constexpr GammaTable() : steps() {
    for (unsigned b = 0; b < 256; ++b) {
      unsigned pairs = 0, data = 0;
      bool stop = false;
      while (pairs < 4 && !stop) {
        const unsigned shift = 6 - 2 * pairs;
        data = (data << 1) | ((b >> (shift + 1)) & 1u);
        stop = ((b >> shift) & 1u) == 0;
        ++pairs;
      }
      steps[b] = std::uint8_t((stop ? 0x80u : 0u) | (pairs << 4) | data);
    }
  }
};
constexpr GammaTable kGammaTable;

// The two words at p, the first at the top.
inline std::uint64_t LoadTwoWords(const std::uint8_t* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::uint64_t v;  // one load and a rotation
  std::memcpy(&v, p, 8);
  return (v << 32) | (v >> 32);
#else
  return (std::uint64_t(LoadLe32(p)) << 32) | LoadLe32(p + 4);
#endif
}

// Input of one call, with the bit reader.
struct BitInput {
  const std::uint8_t* base;
  std::size_t wholeEnd;  // end of the whole words
  std::size_t wordPos;
  unsigned bitOffset;
  std::uint64_t bits;    // unread bits at the top; 64 - bitOffset of them valid

  void Normalize() {
    wordPos += (bitOffset >> 5) << 2;
    bitOffset &= 31;
  }
  // Reload without checks: wordPos + 8 <= wholeEnd after the step.
  void ReloadFast() {
    Normalize();
    bits = LoadTwoWords(base + wordPos) << bitOffset;
  }
  // Reload that reads only whole words of the input; missing ones read as 0.
  void ReloadCareful() {
    Normalize();
    std::uint64_t w = 0;
    if (wordPos < wholeEnd && wholeEnd - wordPos >= 8) {
      w = LoadTwoWords(base + wordPos);
    } else if (wordPos < wholeEnd && wholeEnd - wordPos >= 4) {
      w = std::uint64_t(LoadLe32(base + wordPos)) << 32;
    }
    bits = w << bitOffset;
  }
  bool Overrun() const { return wordPos * 8 + bitOffset > std::uint64_t(wholeEnd) * 8; }
};

// Reads of one code; Careful picks the reload. Each read needs the bits it
// takes to be valid: values of up to 32 bits reload first when fewer remain.
template <bool Careful>
struct Reader {
  BitInput& in;
  void Reload() {
    if (Careful) in.ReloadCareful(); else in.ReloadFast();
  }
  void Need(unsigned n) {  // n <= 33
    if (in.bitOffset > 64 - n) Reload();
  }
  std::uint32_t Take(unsigned n) {  // 1 <= n <= 32, after Need(n)
    std::uint32_t v = std::uint32_t(in.bits >> (64 - n));
    in.bits <<= n;
    in.bitOffset += n;
    return v;
  }
  std::uint32_t Value(unsigned n) {
    if (n == 0) return 0;
    Need(n);
    return Take(n);
  }
  unsigned Bit() {
    Need(1);
    return Take(1);
  }
  // Gamma value; 0 when it would not fit 32 bits (no valid length or
  // distance part is that large, so callers treat 0 as a failure).
  std::uint32_t Gamma() {
    std::uint32_t v = 1;
    while (v < (1u << 27)) {
      Need(8);
      const unsigned step = kGammaTable.steps[in.bits >> 56];
      const unsigned pairs = (step >> 4) & 7u;
      v = (v << pairs) | (step & 15u);
      in.bits <<= 2 * pairs;
      in.bitOffset += 2 * pairs;
      if (step & 0x80u) return v;
    }
    return GammaTail(v);
  }
  // The rest of a gamma value past 27 bits, bit by bit (no sound stream
  // gets here: such lengths and distances exceed any block).
  BRINDOREL_CAREFUL std::uint32_t GammaTail(std::uint32_t v) {
    do {
      if (v >= 0x80000000u) return 0;
      Need(2);
      v = 2 * v + Take(1);
    } while (Take(1) != 0);
    return v;
  }
};

// Copies `length` bytes from `distance` back (distance <= op - window) with
// groups that may write up to 15 bytes past the end.
inline void CopyGroups(std::uint8_t* op, std::uint64_t distance, std::uint64_t length) {
  const std::uint8_t* from = op - distance;
  std::uint8_t* const stop = op + length;
  if (distance >= 16) {
    do {
      std::memcpy(op, from, 16);
      op += 16;
      from += 16;
    } while (op < stop);
  } else if (distance >= 8) {
    do {
      std::memcpy(op, from, 8);
      op += 8;
      from += 8;
    } while (op < stop);
  } else if (distance == 1) {
    std::memset(op, *from, std::size_t(length));
  } else {
    // The first eight bytes one by one; then the pattern repeats at a
    // multiple of the distance that is at least 8 back.
    for (int i = 0; i < 8; ++i) op[i] = from[i];
    const std::size_t step = std::size_t(distance) * ((8 + std::size_t(distance) - 1) / std::size_t(distance));
    op += 8;
    while (op < stop) {
      std::memcpy(op, op - step, 8);
      op += 8;
    }
  }
}

// One call's view of the output.
struct Output {
  std::uint8_t* window;
  std::uint8_t* op;
  std::uint8_t* start;  // where this call began writing
  std::uint8_t* end;    // where this call must stop (window end or call limit)
  std::uint64_t startTotal;
  std::uint64_t Total() const { return startTotal + std::uint64_t(op - start); }
};

// The core. Runs until the end code, a failure, a full output or (input not
// ending) too little input for the next step.
class Core {
 public:
  Core(BlockStream& s, const std::uint8_t* input, std::size_t inputSize, bool inputEnds,
       std::size_t maxOutput)
      : s_(s), inputEnds_(inputEnds) {
    in_.base = input;
    in_.wholeEnd = inputSize & ~std::size_t(3);
    in_.wordPos = 0;
    in_.bitOffset = s.bitOffset;
    in_.bits = 0;
    if (s.windowSize != 0 && s.writePos == s.windowSize) {
      s.writePos = 0;
      s.wrapped = true;
    }
    out_.window = s.window;
    out_.start = out_.op = s.window + s.writePos;
    out_.startTotal = s.total;
    std::size_t room = s.windowSize - s.writePos;
    if (maxOutput < room) room = maxOutput;
    const std::uint64_t allowed = s.outputLimit - s.total;
    hardStop_ = allowed <= room;
    if (hardStop_) room = std::size_t(allowed);
    out_.end = out_.op + room;
  }

  BRINDOREL_NOINLINE BlockStreamStatus Run() {
    for (;;) {
      if (s_.pendingKind != kPendingNone) {
        BlockStreamStatus stop;
        if (!WritePending(&stop)) return stop;
      }
      if (s_.phase == kEnded) return BlockStreamStatus::kFinished;
      if (s_.phase != kRunning) return Fail();
      if (s_.rawLeft == 0 && FastLoop()) continue;
      in_.Normalize();
      // Before the input ends, a step starts only with enough input for any step.
      if (!inputEnds_ && (in_.wordPos > in_.wholeEnd || in_.wholeEnd - in_.wordPos < kCodeInput))
        return BlockStreamStatus::kNeedsInput;
      CarefulStep();
      if (in_.Overrun()) return Fail();
    }
  }

  void Save() {
    in_.Normalize();  // the word the next bit comes from stays unconsumed
    s_.bitOffset = in_.bitOffset;
    s_.writePos = std::size_t(out_.op - s_.window);
    s_.total = out_.Total();
  }
  std::size_t InputUsed() const { return in_.wordPos; }
  std::size_t OutputOffset() const { return std::size_t(out_.start - s_.window); }
  std::size_t OutputSize() const { return std::size_t(out_.op - out_.start); }

 private:
  BlockStreamStatus Fail() {
    s_.phase = kFailedPhase;
    return BlockStreamStatus::kFailed;
  }
  // The output is at `end`: a full window or call limit, or the block's limit.
  BlockStreamStatus Full() { return hardStop_ ? Fail() : BlockStreamStatus::kOutputFull; }

  // Where a match's source byte lies; false when it lies before the block.
  bool SourceKnown(std::uint64_t distance) const { return distance != 0 && distance <= out_.Total(); }

  // Writes the pending output; false, with the status to return, when it
  // cannot be written whole.
  BRINDOREL_CAREFUL bool WritePending(BlockStreamStatus* stop) {
    if (s_.pendingKind == kPendingByte) {
      if (out_.op == out_.end) return *stop = Full(), false;
      *out_.op++ = s_.pendingByte;
      s_.pendingKind = kPendingNone;
      return true;
    }
    const std::uint64_t distance = s_.pendingDistance;
    std::uint64_t& left = s_.pendingLength;
    if (!SourceKnown(distance) || left > s_.outputLimit - out_.Total()) return *stop = Fail(), false;
    while (left != 0) {
      if (out_.op == out_.end) return *stop = Full(), false;
      std::size_t room = std::size_t(out_.end - out_.op);
      std::size_t n = left < room ? std::size_t(left) : room;
      const std::uint64_t behind = std::uint64_t(out_.op - out_.window);
      if (distance <= behind) {  // in this lap: byte by byte repeats patterns
        const std::uint8_t* from = out_.op - distance;
        for (std::size_t i = 0; i < n; ++i) out_.op[i] = from[i];
      } else if (s_.wrapped && s_.windowSize > kBlockWindowSlack &&
                 distance <= s_.windowSize - kBlockWindowSlack) {
        // In the previous lap, up to the window's end; the loop comes back
        // for what follows from this lap's start.
        const std::uint8_t* from = out_.op + (s_.windowSize - distance);
        const std::size_t tillEnd = std::size_t(s_.window + s_.windowSize - from);
        if (n > tillEnd) n = tillEnd;
        for (std::size_t i = 0; i < n; ++i) out_.op[i] = from[i];
      } else {
        // Before the window: read back what was handed out, never more than
        // lies before this lap (all of it handed out by earlier calls).
        if (s_.reader == nullptr) return *stop = Fail(), false;
        const std::uint64_t beforeLap = distance - behind;
        if (n > beforeLap) n = std::size_t(beforeLap);
        if (n > 4096) n = 4096;
        if (!s_.reader(s_.readerContext, out_.Total() - distance, out_.op, n)) return *stop = Fail(), false;
      }
      out_.op += n;
      left -= n;
    }
    s_.pendingKind = kPendingNone;
    return true;
  }

  void SetMatch(std::uint64_t distance, std::uint64_t length) {
    s_.pendingKind = kPendingMatch;
    s_.pendingDistance = distance;
    s_.pendingLength = length;
  }
  void SetByte(std::uint8_t b) {
    s_.pendingKind = kPendingByte;
    s_.pendingByte = b;
  }

  // Decodes one code (or one raw byte) with checked reads into pending output.
  BRINDOREL_CAREFUL void CarefulStep() {
    Reader<true> r{in_};
    in_.ReloadCareful();
    if (s_.rawLeft != 0) {
      SetByte(std::uint8_t(r.Value(8)));
      if (--s_.rawLeft == 0 && r.Bit()) s_.rawLeft = unsigned(kRawRunBytes);
      return;
    }
    Code(r);
  }

  // One code from its first bit; matches and bytes become pending output.
  template <bool Careful>
  void Code(Reader<Careful>& r) {
    if (r.Bit()) {  // literal
      if (s_.literalWidth == 0) {
        s_.phase = kFailedPhase;
        return;
      }
      SetByte(std::uint8_t(r.Value(s_.literalWidth) + s_.literalOffset));
    } else if (r.Bit()) {  // long match or repeat
      LongMatch(r);
    } else if (!r.Bit()) {  // short match, end code or index-width code
      const std::uint32_t distance = r.Value(kShortDistanceBits);
      const std::uint32_t n = r.Value(kShortCountBits);
      if (distance != 0) {
        s_.lastIndex = distance;
        SetMatch(distance, n + kShortMinLength);
      } else if (n == 0) {
        s_.phase = kEnded;
      } else {
        s_.indexWidth = r.Value(n + kIndexWidthBase);
      }
    } else {
      const std::uint32_t v = r.Value(kNearValueBits);
      if (v == kNearZeroByte) {
        SetByte(0);
      } else if (v >= 2) {
        SetMatch(v - 1, 1);
      } else if (r.Bit()) {
        s_.rawLeft = unsigned(kRawRunBytes);
      } else {
        s_.literalWidth = r.Bit() + 7;
        s_.literalOffset = s_.literalWidth == 7 ? r.Value(kLiteralOffsetBits) : 0;
      }
    }
  }

  // After "01": sets the pending match, or fails.
  template <bool Careful>
  void LongMatch(Reader<Careful>& r) {
    std::uint32_t g = r.Gamma();
    if (g < kRepeatGamma) {
      s_.phase = kFailedPhase;
      return;
    }
    std::uint64_t distance = s_.lastIndex;
    std::uint64_t length;
    if (g == kRepeatGamma) {
      length = r.Gamma();
    } else {
      if (s_.indexWidth > 32) {  // every such distance exceeds any output
        s_.phase = kFailedPhase;
        return;
      }
      distance = (std::uint64_t(g - kLongGammaBase) << s_.indexWidth) | r.Value(s_.indexWidth);
      s_.lastIndex = distance;
      length = r.Gamma();
      if (length != 0) length += LengthBonus(distance);
    }
    if (length == 0) {
      s_.phase = kFailedPhase;
      return;
    }
    SetMatch(distance, length);
  }

  // The fast loop. Returns false at once when its margins do not hold;
  // otherwise runs codes until they stop holding, something needs the
  // careful path (pending output is left for it) or the block ends.
  bool FastLoop();

  BlockStream& s_;
  bool inputEnds_;
  bool hardStop_;
  BitInput in_;
  Output out_;
};

bool Core::FastLoop() {
  if (in_.wholeEnd < kFastInput || out_.end - out_.op <= std::ptrdiff_t(kBlockWindowSlack)) return false;
  const std::size_t inFast = in_.wholeEnd - kFastInput;
  in_.Normalize();
  if (in_.wordPos > inFast) return false;

  // Hot state in locals.
  BitInput in = in_;
  Reader<false> r{in};
  std::uint8_t* op = out_.op;
  std::uint8_t* const opFast = out_.end - kBlockWindowSlack;
  std::uint8_t* const window = out_.window;
  unsigned width = s_.literalWidth;
  unsigned offset = s_.literalOffset;
  std::uint64_t lastIndex = s_.lastIndex;
  unsigned indexWidth = s_.indexWidth;
  bool ok = true;

  while (op <= opFast) {
    in.Normalize();
    if (in.wordPos > inFast) break;
    in.bits = LoadTwoWords(in.base + in.wordPos) << in.bitOffset;
    const std::uint64_t top = in.bits;
    if (top >> 63) {
      // Literals: up to three from one reload (3 x 9 bits < 33).
      if (width == 0) {
        ok = false;
        break;
      }
      const unsigned take = 1 + width;
      *op++ = std::uint8_t((top << 1) >> (64 - width)) + std::uint8_t(offset);
      std::uint64_t rest = top << take;
      unsigned used = take;
      if (rest >> 63) {
        *op++ = std::uint8_t((rest << 1) >> (64 - width)) + std::uint8_t(offset);
        rest <<= take;
        used += take;
        if (rest >> 63) {
          *op++ = std::uint8_t((rest << 1) >> (64 - width)) + std::uint8_t(offset);
          used += take;
        }
      }
      in.bitOffset += used;
      continue;
    }
    std::uint64_t distance;
    std::uint64_t length;
    if ((top >> 62) == 1) {  // 01: long match or repeat
      in.bits <<= 2;
      in.bitOffset += 2;
      const std::uint32_t g = r.Gamma();
      distance = lastIndex;
      if (g != kRepeatGamma) {
        if (g < kRepeatGamma || indexWidth > 32) {
          ok = false;
          break;
        }
        distance = (std::uint64_t(g - kLongGammaBase) << indexWidth) | r.Value(indexWidth);
        lastIndex = distance;
      }
      length = r.Gamma();
      if (length == 0) {
        ok = false;
        break;
      }
      if (g != kRepeatGamma) length += LengthBonus(distance);
    } else if ((top >> 61) == 0) {  // 000: short match, end or index width
      distance = (top >> (61 - kShortDistanceBits)) & 0x7F;
      const unsigned n = unsigned(top >> (61 - kShortDistanceBits - kShortCountBits)) & 3u;
      in.bits <<= 12;
      in.bitOffset += 12;
      if (distance == 0) {
        if (n == 0) {
          s_.phase = kEnded;
          break;
        }
        indexWidth = r.Take(n + kIndexWidthBase);
        continue;
      }
      lastIndex = distance;
      length = n + kShortMinLength;
    } else {  // 001
      const unsigned v = unsigned(top >> 57) & 15u;
      if (v >= 2) {
        in.bits <<= 7;
        in.bitOffset += 7;
        if (v - 1 <= std::uint64_t(op - window)) {
          *op = op[-std::ptrdiff_t(v - 1)];
          ++op;
          continue;
        }
        distance = v - 1;
        length = 1;
      } else if (v == kNearZeroByte) {
        in.bits <<= 7;
        in.bitOffset += 7;
        *op++ = 0;
        continue;
      } else if ((top >> 56) & 1u) {  // raw runs
        in.bits <<= 8;
        in.bitOffset += 8;
        for (;;) {
          if (in.wholeEnd - in.wordPos < kRawFastInput ||
              std::size_t(out_.end - op) < kRawRunBytes + kBlockWindowSlack) {
            s_.rawLeft = unsigned(kRawRunBytes);  // the careful path goes on
            break;
          }
          for (std::size_t i = 0; i < kRawRunBytes; i += 4) {
            in.ReloadFast();
            const std::uint32_t four = std::uint32_t(in.bits >> 32);
            op[0] = std::uint8_t(four >> 24);
            op[1] = std::uint8_t(four >> 16);
            op[2] = std::uint8_t(four >> 8);
            op[3] = std::uint8_t(four);
            op += 4;
            in.bitOffset += 32;
          }
          in.ReloadFast();
          const bool more = (in.bits >> 63) != 0;
          in.bitOffset += 1;
          if (!more) break;
        }
        if (s_.rawLeft != 0) break;
        continue;
      } else {  // literal width
        width = 7 + unsigned((top >> 55) & 1u);
        in.bits <<= 9;
        in.bitOffset += 9;
        offset = width == 7 ? r.Take(kLiteralOffsetBits) : 0;
        continue;
      }
    }
    // A match: straight behind and clear of the margin, or the careful path.
    if (distance - 1 < std::uint64_t(op - window) && length <= std::uint64_t(opFast - op)) {  // 0 < distance
      CopyGroups(op, distance, length);
      op += length;
      continue;
    }
    s_.pendingKind = kPendingMatch;
    s_.pendingDistance = distance;
    s_.pendingLength = length;
    break;
  }

  in_ = in;
  out_.op = op;
  s_.literalWidth = width;
  s_.literalOffset = offset;
  s_.lastIndex = lastIndex;
  s_.indexWidth = indexWidth;
  if (!ok) s_.phase = kFailedPhase;
  return true;
}

void InitStream(BlockStream& s, std::uint8_t* window, std::size_t windowSize, std::uint32_t decodedSize,
                std::uint32_t checksum, std::uint64_t outputLimit) {
  s = BlockStream{};
  s.window = window;
  s.windowSize = windowSize;
  s.outputLimit = outputLimit;
  s.decodedSize = decodedSize;
  s.checksum = checksum;
  s.lastIndex = kInitialLastIndex;
  s.indexWidth = kInitialIndexWidth;
  s.phase = kRunning;
}

// Adds handed-out bytes to the running checksum: whole words as they
// complete; `tail` keeps the last four bytes (the overlapping last word).
void AddToSum(BlockStream& s, const std::uint8_t* p, std::size_t n, std::uint64_t totalBefore) {
  auto shiftIn = [](std::uint32_t tail, std::uint8_t b) { return (tail >> 8) | (std::uint32_t(b) << 24); };
  std::uint32_t tail = s.tail;
  std::size_t i = 0;
  unsigned carried = unsigned(totalBefore & 3u);  // bytes of an unfinished word, in tail
  if (carried != 0) {
    for (; i < n && carried < 4; ++i, ++carried) tail = shiftIn(tail, p[i]);
    if (carried == 4) s.sum = ChecksumStep(s.sum, tail);
  }
  for (; i + 4 <= n; i += 4) {
    tail = LoadLe32(p + i);
    s.sum = ChecksumStep(s.sum, tail);
  }
  for (; i < n; ++i) tail = shiftIn(tail, p[i]);
  s.tail = tail;
}

// The checksum of everything handed out, with the last-word rule.
std::uint32_t FinalSum(const BlockStream& s) {
  if (s.total < 4) return 0;
  return (s.total & 3u) != 0 ? ChecksumStep(s.sum, s.tail) : s.sum;
}

}  // namespace

std::uint32_t BlockChecksum(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < 4) return 0;
  std::uint32_t s = 0;
  const std::size_t whole = size / 4;
  std::size_t i = 0;
  for (; i + 2 <= whole; i += 2) {  // two words a load
    const std::uint64_t pair = LoadTwoWords(data + 4 * i);
    s = ChecksumStep(ChecksumStep(s, std::uint32_t(pair >> 32)), std::uint32_t(pair));
  }
  if (i < whole) s = ChecksumStep(s, LoadLe32(data + 4 * i));
  if (size % 4 != 0) s = ChecksumStep(s, LoadLe32(data + size - 4));  // overlaps the word before
  return s;
}

std::uint32_t BlockDecodedSize(const std::uint8_t* block, std::size_t blockSize) {
  if (block == nullptr || blockSize < kBlockHeaderSize || block[0] != kBlockMagic[0] || block[1] != kBlockMagic[1])
    return 0;
  return LoadLe32(block + kBlockSizeOffset);
}

std::size_t DecompressBlock(const std::uint8_t* block, std::size_t blockSize,
                            std::uint8_t* out, std::size_t capacity) {
  if (block == nullptr || out == nullptr || blockSize < kBlockHeaderSize) return 0;
  if (block[0] != kBlockMagic[0] || block[1] != kBlockMagic[1]) return 0;
  const std::uint32_t decodedSize = LoadLe32(block + kBlockSizeOffset);
  const std::uint32_t checksum = LoadLe32(block + kBlockChecksumOffset);

  // The whole buffer is the window, the whole block the input.
  BlockStream s;
  InitStream(s, out, capacity, decodedSize, checksum, capacity);
  Core core(s, block + kBlockHeaderSize, blockSize - kBlockHeaderSize, true, capacity);
  if (core.Run() != BlockStreamStatus::kFinished) return 0;
  core.Save();
  const std::size_t written = core.OutputSize();
  if (checksum == 0) return written;
  // The sum covers the announced size; it cannot be checked beyond the buffer.
  if (decodedSize > capacity) return 0;
  return BlockChecksum(out, decodedSize) == checksum ? written : 0;
}

bool BeginBlockStream(BlockStream& stream, const std::uint8_t* header, std::size_t headerSize,
                      std::uint8_t* window, std::size_t windowSize, BlockHistoryReader reader,
                      void* readerContext) {
  InitStream(stream, window, windowSize, 0, 0, 0);
  if (header == nullptr || headerSize < kBlockHeaderSize || window == nullptr || windowSize == 0 ||
      header[0] != kBlockMagic[0] || header[1] != kBlockMagic[1]) {
    stream.phase = kFailedPhase;
    return false;
  }
  stream.decodedSize = LoadLe32(header + kBlockSizeOffset);
  stream.checksum = LoadLe32(header + kBlockChecksumOffset);
  stream.outputLimit = stream.decodedSize;
  stream.reader = reader;
  stream.readerContext = readerContext;
  return true;
}

BlockStreamResult DecodeBlockStream(BlockStream& stream, const std::uint8_t* input, std::size_t inputSize,
                                    bool inputEnds, std::size_t maxOutput) {
  if (stream.phase == kFailedPhase || stream.window == nullptr)
    return BlockStreamResult{BlockStreamStatus::kFailed, 0, 0, 0};
  if (stream.phase == kFinishedPhase) return BlockStreamResult{BlockStreamStatus::kFinished, 0, stream.writePos, 0};
  if (input == nullptr) inputSize = 0;
  const std::uint64_t totalBefore = stream.total;
  Core core(stream, input, inputSize, inputEnds, maxOutput);
  BlockStreamStatus status = core.Run();
  core.Save();
  BlockStreamResult result{status, core.InputUsed(), core.OutputOffset(), core.OutputSize()};
  AddToSum(stream, stream.window + result.outputOffset, result.outputSize, totalBefore);
  if (status == BlockStreamStatus::kFinished) {
    const bool sound = stream.total == stream.decodedSize && (stream.checksum == 0 || FinalSum(stream) == stream.checksum);
    stream.phase = sound ? kFinishedPhase : kFailedPhase;
    if (!sound) result.status = BlockStreamStatus::kFailed;
  }
  if (result.status == BlockStreamStatus::kFailed) result.outputSize = 0;
  return result;
}

}  // namespace brindorel

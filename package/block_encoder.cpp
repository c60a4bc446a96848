// Block encoder.
//
// The input is parsed into tokens (literal, zero byte, near byte copy, short
// match, long match, repeat match) by one of two parsers, then written by the
// emitter, which adds the codes that change the decoder's settings:
//  - literal-width codes, decided per 1 KiB of input: a stretch whose non-zero
//    bytes all lie within 128 values gets 7-bit literals with an offset;
//  - index-width codes, decided per 64 KiB of input from the distances the
//    previous 64 KiB used;
//  - raw 256-byte runs, for 256 or more literals in a row at 8 bits each.
// Levels: 9 and above run the optimal parse; everything below runs the lazy
// hash-chain parse (level 1 is its fastest setting, 2 to 8 search deeper).
#include "package/block_encoder.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <memory>

#include "package/block_decoder.h"

namespace brindorel {
namespace {

constexpr std::size_t kLiteralStretch = 1024;
constexpr std::size_t kStretchLookback = kBlockStretch;
// The last index at a stretch's start: unknown (no repeat before a distance).
constexpr std::uint32_t kUnknownIndex = 0xFFFFFFFFu;
constexpr std::size_t kParseChunk = 64 * 1024;
constexpr std::uint32_t kInfinite = std::numeric_limits<std::uint32_t>::max() / 4;

// ---- costs in bits ----

inline unsigned FloorLog2(std::uint64_t v) {  // v >= 1
  return 63u - unsigned(__builtin_clzll(v));
}
inline std::uint32_t GammaBits(std::uint64_t v) { return 2 * FloorLog2(v); }  // v >= 2

// Smallest length a long match with a newly sent distance can carry.
inline std::uint32_t LongMinLength(std::uint32_t distance) { return LengthBonus(distance) + 2; }

inline std::uint32_t LongDistanceBits(std::uint32_t distance, unsigned indexWidth) {
  return 2 + GammaBits((std::uint64_t(distance) >> indexWidth) + 3) + indexWidth;
}

inline std::uint32_t LongBits(std::uint32_t distance, std::uint32_t length, unsigned indexWidth) {
  return LongDistanceBits(distance, indexWidth) + GammaBits(length - LengthBonus(distance));
}

inline std::uint32_t RepeatBits(std::uint32_t length) { return 4 + GammaBits(length); }

constexpr std::uint32_t kShortBits = 12;
constexpr std::uint32_t kNearBits = 7;  // zero byte and one-byte near copy
constexpr std::uint32_t kRawBits = 8 + 256 * 8 + 1;  // a run of its own; a continued run costs 8 less

// ---- tokens ----

enum TokenKind : std::uint8_t { kLiteral, kZero, kNear, kShort, kLong, kRepeat, kRaw };  // kRaw: 256 bytes

struct Token {
  TokenKind kind;
  std::uint32_t distance;
  std::uint32_t length;
};

// Literal setting of one stretch of input: width 8, or width 7 with offset.
struct LiteralMode {
  unsigned width;
  unsigned offset;
};

inline bool Encodable(const LiteralMode& m, std::uint8_t b) {
  return m.width == 8 || std::uint8_t(b - m.offset) < 0x80;
}

// The modes of `size` bytes into modes[0, ...), one a kLiteralStretch, each
// chosen with the one before it in view (`prev`, carried from call to call).
void PlanLiteralModes(const std::uint8_t* data, std::size_t size, LiteralMode& prev, LiteralMode* modes) {
  for (std::size_t start = 0; start < size; start += kLiteralStretch) {
    std::size_t end = std::min(size, start + kLiteralStretch);
    std::uint8_t lo = 255, hi = 0;  // over the non-zero bytes (zeros have codes of their own)
    for (std::size_t i = start; i < end; ++i) {
      const std::uint8_t b = data[i];
      lo = std::min<std::uint8_t>(lo, std::uint8_t(b == 0 ? 255 : b));
      hi = std::max<std::uint8_t>(hi, b);
    }
    LiteralMode m{8, 0};
    if (lo > hi) {
      m = prev;  // only zeros: keep whatever is set
    } else if (hi - lo < 0x80) {
      if (prev.width == 7 && lo >= prev.offset && hi - prev.offset < 0x80)
        m = prev;
      else
        m = LiteralMode{7, std::min<unsigned>(lo, 0x80u)};
    }
    *modes++ = m;
    prev = m;
  }
}

// Bytes a and b have in common, at most limit; eight at a time.
inline std::size_t CommonLength(const std::uint8_t* a, const std::uint8_t* b, std::size_t limit) {
  std::size_t n = 0;
  while (limit - n >= 8) {
    std::uint64_t x, y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (x != y) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
      return n + unsigned(__builtin_ctzll(x ^ y)) / 8;
#else
      break;
#endif
    }
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

// ---- match finder: hash chains over the input, within the reach ----

// Matches reach at most `reach` bytes back. When the input is larger than
// the block window, the chains are kept for the window only (a ring): a
// link of a position further back than the reach is never followed.
// Tables hold position + 1, so that 0 is "none" and one comparison ends a
// chain both at its end and at the reach.
//
// The links of a position (prev_ here, sons_ in the tree finder) are written
// when it is inserted, before any head, chain or tree can lead to it; so the
// link table, tens of MiB for a stretch, may come from an earlier finder
// with its old contents (only the heads must start empty).
class MatchFinder {
 public:
  // Finds matches for positions from `base` on
  // (inserted in order, up to `last`) within data[0, size).
  MatchFinder(const std::uint8_t* data, std::size_t base, std::size_t last, std::size_t size, std::size_t reach,
              std::vector<std::uint32_t>& links)
      : data_(data), size_(size), base_(base), reach_(reach),
        ringMask_(last - base > kBlockWindowSize ? kBlockWindowSize - 1 : ~std::size_t(0)),
        head_(std::size_t(1) << kHashBits, 0), prev_(links), head2_(65536, 0) {
    prev_.resize(last - base > kBlockWindowSize ? kBlockWindowSize : last - base);
  }

  std::size_t Reach() const { return reach_; }

  // Adds position p (which must be the next one not yet added).
  void Insert(std::size_t p) {
    if (p + 2 < size_) {
      std::uint32_t h = Hash3(p);
      prev_[(p - base_) & ringMask_] = head_[h];
      head_[h] = std::uint32_t(p + 1);
      head2_[Pair(p)] = std::uint32_t(p + 1);
    } else if (p + 1 < size_) {
      head2_[Pair(p)] = std::uint32_t(p + 1);
    }
  }

  std::size_t MatchLength(std::size_t p, std::size_t distance, std::size_t limit) const {
    return CommonLength(data_ + p, data_ + p - distance, limit);
  }

  // Calls found(distance, length) for candidates of growing length at p
  // (p not yet inserted), at most `limit` bytes long.
  template <typename F>
  void Find(std::size_t p, std::size_t limit, unsigned chainDepth, std::size_t niceLength,
            F&& found) const {
    if (limit < 2) return;
    std::size_t best = 1;
    const std::uint8_t* const a = data_ + p;
    std::uint32_t c2 = head2_[Pair(p)];
    if (c2 != 0 && p + 1 - c2 < 0x80) {
      std::size_t n = CommonLength(a, data_ + c2 - 1, limit);
      if (n >= 2) {
        found(std::uint32_t(p + 1 - c2), std::uint32_t(n));
        best = n;
      }
    }
    if (limit < 3 || best >= niceLength || best >= limit) return;
    // Stored values at or below `floor` are none or beyond the reach.
    const std::size_t floor = p - base_ > reach_ ? p - reach_ : base_;
    std::uint32_t c = head_[Hash3(p)];
    for (unsigned depth = 0; c > floor && depth < chainDepth; ++depth, c = prev_[(c - 1 - base_) & ringMask_]) {
      const std::uint8_t* b = data_ + c - 1;
      if (b[best] != a[best] || b[0] != a[0]) continue;
      std::size_t n = CommonLength(a, b, limit);
      if (n > best) {
        best = n;
        found(std::uint32_t(p + 1 - c), std::uint32_t(n));
        if (n >= niceLength || n == limit) break;
      }
    }
  }

 private:
  static constexpr unsigned kHashBits = 17;
  std::uint32_t Hash3(std::size_t p) const {
    std::uint32_t v = std::uint32_t(data_[p]) | (std::uint32_t(data_[p + 1]) << 8) |
                      (std::uint32_t(data_[p + 2]) << 16);
    return (v * 2654435761u) >> (32 - kHashBits);
  }
  std::uint32_t Pair(std::size_t p) const { return std::uint32_t(data_[p]) | (std::uint32_t(data_[p + 1]) << 8); }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t base_;
  std::size_t reach_;
  std::size_t ringMask_;
  std::vector<std::uint32_t> head_;
  std::vector<std::uint32_t>& prev_;
  std::vector<std::uint32_t> head2_;
};

// Binary trees for the best level: the positions with the same three-byte
// hash form a tree sorted by the bytes that follow them (up to the nice
// length), so one walk from the newest finds the longest match at every
// distance step and re-links the tree with the current position as its
// root. The walk is cut after kTreeCut nodes. Same interface as
// MatchFinder; Find also inserts the position.
class TreeFinder {
 public:
  TreeFinder(const std::uint8_t* data, std::size_t base, std::size_t last, std::size_t size, std::size_t reach,
             std::size_t nice, std::vector<std::uint32_t>& links)
      : data_(data), size_(size), base_(base), reach_(reach), nice_(nice),
        ringMask_(last - base > kBlockWindowSize ? kBlockWindowSize - 1 : ~std::size_t(0)),
        head_(std::size_t(1) << kHashBits, 0), sons_(links), head2_(65536, 0), next_(base) {
    sons_.resize(2 * (last - base > kBlockWindowSize ? kBlockWindowSize : last - base));
  }

  std::size_t Reach() const { return reach_; }

  std::size_t MatchLength(std::size_t p, std::size_t distance, std::size_t limit) const {
    return CommonLength(data_ + p, data_ + p - distance, limit);
  }

  // Inserts p unless Find did already.
  void Insert(std::size_t p) {
    if (p < next_) return;
    Walk(p, [](std::uint32_t, std::uint32_t) {});
  }

  // Calls found(distance, length) for candidates of growing length at p, at
  // most `limit` bytes long, and inserts p.
  template <typename F>
  void Find(std::size_t p, std::size_t limit, unsigned, std::size_t, F&& found) {
    std::size_t best = 1;
    if (limit >= 2 && p + 1 < size_) {
      const std::uint32_t c2 = head2_[Pair(p)];
      if (c2 != 0 && p + 1 - c2 < 0x80) {
        const std::size_t n = CommonLength(data_ + p, data_ + c2 - 1, limit);
        if (n >= 2) {
          found(std::uint32_t(p + 1 - c2), std::uint32_t(n));
          best = n;
        }
      }
    }
    Walk(p, [&](std::uint32_t distance, std::uint32_t length) {
      const std::size_t n = length < limit ? length : limit;
      if (n > best) {
        best = n;
        found(distance, std::uint32_t(n));
      }
    });
  }

 private:
  static constexpr unsigned kHashBits = 18;
  static constexpr unsigned kTreeCut = 48;

  template <typename F>
  void Walk(std::size_t p, F&& report) {
    next_ = p + 1;
    if (p + 1 < size_) head2_[Pair(p)] = std::uint32_t(p + 1);
    if (p + 2 >= size_) return;
    const std::size_t lenLimit = std::min(nice_, size_ - p);
    const std::uint8_t* const cur = data_ + p;
    const std::uint32_t h = Hash3(p);
    std::uint32_t match = head_[h];
    head_[h] = std::uint32_t(p + 1);
    std::uint32_t* ptr0 = &sons_[2 * ((p - base_) & ringMask_) + 1];
    std::uint32_t* ptr1 = &sons_[2 * ((p - base_) & ringMask_)];
    std::size_t len0 = 0, len1 = 0;
    const std::size_t floor = p - base_ > reach_ ? p - reach_ : base_;
    for (unsigned cut = kTreeCut;; --cut) {
      if (match <= floor || cut == 0) {
        *ptr0 = *ptr1 = 0;
        return;
      }
      const std::size_t m = match - 1;
      std::uint32_t* const pair = &sons_[2 * ((m - base_) & ringMask_)];
      const std::uint8_t* const pb = data_ + m;
      std::size_t len = std::min(len0, len1);
      if (pb[len] == cur[len]) {
        len += CommonLength(cur + len, pb + len, lenLimit - len);
        report(std::uint32_t(p - m), std::uint32_t(len));
        if (len == lenLimit) {  // equal as far as the tree looks: p takes m's place
          *ptr1 = pair[0];
          *ptr0 = pair[1];
          return;
        }
      }
      if (pb[len] < cur[len]) {
        *ptr1 = match;
        ptr1 = pair + 1;
        match = *ptr1;
        len1 = len;
      } else {
        *ptr0 = match;
        ptr0 = pair;
        match = *ptr0;
        len0 = len;
      }
    }
  }

  std::uint32_t Hash3(std::size_t p) const {
    std::uint32_t v = std::uint32_t(data_[p]) | (std::uint32_t(data_[p + 1]) << 8) |
                      (std::uint32_t(data_[p + 2]) << 16);
    return (v * 2654435761u) >> (32 - kHashBits);
  }
  std::uint32_t Pair(std::size_t p) const { return std::uint32_t(data_[p]) | (std::uint32_t(data_[p + 1]) << 8); }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t base_;
  std::size_t reach_;
  std::size_t nice_;
  std::size_t ringMask_;
  std::vector<std::uint32_t> head_;
  std::vector<std::uint32_t>& sons_;  // two links (smaller, larger) per position
  std::vector<std::uint32_t> head2_;
  std::size_t next_;  // the next position not inserted
};

// Everything the parsers need about one position's cheap one-byte codes.
struct Context {
  const std::uint8_t* data;
  const LiteralMode* modes;  // of data[0, ...)

  // The smallest distance of at most kNearMaxDistance at which byte b
  // stands before p, or 0: sixteen bytes at a time, looking for zero
  // bytes of (bytes XOR b) from the nearest end.
  std::uint32_t NearestCopy(std::size_t p, std::uint8_t b) const {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    if (p >= 16) {
      const std::uint64_t ones = 0x0101010101010101ull, lows = 0x7F7F7F7F7F7F7F7Full;
      auto zeroBytes = [&](std::uint64_t x) {  // top bit set in each zero byte, exactly
        return ~(((x & lows) + lows) | x | lows);
      };
      std::uint64_t hi, lo;
      std::memcpy(&hi, data + p - 8, 8);
      std::memcpy(&lo, data + p - 16, 8);
      std::uint64_t m = zeroBytes(hi ^ (b * ones));
      if (m != 0) return 8 - (63 - unsigned(__builtin_clzll(m))) / 8;
      m = zeroBytes(lo ^ (b * ones)) & ~0xFFFFull;  // distances 15 and 16 are too far
      if (m != 0) return 16 - (63 - unsigned(__builtin_clzll(m))) / 8;
      return 0;
    }
#endif
    for (std::uint32_t d = 1; d <= kNearMaxDistance && d <= p; ++d)
      if (data[p - d] == b) return d;
    return 0;
  }

  // Cheapest one-byte token at p (always exists: zero byte, near copy or literal).
  Token OneByte(std::size_t p, std::uint32_t* bits) const {
    std::uint8_t b = data[p];
    if (b == 0) {
      *bits = kNearBits;
      return Token{kZero, 0, 1};
    }
    if (std::uint32_t d = NearestCopy(p, b)) {
      *bits = kNearBits;
      return Token{kNear, d, 1};
    }
    const LiteralMode& m = modes[p / kLiteralStretch];
    *bits = Encodable(m, b) ? 1 + m.width : 1 + 8 + 18;  // width switch and back, priced roughly
    return Token{kLiteral, 0, 1};
  }
};

inline std::uint32_t MatchBits(std::uint32_t distance, std::uint32_t length, unsigned indexWidth,
                               std::uint32_t lastIndex, TokenKind* kind) {
  if (distance == lastIndex) {
    *kind = kRepeat;
    return RepeatBits(length);
  }
  if (distance < 0x80 && length <= 5) {
    *kind = kShort;
    return kShortBits;
  }
  if (length < LongMinLength(distance)) {
    *kind = kLiteral;
    return kInfinite;
  }
  *kind = kLong;
  return LongBits(distance, length, indexWidth);
}

// Distances are counted in buckets of their top four bits (an eighth of an
// octave), each priced as its bucket's middle: close enough to choose a
// width, and cheap for any number of distances.
unsigned ChooseIndexWidth(const std::vector<std::uint32_t>& distances, unsigned current) {
  if (distances.empty()) return current;
  std::uint32_t counts[32][8] = {};
  for (std::uint32_t d : distances) {
    const unsigned e = FloorLog2(d);
    const unsigned m = e >= 3 ? (d >> (e - 3)) & 7u : (d << (3 - e)) & 7u;
    ++counts[e][m];
  }
  auto total = [&](unsigned w) {
    std::uint64_t sum = 0;
    for (unsigned e = 0; e < 32; ++e)
      for (unsigned m = 0; m < 8; ++m) {
        if (counts[e][m] == 0) continue;
        const std::uint64_t middle = e >= 4 ? (std::uint64_t(16 + 2 * m + 1) << (e - 4)) : (std::uint64_t(1) << e);
        sum += std::uint64_t(counts[e][m]) * LongDistanceBits(std::uint32_t(middle), w);
      }
    return sum;
  };
  unsigned best = current;
  std::uint64_t bestBits = total(current);
  for (unsigned w = 4; w <= 24; ++w) {
    std::uint64_t b = total(w) + 20;  // the index-width code itself
    if (b < bestBits) {
      bestBits = b;
      best = w;
    }
  }
  return best;
}

// Replaces 256-byte stretches of tokens that cost more than a raw run. A
// stretch holding a short or long match is left alone: removing it would
// change the last index that later repeat matches use.
void UseRawRuns(std::vector<Token>& tokens, std::size_t from, const LiteralMode* modes, std::size_t pos,
                unsigned indexWidth) {
  // A window of tokens [i, j) slides over the list: its bytes, bits and
  // the number of tokens in it that must stay.
  const std::size_t n = tokens.size();
  std::vector<std::uint32_t> cost(n - from);
  {
    std::size_t at = pos;
    for (std::size_t k = from; k < n; ++k) {
      const Token& t = tokens[k];
      std::uint32_t bits = 0;
      switch (t.kind) {
        case kLiteral: bits = 1 + modes[at / kLiteralStretch].width; break;
        case kZero: case kNear: bits = kNearBits; break;
        case kRepeat: bits = RepeatBits(t.length); break;
        case kRaw: bits = kRawBits; break;
        case kShort: bits = kShortBits; break;
        case kLong: bits = LongBits(t.distance, t.length, indexWidth); break;
      }
      cost[k - from] = bits;
      at += t.length;
    }
  }
  auto fixed = [&](std::size_t k) { return tokens[k].kind == kShort || tokens[k].kind == kLong; };
  std::vector<Token> out(tokens.begin(), tokens.begin() + std::ptrdiff_t(from));
  std::size_t i = from, j = from, covered = 0, bits = 0, fixedCount = 0;
  while (i < n) {
    while (j < n && covered < kRawRunBytes) {
      covered += tokens[j].length;
      bits += cost[j - from];
      fixedCount += fixed(j) ? 1 : 0;
      ++j;
    }
    if (fixedCount == 0 && covered == kRawRunBytes && bits > kRawBits) {
      out.push_back(Token{kRaw, 0, std::uint32_t(kRawRunBytes)});
      i = j;
      covered = bits = fixedCount = 0;
    } else {
      covered -= tokens[i].length;
      bits -= cost[i - from];
      fixedCount -= fixed(i) ? 1 : 0;
      out.push_back(tokens[i++]);
    }
  }
  tokens.swap(out);
}

// ---- lazy parse ----

void ParseLazy(const Context& cx, MatchFinder& mf, std::size_t begin, std::size_t end,
               unsigned indexWidth, std::uint32_t& lastIndex, unsigned chainDepth,
               std::vector<Token>& tokens) {
  struct Pick {
    std::uint32_t distance = 0, length = 0;
    TokenKind kind = kLiteral;
    int gain = 0;  // bits saved against one-byte codes
  };
  auto bestAt = [&](std::size_t p, std::uint32_t last) {
    Pick pick;
    std::size_t limit = end - p;
    std::uint32_t oneByte = 9;
    auto consider = [&](std::uint32_t distance, std::uint32_t length) {
      TokenKind kind;
      std::uint32_t cost = MatchBits(distance, length, indexWidth, last, &kind);
      if (cost >= kInfinite) return;
      int gain = int(length * oneByte) - int(cost);
      if (gain > pick.gain) pick = Pick{distance, length, kind, gain};
    };
    if (last <= p && last <= mf.Reach() && limit >= 2) {
      std::size_t n = mf.MatchLength(p, last, limit);
      if (n >= 2) consider(last, std::uint32_t(n));
    }
    mf.Find(p, limit, chainDepth, 64, [&](std::uint32_t d, std::uint32_t n) {
      consider(d, n);
      if (d < 0x80 && n > 5) consider(d, 5);
    });
    return pick;
  };

  const std::size_t first = tokens.size();
  std::size_t p = begin;
  Pick cur;
  bool haveCur = false;
  while (p < end) {
    if (!haveCur) cur = bestAt(p, lastIndex);
    mf.Insert(p);
    haveCur = false;
    if (cur.gain > 0 && p + 1 < end) {
      Pick next = bestAt(p + 1, lastIndex);
      if (next.gain > cur.gain + 9) {
        std::uint32_t bits;
        tokens.push_back(cx.OneByte(p, &bits));
        ++p;
        cur = next;
        haveCur = true;
        continue;
      }
    }
    if (cur.gain <= 0) {
      std::uint32_t bits;
      tokens.push_back(cx.OneByte(p, &bits));
      ++p;
      continue;
    }
    tokens.push_back(Token{cur.kind, cur.distance, cur.length});
    if (cur.kind != kRepeat) lastIndex = cur.distance;
    for (std::size_t i = 1; i < cur.length; ++i) mf.Insert(p + i);
    p += cur.length;
  }
  UseRawRuns(tokens, first, cx.modes, begin, indexWidth);
}

// ---- optimal parse ----
//
// Forward arrivals: for every position the cheapest ways found to reach it,
// each with the last index it leaves behind, so that repeat matches are
// priced exactly. Matches are cut at the chunk's end.

constexpr int kArrivals = 3;
// Chain depth and nice length of the optimal parse: deeper chains gain little
// on large inputs (chain walks are cache misses) and cost time linearly.
constexpr unsigned kBestChain = 24;
constexpr std::uint32_t kNiceLength = 128;

struct Arrival {
  std::uint32_t cost = kInfinite;
  std::uint32_t lastIndex = 0;
  std::uint32_t from = 0;      // position of the token's start
  std::uint8_t fromSlot = 0;   // arrival slot at that position
  Token token{kLiteral, 0, 0};
};

template <typename Finder>
void ParseOptimal(const Context& cx, Finder& mf, std::size_t begin, std::size_t end,
                  unsigned indexWidth, std::uint32_t& lastIndex, std::vector<Token>& tokens) {
  const std::size_t n = end - begin;
  std::vector<Arrival> arr((n + 1) * kArrivals);
  auto at = [&](std::size_t p, int slot) -> Arrival& { return arr[(p - begin) * kArrivals + slot]; };
  auto offer = [&](std::size_t p, std::uint32_t cost, std::uint32_t last, std::size_t from, int fromSlot,
                   Token t) {
    // An empty slot has last index 0, which no arrival has (distances are
    // at least 1, the unknown index is all ones).
    Arrival* slots = &at(p, 0);
    int worst = 0;
    for (int i = 0; i < kArrivals; ++i) {
      if (slots[i].lastIndex == last) {
        if (cost < slots[i].cost) slots[i] = Arrival{cost, last, std::uint32_t(from), std::uint8_t(fromSlot), t};
        return;
      }
      if (slots[i].cost > slots[worst].cost) worst = i;
    }
    if (cost < slots[worst].cost)
      slots[worst] = Arrival{cost, last, std::uint32_t(from), std::uint8_t(fromSlot), t};
  };
  at(begin, 0) = Arrival{0, lastIndex, 0, 0, Token{kLiteral, 0, 0}};

  struct Candidate {
    std::uint32_t distance, length;
  };
  std::vector<Candidate> found;
  for (std::size_t p = begin; p < end; ++p) {
    const std::size_t limit = end - p;
    found.clear();
    mf.Find(p, limit, kBestChain, kNiceLength,
            [&](std::uint32_t d, std::uint32_t len) { found.push_back({d, len}); });
    // A match of nice length or more is only priced whole and then taken.
    const bool takeWhole = !found.empty() && found.back().length >= kNiceLength;
    mf.Insert(p);

    std::uint32_t oneBits;
    Token one = cx.OneByte(p, &oneBits);
    int bestSlot = -1;
    for (int s = 0; s < kArrivals; ++s) {
      const Arrival& a = at(p, s);
      if (a.cost >= kInfinite) continue;
      if (bestSlot < 0 || a.cost < at(p, bestSlot).cost) bestSlot = s;
      offer(p + 1, a.cost + oneBits, a.lastIndex, p, s, one);
      if (limit >= 256) offer(p + 256, a.cost + kRawBits, a.lastIndex, p, s, Token{kRaw, 0, 256});
      // Repeat of this arrival's last index.
      if (a.lastIndex <= p && a.lastIndex <= mf.Reach()) {
        std::size_t rl = mf.MatchLength(p, a.lastIndex, limit);
        for (std::size_t len = rl >= kNiceLength ? rl : 2; len <= rl; ++len)
          offer(p + len, a.cost + RepeatBits(std::uint32_t(len)), a.lastIndex, p, s,
                Token{kRepeat, a.lastIndex, std::uint32_t(len)});
      }
    }
    // New distances leave the same state whatever the arrival, so only the
    // cheapest arrival can matter: lengths from the shortest usable up to
    // each candidate's.
    std::uint32_t longest = found.empty() ? 0 : found.back().length;
    if (bestSlot >= 0) {
      const std::uint32_t base = at(p, bestSlot).cost;
      std::uint32_t prevLen = 1;
      for (const Candidate& c : found) {
        const std::uint32_t distanceBits = base + LongDistanceBits(c.distance, indexWidth);
        const std::uint32_t bonus = LengthBonus(c.distance);
        for (std::uint32_t len = takeWhole ? c.length : prevLen + 1; len <= c.length; ++len) {
          if (c.distance < 0x80 && len <= 5)
            offer(p + len, base + kShortBits, c.distance, p, bestSlot, Token{kShort, c.distance, len});
          if (len >= bonus + 2)
            offer(p + len, distanceBits + GammaBits(len - bonus), c.distance, p, bestSlot, Token{kLong, c.distance, len});
        }
        prevLen = c.length;
      }
    }
    // Positions inside a whole-taken match are skipped.
    if (takeWhole) {
      for (std::size_t i = 1; i < longest; ++i) mf.Insert(p + i);
      // Only the arrivals at p + longest matter now; carry them forward.
      std::size_t q = p + longest;
      for (std::size_t r = p + 1; r < q; ++r)
        for (int s = 0; s < kArrivals; ++s) at(r, s) = Arrival{};
      p = q - 1;
    }
  }

  int bestSlot = 0;
  for (int s = 1; s < kArrivals; ++s)
    if (at(end, s).cost < at(end, bestSlot).cost) bestSlot = s;
  lastIndex = at(end, bestSlot).lastIndex;

  std::size_t startIndex = tokens.size();
  std::size_t p = end;
  int slot = bestSlot;
  while (p > begin) {
    const Arrival& a = at(p, slot);
    tokens.push_back(a.token);
    slot = a.fromSlot;
    p = a.from;
  }
  std::reverse(tokens.begin() + std::ptrdiff_t(startIndex), tokens.end());
}

// ---- emitter ----

// The gamma codes of 2 to 127: the bits (up to 12) above 4 bits of length.
struct GammaCodes {
  std::uint16_t codes[128];
  constexpr GammaCodes() : codes() {
    for (unsigned v = 2; v < 128; ++v) {
      unsigned top = 0;
      while ((v >> (top + 1)) != 0) ++top;
      unsigned pattern = 0;
      for (unsigned i = top; i-- > 0;) pattern = (pattern << 2) | (((v >> i) & 1u) << 1) | (i > 0 ? 1u : 0u);
      codes[v] = std::uint16_t((pattern << 4) | (2 * top));
    }
  }
};
constexpr GammaCodes kGammaCodes;

class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}
  void Put(std::uint32_t value, unsigned n) {  // n <= 32, value below 2^n
    acc_ = (acc_ << n) | value;
    used_ += n;
    if (used_ >= 32) {
      used_ -= 32;
      Word(std::uint32_t(acc_ >> used_));
    }
  }
  void Bit(unsigned b) { Put(b, 1); }
  void Gamma(std::uint64_t v) {  // v >= 2: (data, continue) pairs below the top bit
    if (v < 128) {
      const std::uint16_t code = kGammaCodes.codes[v];
      Put(code >> 4, code & 15u);
      return;
    }
    unsigned top = FloorLog2(v);
    while (top > 0) {
      const unsigned pairs = top < 16 ? top : 16;
      std::uint32_t pattern = 0;
      for (unsigned i = top; i-- > top - pairs;)
        pattern = (pattern << 2) | (std::uint32_t((v >> i) & 1u) << 1) | (i > 0 ? 1u : 0u);
      Put(pattern, 2 * pairs);
      top -= pairs;
    }
  }
  void Finish() {
    if (used_ != 0) Put(0, 32 - used_);
  }

 private:
  void Word(std::uint32_t w) {
    const std::uint8_t bytes[4] = {std::uint8_t(w), std::uint8_t(w >> 8), std::uint8_t(w >> 16),
                                   std::uint8_t(w >> 24)};
    out_.insert(out_.end(), bytes, bytes + 4);
  }
  std::vector<std::uint8_t>& out_;
  std::uint64_t acc_ = 0;
  unsigned used_ = 0;
};

struct Emitter {
  BitWriter& w;
  const LiteralMode* modes;      // of the whole input
  const std::uint8_t* data = nullptr;  // the input from position dataStart on
  std::size_t dataStart = 0;
  std::size_t pos = 0;
  LiteralMode mode{0, 0};
  unsigned indexWidth = kInitialIndexWidth;

  void Prefix(CodePrefix prefix) { w.Put(prefix.bits, prefix.length); }
  void SetMode(const LiteralMode& m) {
    Prefix(kNearPrefix);
    w.Put(0, kNearValueBits);
    w.Bit(0);
    w.Bit(m.width == 8 ? 1 : 0);
    if (m.width == 7) w.Put(m.offset, kLiteralOffsetBits);
    mode = m;
  }
  void SetIndexWidth(unsigned width) {  // up to 63
    const unsigned n = width < 16 ? 1 : width < 32 ? 2 : 3;
    Prefix(kShortPrefix);
    w.Put(0, kShortDistanceBits);
    w.Put(n, kShortCountBits);
    w.Put(width, n + kIndexWidthBase);
    indexWidth = width;
  }
  void Literal(std::uint8_t b) {
    const LiteralMode& want = modes[pos / kLiteralStretch];
    if (mode.width == 0 || !Encodable(mode, b)) SetMode(Encodable(want, b) ? want : LiteralMode{8, 0});
    else if (mode.width != want.width || mode.offset != want.offset) {
      if (Encodable(want, b)) SetMode(want);
    }
    Prefix(kLiteralPrefix);
    w.Put(std::uint8_t(b - mode.offset), mode.width);
  }
  void Raw(std::size_t runs) {
    Prefix(kNearPrefix);
    w.Put(0, kNearValueBits);
    w.Bit(1);
    for (std::size_t r = 0; r < runs; ++r) {
      const std::uint8_t* run = data + (pos - dataStart);
      for (std::size_t i = 0; i < kRawRunBytes; i += 4)
        w.Put(std::uint32_t(run[i]) << 24 | std::uint32_t(run[i + 1]) << 16 | std::uint32_t(run[i + 2]) << 8 | run[i + 3],
              32);
      pos += kRawRunBytes;
      w.Bit(r + 1 < runs ? 1 : 0);
    }
  }
  void Emit(const Token* t, std::size_t count) {
    for (std::size_t i = 0; i < count;) {
      const Token& k = t[i];
      if (k.kind == kRaw) {
        std::size_t runs = 1;
        while (i + runs < count && t[i + runs].kind == kRaw) ++runs;
        Raw(runs);
        i += runs;
        continue;
      }
      if (k.kind == kLiteral) {
        Literal(data[pos - dataStart]);
        ++pos;
        ++i;
        continue;
      }
      switch (k.kind) {
        case kZero:
          Prefix(kNearPrefix);
          w.Put(kNearZeroByte, kNearValueBits);
          break;
        case kNear:
          Prefix(kNearPrefix);
          w.Put(k.distance + 1, kNearValueBits);
          break;
        case kShort:
          Prefix(kShortPrefix);
          w.Put(k.distance, kShortDistanceBits);
          w.Put(k.length - kShortMinLength, kShortCountBits);
          break;
        case kRepeat:
          Prefix(kLongPrefix);
          w.Gamma(kRepeatGamma);
          w.Gamma(k.length);
          break;
        case kLong:
          Prefix(kLongPrefix);
          w.Gamma((std::uint64_t(k.distance) >> indexWidth) + kLongGammaBase);
          if (indexWidth > 0) w.Put(k.distance & ((1u << indexWidth) - 1), indexWidth);
          w.Gamma(k.length - LengthBonus(k.distance));
          break;
        case kLiteral:
        case kRaw:
          break;
      }
      pos += k.length;
      ++i;
    }
  }
};

// One stretch: positions [begin, end), parsed with a match finder that
// first takes in up to kStretchLookback bytes before it (so matches reach
// back across the boundary). Every stretch but the first starts with the
// last index unknown: its first match sends a distance, whatever the
// stretch before it ended with, so stretches do not depend on each other.
//
// A stretch is parsed in positions counted from the start of its input
// (InputBegin), so that it needs no more of the input than that: the parse
// only compares bytes and distances, and the input starts on a multiple of
// kLiteralStretch, so its literal modes line up too.
struct Stretch {
  std::size_t begin = 0, end = 0;
  std::vector<Token> tokens;
  std::vector<std::size_t> chunkEnds;  // token count at the end of each chunk
};

}  // namespace

struct BlockCompressor::State {
  const std::uint8_t* data_ = nullptr;  // the whole input, or null when it comes stretch by stretch
  std::size_t size_ = 0;
  int level_ = kBlockLevelFast;
  bool tooLarge_ = false;
  std::vector<std::unique_ptr<Stretch>> stretches_;
  // Taking the input, stretch by stretch in order: the literal modes (one a
  // kLiteralStretch), the checksum of the whole words and the last bytes.
  std::unique_ptr<LiteralMode[]> modes_;
  LiteralMode lastMode_{8, 0};
  std::size_t taken_ = 0;
  std::uint32_t sum_ = 0;
  std::uint32_t tail_ = 0;  // the last four bytes so far, little-endian
  // Writing, stretch by stretch in order.
  std::vector<std::uint8_t> out_;
  std::uint64_t outTaken_ = 0;  // bytes moved out by TakeOutput
  std::unique_ptr<BitWriter> bits_;
  std::unique_ptr<Emitter> emitter_;
  std::size_t written_ = 0;  // stretches written
  // Link tables of the match finders, kept for the next stretch: making and
  // clearing them anew for every stretch took longer than the parse.
  std::vector<std::unique_ptr<std::vector<std::uint32_t>>> spareLinks_;
  std::atomic_flag linksLock_ = ATOMIC_FLAG_INIT;

  std::unique_ptr<std::vector<std::uint32_t>> TakeLinks() {
    while (linksLock_.test_and_set(std::memory_order_acquire)) {
    }
    std::unique_ptr<std::vector<std::uint32_t>> links;
    if (!spareLinks_.empty()) {
      links = std::move(spareLinks_.back());
      spareLinks_.pop_back();
    }
    linksLock_.clear(std::memory_order_release);
    return links ? std::move(links) : std::make_unique<std::vector<std::uint32_t>>();
  }
  void ReturnLinks(std::unique_ptr<std::vector<std::uint32_t>> links) {
    while (linksLock_.test_and_set(std::memory_order_acquire)) {
    }
    spareLinks_.push_back(std::move(links));
    linksLock_.clear(std::memory_order_release);
  }

  void Start(std::uint64_t size, int level) {
    level_ = level;
    if ((size >> 32) != 0) {
      tooLarge_ = true;
      return;
    }
    size_ = std::size_t(size);
    const std::size_t count = size_ <= kBlockStretch ? 1 : (size_ + kBlockStretch - 1) / kBlockStretch;
    for (std::size_t k = 0; k < count; ++k) {
      auto stretch = std::make_unique<Stretch>();
      stretch->begin = k * kBlockStretch;
      stretch->end = std::min(size_, stretch->begin + kBlockStretch);
      if (count == 1) stretch->end = size_;
      stretches_.push_back(std::move(stretch));
    }
    modes_.reset(new LiteralMode[(size_ + kLiteralStretch - 1) / kLiteralStretch + 1]);
  }
  // Matches reach at most this far back: within the installer's window for
  // entries larger than it, so that it never reads back from the file.
  std::size_t Reach() const { return size_ > kBlockWindowSize ? kBlockWindowReach : size_; }
  std::size_t Lookback(std::size_t k) const {
    const std::size_t begin = k * kBlockStretch;
    return std::min({begin, Reach(), kStretchLookback});
  }
  std::size_t InputBegin(std::size_t k) const { return k * kBlockStretch - Lookback(k); }
  std::size_t InputEnd(std::size_t k) const {
    const std::size_t end = stretches_[k]->end;
    return size_ - end < kBlockStretchLookahead ? size_ : end + kBlockStretchLookahead;
  }
  std::uint32_t Checksum() const {
    if (size_ < 4) return 0;
    return size_ % 4 != 0 ? ChecksumStep(sum_, tail_) : sum_;  // the last word overlaps the one before
  }
  std::array<std::uint8_t, kBlockHeaderSize> Header() const {
    std::array<std::uint8_t, kBlockHeaderSize> header{};
    header[0] = kBlockMagic[0];
    header[1] = kBlockMagic[1];
    StoreLe32(header.data() + kBlockSizeOffset, std::uint32_t(size_));
    StoreLe32(header.data() + kBlockChecksumOffset, taken_ == stretches_.size() ? Checksum() : 0);
    return header;
  }
};

BlockCompressor::BlockCompressor(const std::uint8_t* data, std::size_t size, int level) : state_(new State) {
  State& s = *state_;
  s.Start(data == nullptr ? 0 : std::uint64_t(size), level);
  if (s.tooLarge_) return;
  s.data_ = data;
  for (std::size_t k = 0; k < s.stretches_.size(); ++k) TakeInput(k, data + s.InputBegin(k));
}

BlockCompressor::BlockCompressor(std::uint64_t size, int level) : state_(new State) { state_->Start(size, level); }

BlockCompressor::~BlockCompressor() = default;

std::size_t BlockCompressor::StretchCount() const { return state_->stretches_.size(); }

std::uint64_t BlockCompressor::InputBegin(std::size_t k) const {
  return k < state_->stretches_.size() ? state_->InputBegin(k) : 0;
}

std::uint64_t BlockCompressor::InputEnd(std::size_t k) const {
  return k < state_->stretches_.size() ? state_->InputEnd(k) : 0;
}

void BlockCompressor::TakeInput(std::size_t k, const std::uint8_t* input) {
  State& s = *state_;
  if (s.tooLarge_ || k != s.taken_ || k >= s.stretches_.size() || (input == nullptr && s.size_ != 0)) return;
  const Stretch& st = *s.stretches_[k];
  const std::uint8_t* own = input + (st.begin - s.InputBegin(k));
  const std::size_t n = st.end - st.begin;
  PlanLiteralModes(own, n, s.lastMode_, s.modes_.get() + st.begin / kLiteralStretch);
  // Every stretch but the last holds whole words.
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) s.sum_ = ChecksumStep(s.sum_, LoadLe32(own + i));
  for (std::size_t j = n < 4 ? 0 : n - 4; j < n; ++j) s.tail_ = (s.tail_ >> 8) | (std::uint32_t(own[j]) << 24);
  ++s.taken_;
}

void BlockCompressor::ParseStretch(std::size_t k, const std::uint8_t* input) {
  State& s = *state_;
  if (s.tooLarge_ || k >= s.stretches_.size() || k >= s.taken_ || s.size_ == 0) return;
  if (input == nullptr) input = s.data_ == nullptr ? nullptr : s.data_ + s.InputBegin(k);
  if (input == nullptr) return;
  Stretch& st = *s.stretches_[k];
  // Positions from the input's start.
  const std::size_t from = s.InputBegin(k);
  const std::size_t begin = st.begin - from, end = st.end - from, size = s.InputEnd(k) - from;
  const std::size_t reach = s.Reach();
  Context cx{input, s.modes_.get() + from / kLiteralStretch};
  std::uint32_t lastIndex = k == 0 ? kInitialLastIndex : kUnknownIndex;
  unsigned width = kInitialIndexWidth;
  const unsigned chainDepth = s.level_ <= 1 ? 8 : unsigned(8 + 8 * std::min(s.level_, 8));
  std::vector<Token> tokens;
  std::vector<std::uint32_t> distances;
  auto parse = [&](auto& mf, auto&& parseChunk) {
    for (std::size_t p = 0; p < begin; ++p) mf.Insert(p);
    for (std::size_t chunk = begin; chunk < end; chunk += kParseChunk) {
      const std::size_t chunkEnd = std::min(end, chunk + kParseChunk);
      tokens.clear();
      parseChunk(mf, chunk, chunkEnd);
      st.tokens.insert(st.tokens.end(), tokens.begin(), tokens.end());
      st.chunkEnds.push_back(st.tokens.size());
      // The emitter will send the width that suits this chunk; the next
      // chunk is parsed with it.
      distances.clear();
      for (const Token& t : tokens)
        if (t.kind == kLong) distances.push_back(t.distance);
      width = ChooseIndexWidth(distances, width);
    }
  };
  std::unique_ptr<std::vector<std::uint32_t>> links = s.TakeLinks();
  if (s.level_ >= kBlockLevelBest) {
    TreeFinder mf(input, 0, end, size, reach, kNiceLength, *links);
    parse(mf, [&](TreeFinder& f, std::size_t chunk, std::size_t chunkEnd) {
      ParseOptimal(cx, f, chunk, chunkEnd, width, lastIndex, tokens);
    });
  } else {
    MatchFinder mf(input, 0, end, size, reach, *links);
    parse(mf, [&](MatchFinder& f, std::size_t chunk, std::size_t chunkEnd) {
      ParseLazy(cx, f, chunk, chunkEnd, width, lastIndex, chainDepth, tokens);
    });
  }
  s.ReturnLinks(std::move(links));
}

void BlockCompressor::WriteStretch(std::size_t k, const std::uint8_t* input) {
  State& s = *state_;
  if (s.tooLarge_ || k != s.written_ || k >= s.stretches_.size()) return;
  if (input == nullptr) input = s.data_ == nullptr ? nullptr : s.data_ + s.InputBegin(k);
  if (input == nullptr && s.size_ != 0) return;
  if (!s.emitter_) {
    // The checksum goes in once the whole input was taken (Finish, Header).
    const std::array<std::uint8_t, kBlockHeaderSize> header = s.Header();
    s.out_.assign(header.begin(), header.end());
    StoreLe32(s.out_.data() + kBlockChecksumOffset, 0);
    if (s.data_ != nullptr) s.out_.reserve(kBlockHeaderSize + s.size_ / 2 + 64);
    s.bits_ = std::make_unique<BitWriter>(s.out_);
    s.emitter_ = std::make_unique<Emitter>(Emitter{*s.bits_, s.modes_.get()});
    // A width code first, so that the stream is complete even without literals.
    s.emitter_->SetMode(s.size_ == 0 ? LiteralMode{8, 0} : s.modes_[0]);
  }
  Emitter& em = *s.emitter_;
  em.data = input;
  em.dataStart = s.InputBegin(k);
  std::unique_ptr<Stretch>& stretch = s.stretches_[k];
  std::vector<std::uint32_t> distances;
  std::size_t from = 0;
  for (std::size_t chunkEnd : stretch->chunkEnds) {
    // The index width that suits this chunk's distances best, sent ahead
    // of it when that pays for the code.
    distances.clear();
    for (std::size_t i = from; i < chunkEnd; ++i)
      if (stretch->tokens[i].kind == kLong) distances.push_back(stretch->tokens[i].distance);
    const unsigned width = ChooseIndexWidth(distances, em.indexWidth);
    if (width != em.indexWidth) em.SetIndexWidth(width);
    em.Emit(stretch->tokens.data() + from, chunkEnd - from);
    from = chunkEnd;
  }
  stretch.reset();  // its tokens are written
  em.data = nullptr;
  ++s.written_;
}

void BlockCompressor::TakeOutput(std::vector<std::uint8_t>& out) {
  State& s = *state_;
  out.insert(out.end(), s.out_.begin(), s.out_.end());
  s.outTaken_ += s.out_.size();
  s.out_.clear();
}

std::array<std::uint8_t, kBlockHeaderSize> BlockCompressor::Header() const { return state_->Header(); }

std::vector<std::uint8_t> BlockCompressor::Finish() {
  State& s = *state_;
  if (s.tooLarge_) return {};  // the header holds a 32-bit size
  while (s.written_ < s.stretches_.size()) WriteStretch(s.written_);
  if (!s.emitter_) return {};  // the input was not given
  BitWriter& bw = *s.bits_;
  // End code: a short match of distance 0 and count 0.
  bw.Put(kShortPrefix.bits, kShortPrefix.length);
  bw.Put(0, kShortDistanceBits);
  bw.Put(0, kShortCountBits);
  bw.Finish();
  s.emitter_.reset();
  s.bits_.reset();
  if (s.outTaken_ == 0) {
    const std::array<std::uint8_t, kBlockHeaderSize> header = s.Header();
    std::copy(header.begin(), header.end(), s.out_.begin());
  }
  // A block exactly as long as its data would be taken for the data stored
  // as it is: one byte more after the end code, which decoders ignore.
  if (s.size_ > 0 && s.outTaken_ + s.out_.size() == s.size_) s.out_.push_back(0);
  return std::move(s.out_);
}

std::vector<std::uint8_t> CompressBlock(const std::uint8_t* data, std::size_t size, int level) {
  BlockCompressor compressor(data, size, level);
  for (std::size_t k = 0; k < compressor.StretchCount(); ++k) {
    compressor.ParseStretch(k);
    compressor.WriteStretch(k);
  }
  return compressor.Finish();
}

}  // namespace brindorel

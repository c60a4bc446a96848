// Block encoder: the builder's side of the block format (see block_decoder.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "package/block_format.h"

namespace brindorel {

enum BlockLevel : int {
  kBlockLevelFast = 1,  // hash chains with lazy matching
  kBlockLevelBest = 9,  // optimal parse
};

// Compresses `size` bytes into one block with its checksum set. The result
// always decodes with DecompressBlock to exactly the input, and is the same
// for the same input and level. Levels 9 and above use the optimal parse;
// levels below 9 use the lazy parse, searching deeper from 2 to 8 (1 and
// below are the fastest). Empty input gives a valid block of no bytes; input
// of 4 GiB or more does not fit the header's size and gives an empty result.
std::vector<std::uint8_t> CompressBlock(const std::uint8_t* data, std::size_t size, int level);

// Inputs above kBlockStretch bytes are parsed in stretches of that size that
// do not depend on each other (each starts without a last index, and its
// matches reach back at most kBlockStretch bytes before it): a builder may
// parse them on several threads. CompressBlock parses them in turn; the
// block is the same either way.
constexpr std::size_t kBlockStretch = std::size_t(8) << 20;
// The parse of a stretch looks at up to this many bytes behind its end.
constexpr std::size_t kBlockStretchLookahead = 256;

class BlockCompressor {
 public:
  // The whole input in memory: `data` must stay unchanged until Finish.
  BlockCompressor(const std::uint8_t* data, std::size_t size, int level);
  // An input of `size` bytes given stretch by stretch (TakeInput), so that
  // only the stretches being worked on need to be in memory.
  BlockCompressor(std::uint64_t size, int level);
  ~BlockCompressor();
  BlockCompressor(const BlockCompressor&) = delete;
  BlockCompressor& operator=(const BlockCompressor&) = delete;

  std::size_t StretchCount() const;
  // The input bytes [InputBegin(k), InputEnd(k)) that stretch k is parsed
  // and written from: its own, those before it that its matches may reach
  // (up to kBlockStretch) and kBlockStretchLookahead behind it.
  std::uint64_t InputBegin(std::size_t k) const;
  std::uint64_t InputEnd(std::size_t k) const;
  // For an input given stretch by stretch: takes the input of stretch k
  // (`input` holds [InputBegin(k), InputEnd(k))), for k = 0, 1, ... in
  // order, each before ParseStretch(k). (The whole-input form takes all of
  // it at once.)
  void TakeInput(std::size_t k, const std::uint8_t* input);
  // Parses stretch k; calls for different k may run at the same time.
  // `input` as for TakeInput; null with the whole input in memory.
  void ParseStretch(std::size_t k, const std::uint8_t* input = nullptr);
  // Writes stretch k into the block and frees its parse: k = 0, 1, ... in
  // order, each after its ParseStretch, one call at a time. Writing early
  // keeps only the parses not yet written in memory. `input` as above.
  void WriteStretch(std::size_t k, const std::uint8_t* input = nullptr);
  // Moves the bytes of the block written so far to the end of `out`, so
  // that a large block need not be held whole. They begin with the header,
  // whose checksum field stays 0 there: Header() has the real one once
  // every stretch's input was taken.
  void TakeOutput(std::vector<std::uint8_t>& out);
  std::array<std::uint8_t, kBlockHeaderSize> Header() const;
  // The rest of the block (as CompressBlock gives it, less what TakeOutput
  // took), once every stretch was parsed; writes those not written yet.
  std::vector<std::uint8_t> Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace brindorel

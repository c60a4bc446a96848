// Block encoder: the builder's side of the block format (see block_decoder.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

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

class BlockCompressor {
 public:
  // `data` must stay unchanged until Finish.
  BlockCompressor(const std::uint8_t* data, std::size_t size, int level);
  ~BlockCompressor();
  BlockCompressor(const BlockCompressor&) = delete;
  BlockCompressor& operator=(const BlockCompressor&) = delete;

  std::size_t StretchCount() const;
  // Parses stretch k; calls for different k may run at the same time.
  void ParseStretch(std::size_t k);
  // Writes stretch k into the block and frees its parse: k = 0, 1, ... in
  // order, each after its ParseStretch, one call at a time. Writing early
  // keeps only the parses not yet written in memory.
  void WriteStretch(std::size_t k);
  // The block (as CompressBlock gives it), once every stretch was parsed;
  // writes those not written yet.
  std::vector<std::uint8_t> Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace brindorel

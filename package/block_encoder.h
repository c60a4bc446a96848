// Block encoder: the builder's side of the block format (see block_decoder.h).
#pragma once

#include <cstddef>
#include <cstdint>
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

}  // namespace brindorel

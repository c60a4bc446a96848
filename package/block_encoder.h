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
// for the same input and level.
std::vector<std::uint8_t> CompressBlock(const std::uint8_t* data, std::size_t size, int level);

}  // namespace brindorel

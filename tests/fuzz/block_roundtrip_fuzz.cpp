// Compresses arbitrary bytes at each level; every block must decode to the
// input exactly, and compressing again must give the same block.
#include <cstdint>
#include <vector>

#include "package/block_decoder.h"
#include "package/block_encoder.h"

#include "tests/fuzz/fuzz_verdict.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (int level : {int(brindorel::kBlockLevelFast), 5, int(brindorel::kBlockLevelBest)}) {
    std::vector<std::uint8_t> block = brindorel::CompressBlock(data, size, level);
    if (brindorel::BlockDecodedSize(block.data(), block.size()) != size) __builtin_trap();
    std::vector<std::uint8_t> out(size + 8);
    std::size_t n = brindorel::DecompressBlock(block.data(), block.size(), out.data(), out.size());
    if (n != size) __builtin_trap();
    for (std::size_t i = 0; i < size; ++i)
      if (out[i] != data[i]) __builtin_trap();
    if (brindorel::CompressBlock(data, size, level) != block) __builtin_trap();
  }
  return 0;
}

// Any bytes are data to compress.
bool FuzzInputAccepted(const std::uint8_t*, std::size_t) { return true; }

// Decodes arbitrary bytes as a block. The first two input bytes choose the
// output capacity (little-endian, up to 64 KiB); the rest is the block.
#include <cstdint>
#include <vector>

#include "package/block_decoder.h"

#include "tests/fuzz/fuzz_verdict.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  std::size_t capacity = std::size_t(data[0]) | (std::size_t(data[1]) << 8);
  // An exact-size heap buffer, so that any write past capacity is caught.
  std::vector<std::uint8_t> out(capacity);
  std::vector<std::uint8_t> block(data + 2, data + size);
  std::size_t n = brindorel::DecompressBlock(block.data(), block.size(), out.data(), capacity);
  if (n > capacity) __builtin_trap();
  brindorel::BlockDecodedSize(block.data(), block.size());
  brindorel::BlockChecksum(out.data(), n);
  return 0;
}

// A block the decoder takes whole, into the capacity the input names.
bool FuzzInputAccepted(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return false;
  const std::size_t capacity = std::size_t(data[0]) | (std::size_t(data[1]) << 8);
  std::vector<std::uint8_t> out(capacity + 1);
  return brindorel::DecompressBlock(data + 2, size - 2, out.data(), capacity) != 0;
}

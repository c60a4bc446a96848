// The block stream against the whole-block decoder, stopped at random
// points. Input: four control bytes, then the block (or, when bit 0 of the
// fourth is set, data that is compressed first, so that sound blocks with
// every kind of match are streamed too). The first byte picks the window
// size, the next two seed the output limits and input pieces of the calls.
// The stream must finish exactly when DecompressBlock gives the announced
// size, with the same bytes, and never ask for history not handed out.
#include <cstdint>
#include <vector>

#include "package/block_decoder.h"
#include "package/block_encoder.h"
#include "tests/host/stream_decode.h"

#include "tests/fuzz/fuzz_verdict.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  static const std::size_t kWindows[] = {1, 2, 7, 16, 64, 65, 100, 257, 1024, 4096, 65536};
  const std::size_t window = kWindows[data[0] % (sizeof kWindows / sizeof kWindows[0])];
  std::uint32_t outSeed = data[1] * 2654435761u + 1;
  std::uint32_t inSeed = data[2] * 2246822519u + 7;
  std::vector<std::uint8_t> block;
  if (data[3] & 1u) {
    block = brindorel::CompressBlock(data + 4, size - 4, data[3] & 2u ? brindorel::kBlockLevelBest
                                                                      : brindorel::kBlockLevelFast);
  } else {
    block.assign(data + 4, data + size);
  }
  const std::uint32_t announced = brindorel::BlockDecodedSize(block.data(), block.size());
  // Keeps runs short (a window of a few bytes makes a call for every few
  // bytes); sizes are not the point here.
  if (announced > (window < 64 ? (1u << 16) : (1u << 20))) return 0;
  auto next = [](std::uint32_t& s) { return s = s * 1103515245u + 12345u, s >> 16; };
  brindorel::StreamDecoding d = brindorel::DecodeStreamed(
      block, window, [&](std::size_t) { return std::size_t(1 + next(outSeed) % 300); },
      [&](std::size_t) { return std::size_t(1 + next(inSeed) % 200); });
  if (d.readBeyondOutput) __builtin_trap();

  std::vector<std::uint8_t> out(announced);
  const std::size_t n = brindorel::DecompressBlock(block.data(), block.size(), out.data(), out.size());
  if (announced != 0 && d.finished != (n == announced)) __builtin_trap();
  if (d.finished && (d.out.size() != announced || d.out != out)) __builtin_trap();
  if ((data[3] & 1u) && !d.finished) __builtin_trap();  // our own blocks always stream
  return 0;
}

// A block (given, or made from the input) that the one-pass decoder takes whole.
bool FuzzInputAccepted(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return false;
  if (data[3] & 1u) return true;  // our own blocks always decode
  const std::uint32_t announced = brindorel::BlockDecodedSize(data + 4, size - 4);
  if (announced == 0 || announced > (1u << 20)) return false;
  std::vector<std::uint8_t> out(announced);
  return brindorel::DecompressBlock(data + 4, size - 4, out.data(), out.size()) == announced;
}

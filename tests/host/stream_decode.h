// Test helper: drives the block stream over a whole block held in memory, as
// the extractor drives it over a file: input handed over in pieces, output
// taken after every call and appended to `out`, far history read back from
// `out`. The pieces and stops come from callbacks so that tests and fuzz
// targets can stop it anywhere.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "package/block_decoder.h"

namespace brindorel {

struct StreamDecoding {
  bool finished = false;            // the stream finished (exact size, checksum right)
  std::vector<std::uint8_t> out;    // everything handed out
  bool readBeyondOutput = false;    // the history reader was asked for bytes not handed out
  std::size_t historyReads = 0;
  std::size_t calls = 0;
};

// maxOutput(call) gives each call's output limit; inputStep(call) how many
// more input bytes to hand over when the decoder asks for input.
inline StreamDecoding DecodeStreamed(const std::vector<std::uint8_t>& block, std::size_t windowSize,
                                     const std::function<std::size_t(std::size_t)>& maxOutput,
                                     const std::function<std::size_t(std::size_t)>& inputStep) {
  StreamDecoding d;
  std::vector<std::uint8_t> window(windowSize);
  BlockStream stream;
  auto read = [](void* context, std::uint64_t position, std::uint8_t* to, std::size_t size) {
    auto* self = static_cast<StreamDecoding*>(context);
    ++self->historyReads;
    if (position > self->out.size() || size > self->out.size() - position) {
      self->readBeyondOutput = true;
      return false;
    }
    for (std::size_t i = 0; i < size; ++i) to[i] = self->out[std::size_t(position) + i];
    return true;
  };
  if (!BeginBlockStream(stream, block.data(), block.size(), window.data(), window.size(), read, &d)) return d;
  const std::size_t streamSize = block.size() - kBlockHeaderSize;
  const std::uint8_t* const input = block.data() + kBlockHeaderSize;
  std::size_t used = 0;
  std::size_t given = 0;
  for (std::size_t call = 0; call < 100000000; ++call) {
    d.calls = call + 1;
    const std::size_t limit = maxOutput(call);
    BlockStreamResult r = DecodeBlockStream(stream, input + used, given - used, given == streamSize, limit);
    if (r.outputSize > limit || r.inputUsed > given - used) return d;  // the caller's limits broken
    d.out.insert(d.out.end(), window.begin() + std::ptrdiff_t(r.outputOffset),
                 window.begin() + std::ptrdiff_t(r.outputOffset + r.outputSize));
    used += r.inputUsed;
    switch (r.status) {
      case BlockStreamStatus::kFinished:
        d.finished = true;
        return d;
      case BlockStreamStatus::kFailed:
        return d;
      case BlockStreamStatus::kNeedsInput: {
        if (given == streamSize) return d;  // must not ask once the input ends
        std::size_t step = inputStep(call);
        if (step == 0) step = 1;
        given = streamSize - given < step ? streamSize : given + step;
        break;
      }
      case BlockStreamStatus::kOutputFull:
        break;
    }
  }
  return d;
}

// The whole block at once, a 64 KiB window, no limits.
inline StreamDecoding DecodeStreamed(const std::vector<std::uint8_t>& block, std::size_t windowSize = 65536) {
  return DecodeStreamed(
      block, windowSize, [](std::size_t) { return ~std::size_t(0); }, [&](std::size_t) { return block.size(); });
}

}  // namespace brindorel

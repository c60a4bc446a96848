// Parallel block compression for the builder: a list of inputs compressed on
// several threads. Each result is exactly the block CompressBlock gives for
// its input, whatever the number of threads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "package/block_format.h"

namespace brindorel::pack {

struct CompressInput {
  const std::uint8_t* data;  // must stay unchanged during the call
  std::size_t size;
};

// Compresses every input at `level` on `threads` threads (0: one for each
// processor). An input larger than kBlockStretch is parsed in its stretches,
// which run on the threads like inputs of their own, so one large entry does
// not hold up the others. results[i] == CompressBlock(inputs[i].data,
// inputs[i].size, level); an empty result means what it means there.
std::vector<std::vector<std::uint8_t>> CompressBlocks(const std::vector<CompressInput>& inputs, int level,
                                                      unsigned threads);

// Parsing a stretch of kBlockStretch bytes takes its input with the bytes
// before it that its matches may reach, and match-finder links for each of
// them (more at the best level): about 128 MiB at the fast level and 192 MiB
// at the best. The builder keeps the parses running at once within this
// budget, whatever the number of processors.
constexpr std::uint64_t kParseMemoryBudget = std::uint64_t(640) << 20;

// How many parses of inputs up to `largestInput` bytes fit the budget at
// `level`: at most `threads` (0: one for each processor), at least 1.
unsigned ParallelParses(int level, unsigned threads, std::uint64_t largestInput);

// A block made by CompressStreamed.
struct StreamedBlock {
  // The block's header: to be written over the first kBlockHeaderSize
  // bytes given out, which carry a checksum of 0 (it is known only at the end).
  std::array<std::uint8_t, kBlockHeaderSize> header{};
  std::uint64_t size = 0;         // bytes given out
  std::uint64_t contentHash = 0;  // content hash of the input
};

// Reads `size` bytes of the input at `position`; false when it cannot.
using InputReader = std::function<bool(std::uint64_t position, std::uint8_t* out, std::size_t size)>;
// Takes the next bytes of the block; false stops the compression.
using BlockWriter = std::function<bool(const std::uint8_t* data, std::size_t size)>;

// Compresses an input of `size` bytes into one block in bounded memory: the
// input is read stretch by stretch, ParallelParses of them at a time, parsed
// on up to `threads` threads, and the block is given to `write` as it is
// made. With the header put in at the end, the bytes are exactly
// CompressBlock's block of the same input. False when reading or writing
// failed, or the input does not fit a block (4 GiB and more).
bool CompressStreamed(std::uint64_t size, int level, unsigned threads, const InputReader& read,
                      const BlockWriter& write, StreamedBlock& result);

// The number of processors the system reports (at least 1).
unsigned ProcessorCount();

// Runs work(context) on `count` threads at once, the calling thread being
// one of them, and returns when all have returned.
void RunOnThreads(unsigned count, void (*work)(void*), void* context);

}  // namespace brindorel::pack

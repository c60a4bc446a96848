// Parallel block compression for the builder: a list of inputs compressed on
// several threads. Each result is exactly the block CompressBlock gives for
// its input, whatever the number of threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

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

// The number of processors the system reports (at least 1).
unsigned ProcessorCount();

// Runs work(context) on `count` threads at once, the calling thread being
// one of them, and returns when all have returned.
void RunOnThreads(unsigned count, void (*work)(void*), void* context);

}  // namespace brindorel::pack

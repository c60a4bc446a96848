#include "tools/pack/pack_compress.h"

#include <algorithm>
#include <atomic>
#include <memory>

#include "package/block_encoder.h"

namespace brindorel::pack {
namespace {

struct Unit {
  std::size_t input;
  std::size_t stretch;
  std::size_t size;  // bytes to parse, for ordering
};

struct Job {
  const std::vector<CompressInput>* inputs;
  std::vector<std::unique_ptr<BlockCompressor>> compressors;
  std::vector<std::atomic<std::size_t>> stretchesLeft;
  std::vector<Unit> units;  // largest first, so the tail of the work is small pieces
  std::atomic<std::size_t> next{0};
  std::vector<std::vector<std::uint8_t>>* results;

  explicit Job(std::size_t count) : stretchesLeft(count) {}
};

// Takes units until none is left; whoever parses an input's last stretch
// writes its block.
void Work(void* context) {
  Job& job = *static_cast<Job*>(context);
  for (;;) {
    const std::size_t i = job.next.fetch_add(1);
    if (i >= job.units.size()) return;
    const Unit& unit = job.units[i];
    BlockCompressor& compressor = *job.compressors[unit.input];
    compressor.ParseStretch(unit.stretch);
    if (job.stretchesLeft[unit.input].fetch_sub(1) == 1) {
      (*job.results)[unit.input] = compressor.Finish();
      job.compressors[unit.input].reset();
    }
  }
}

}  // namespace

std::vector<std::vector<std::uint8_t>> CompressBlocks(const std::vector<CompressInput>& inputs, int level,
                                                      unsigned threads) {
  std::vector<std::vector<std::uint8_t>> results(inputs.size());
  Job job(inputs.size());
  job.inputs = &inputs;
  job.results = &results;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    job.compressors.push_back(std::make_unique<BlockCompressor>(inputs[i].data, inputs[i].size, level));
    const std::size_t stretches = job.compressors.back()->StretchCount();
    job.stretchesLeft[i].store(stretches);
    for (std::size_t k = 0; k < stretches; ++k) {
      const std::size_t begin = k * kBlockStretch;
      const std::size_t size = stretches == 1 ? inputs[i].size : std::min(kBlockStretch, inputs[i].size - begin);
      job.units.push_back(Unit{i, k, size});
    }
  }
  // Largest first; ties in input order, so the schedule is the same every run
  // (the blocks are the same whatever the schedule).
  std::stable_sort(job.units.begin(), job.units.end(), [](const Unit& a, const Unit& b) { return a.size > b.size; });
  if (threads == 0) threads = ProcessorCount();
  threads = unsigned(std::min<std::size_t>(threads, std::max<std::size_t>(job.units.size(), 1)));
  RunOnThreads(threads, Work, &job);
  return results;
}

}  // namespace brindorel::pack

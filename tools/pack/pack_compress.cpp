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

// One input: its stretches are written in order as soon as they are parsed,
// by whichever thread gets there (one at a time), so that parses do not pile
// up in memory.
struct InputState {
  std::unique_ptr<BlockCompressor> compressor;
  std::unique_ptr<std::atomic<bool>[]> parsed;
  std::size_t stretches = 0;
  std::size_t written = 0;           // touched only by the writing thread
  std::atomic<bool> writing{false};
  std::atomic<std::size_t> left{0};  // stretches not yet parsed
};

struct Job {
  std::vector<InputState> states;
  std::vector<Unit> units;  // largest first, so the tail of the work is small pieces
  std::atomic<std::size_t> next{0};
  std::vector<std::vector<std::uint8_t>>* results;

  explicit Job(std::size_t count) : states(count) {}
};

// Writes the parsed stretches that are next in line. A thread that finds
// another one writing leaves; that one looks again before it leaves.
void WriteReady(InputState& in) {
  for (;;) {
    if (in.writing.exchange(true)) return;
    while (in.written < in.stretches && in.parsed[in.written].load()) in.compressor->WriteStretch(in.written++);
    in.writing.store(false);
    if (!(in.written < in.stretches && in.parsed[in.written].load())) return;
  }
}

// Takes units until none is left; whoever parses an input's last stretch
// finishes its block.
void Work(void* context) {
  Job& job = *static_cast<Job*>(context);
  for (;;) {
    const std::size_t i = job.next.fetch_add(1);
    if (i >= job.units.size()) return;
    const Unit& unit = job.units[i];
    InputState& in = job.states[unit.input];
    in.compressor->ParseStretch(unit.stretch);
    in.parsed[unit.stretch].store(true);
    WriteReady(in);
    if (in.left.fetch_sub(1) == 1) {
      // Every stretch is parsed; a writer may still be busy: Finish writes
      // what is left once it is done.
      while (in.writing.exchange(true)) {
      }
      (*job.results)[unit.input] = in.compressor->Finish();
      in.compressor.reset();
    }
  }
}

}  // namespace

std::vector<std::vector<std::uint8_t>> CompressBlocks(const std::vector<CompressInput>& inputs, int level,
                                                      unsigned threads) {
  std::vector<std::vector<std::uint8_t>> results(inputs.size());
  Job job(inputs.size());
  job.results = &results;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    InputState& in = job.states[i];
    in.compressor = std::make_unique<BlockCompressor>(inputs[i].data, inputs[i].size, level);
    const std::size_t stretches = in.compressor->StretchCount();
    in.stretches = stretches;
    in.parsed.reset(new std::atomic<bool>[stretches == 0 ? 1 : stretches]);
    for (std::size_t k = 0; k < stretches; ++k) in.parsed[k].store(false);
    in.left.store(stretches);
    if (stretches == 0) results[i] = in.compressor->Finish();  // too large for a block: what CompressBlock gives
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

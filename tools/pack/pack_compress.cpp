#include "tools/pack/pack_compress.h"

#include <algorithm>
#include <atomic>
#include <memory>

#include "package/block_encoder.h"
#include "package/content_hash.h"

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

namespace {

// Rough memory of one parse of `span` input bytes (lookback included).
std::uint64_t ParseMemory(int level, std::uint64_t span) {
  const std::uint64_t links = level >= kBlockLevelBest ? 8 : 4;  // tree or chain links, per position
  const std::uint64_t tokens = 6;                                // parsed tokens, per position (typical)
  return span * (1 + links + tokens) + (std::uint64_t(4) << 20);
}

struct RoundJob {
  BlockCompressor* compressor;
  std::size_t first;
  std::size_t count;
  std::vector<std::vector<std::uint8_t>>* inputs;
  std::atomic<std::size_t> next{0};
};

void ParseRound(void* context) {
  RoundJob& job = *static_cast<RoundJob*>(context);
  for (;;) {
    const std::size_t j = job.next.fetch_add(1);
    if (j >= job.count) return;
    job.compressor->ParseStretch(job.first + j, (*job.inputs)[j].data());
  }
}

}  // namespace

unsigned ParallelParses(int level, unsigned threads, std::uint64_t largestInput) {
  if (threads == 0) threads = ProcessorCount();
  const std::uint64_t stretch = kBlockStretch;
  const std::uint64_t span = largestInput < 2 * stretch ? largestInput : 2 * stretch;
  const std::uint64_t fit = kParseMemoryBudget / ParseMemory(level, span);
  return unsigned(std::max<std::uint64_t>(1, std::min<std::uint64_t>(fit, threads)));
}

bool CompressStreamed(std::uint64_t size, int level, unsigned threads, const InputReader& read,
                      const BlockWriter& write, StreamedBlock& result) {
  result = StreamedBlock();
  BlockCompressor compressor(size, level);
  const std::size_t count = compressor.StretchCount();
  if (count == 0) return false;  // 4 GiB or more
  if (threads == 0) threads = ProcessorCount();
  // Rounds of stretches: read in order (taking each one's own bytes into the
  // hash and the compressor), parsed at once, written in order; only a
  // round's inputs and parses are held.
  const std::size_t round = ParallelParses(level, threads, size);
  std::vector<std::vector<std::uint8_t>> inputs(round);
  ContentHash hash;
  std::vector<std::uint8_t> out;
  for (std::size_t first = 0; first < count; first += round) {
    const std::size_t n = std::min(round, count - first);
    for (std::size_t j = 0; j < n; ++j) {
      const std::size_t k = first + j;
      const std::uint64_t begin = compressor.InputBegin(k), end = compressor.InputEnd(k);
      std::vector<std::uint8_t>& input = inputs[j];
      input.resize(std::size_t(end - begin));
      if (!input.empty() && !read(begin, input.data(), input.size())) return false;
      const std::uint64_t own = std::uint64_t(k) * kBlockStretch;
      const std::uint64_t ownEnd = std::min<std::uint64_t>(size, own + kBlockStretch);
      hash.Add(input.data() + (own - begin), std::size_t(ownEnd - own));
      compressor.TakeInput(k, input.data());
    }
    RoundJob job{&compressor, first, n, &inputs};
    RunOnThreads(unsigned(std::min<std::size_t>(n, threads)), ParseRound, &job);
    for (std::size_t j = 0; j < n; ++j) {
      compressor.WriteStretch(first + j, inputs[j].data());
      compressor.TakeOutput(out);
      if (!out.empty() && !write(out.data(), out.size())) return false;
      result.size += out.size();
      out.clear();
    }
  }
  out = compressor.Finish();
  if (!out.empty() && !write(out.data(), out.size())) return false;
  result.size += out.size();
  result.header = compressor.Header();
  result.contentHash = hash.Finish();
  return true;
}

}  // namespace brindorel::pack

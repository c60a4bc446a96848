// Decoding under Wine: the block decoder of this build against the zlib of
// the same toolchain, in the same process, on the blocks and zlib streams that
// codec_bench --keep-blocks wrote (NNN.blk, NNN.zz and NNN.raw in DIR).
// Rounds alternate the two; the fastest round of each counts. Prints one
// table and the goal row.
//   decode_bench DIR [ROUNDS]
#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "package/block_decoder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

bool ReadAll(const std::string& path, Bytes& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  std::uint8_t buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(f);
  return true;
}

double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return double(counter.QuadPart) / double(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: decode_bench DIR [ROUNDS]\n");
    return 2;
  }
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  std::vector<Bytes> blocks, streams, raws;
  for (int i = 0;; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "\\%03d.", i);
    Bytes block, stream, raw;
    const std::string base = std::string(argv[1]) + name;
    if (!ReadAll(base + "blk", block) || !ReadAll(base + "zz", stream) || !ReadAll(base + "raw", raw)) break;
    blocks.push_back(std::move(block));
    streams.push_back(std::move(stream));
    raws.push_back(std::move(raw));
  }
  if (raws.empty()) {
    std::fprintf(stderr, "no blocks in %s\n", argv[1]);
    return 1;
  }
  std::size_t total = 0;
  std::vector<Bytes> outs;
  for (const Bytes& raw : raws) {
    total += raw.size();
    outs.emplace_back(raw.size() + 8);
  }
  double bestBlock = 1e30, bestZlib = 1e30;
  bool ok = true;
  for (int r = 0; r < rounds; ++r) {
    double start = Now();
    for (std::size_t i = 0; i < raws.size(); ++i)
      ok = brindorel::DecompressBlock(blocks[i].data(), blocks[i].size(), outs[i].data(), outs[i].size()) ==
               raws[i].size() && ok;
    bestBlock = std::min(bestBlock, Now() - start);
    for (std::size_t i = 0; i < raws.size(); ++i) ok = ok && std::equal(raws[i].begin(), raws[i].end(), outs[i].begin());
    start = Now();
    for (std::size_t i = 0; i < raws.size(); ++i) {
      uLongf n = uLongf(outs[i].size());
      ok = uncompress(outs[i].data(), &n, streams[i].data(), uLong(streams[i].size())) == Z_OK && n == raws[i].size() && ok;
    }
    bestZlib = std::min(bestZlib, Now() - start);
  }
  const double mb = double(total) / 1e6;
  std::printf("decoding in one %d-bit process under Wine: %zu files, %.1f MB, fastest of %d rounds%s\n\n",
              int(sizeof(void*) * 8), raws.size(), mb, rounds, ok ? "" : "  ROUND TRIP FAILED");
  std::printf("%-18s %9s\n", "", "MB/s");
  std::printf("%-18s %9.1f\n", "DecompressBlock", mb / bestBlock);
  std::printf("%-18s %9.1f\n", "zlib uncompress", mb / bestZlib);
  std::printf("\ngoal: decoder in the %d-bit build under Wine / the same build's zlib inflate: %.2f (goal >= 1.0 "
              "for the 32-bit build)\n",
              int(sizeof(void*) * 8), bestZlib / bestBlock);
  return ok ? 0 : 1;
}

// The block codec against zlib (level 9), liblzma (preset 9) and memcpy on the
// corpus, every file compressed on its own; then the block stream on one large
// entry against the whole-block decoder. Decoding is timed round by round,
// every codec once a round, and the fastest round of each counts, so that a
// busy machine hurts all alike. Prints two tables and, last, the goal rows
// (lines starting "goal:").
//   codec_bench [corpus.list] [--reps N] [--only WORD] [--keep-blocks DIR]
// --keep-blocks writes each file's best-level block and zlib stream there
// (NNN.blk, NNN.zz, NNN.raw) for the decoding benchmark under Wine.
#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "package/block_decoder.h"
#include "package/block_encoder.h"
#include "tools/pack/pack_compress.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Codec {
  const char* name;
  std::function<Bytes(const Bytes&)> compress;
  // Decodes into `out` (already sized to the original); false on failure.
  std::function<bool(const Bytes&, Bytes&)> decompress;
};

Bytes ZlibCompress(const Bytes& in) {
  uLongf n = compressBound(uLong(in.size()));
  Bytes out(n);
  if (compress2(out.data(), &n, in.data(), uLong(in.size()), 9) != Z_OK) return {};
  out.resize(n);
  return out;
}

bool ZlibDecompress(const Bytes& in, Bytes& out) {
  uLongf n = uLongf(out.size());
  return uncompress(out.data(), &n, in.data(), uLong(in.size())) == Z_OK && n == out.size();
}

Bytes XzCompress(const Bytes& in) {
  Bytes out(lzma_stream_buffer_bound(in.size()));
  std::size_t pos = 0;
  if (lzma_easy_buffer_encode(9, LZMA_CHECK_CRC32, nullptr, in.data(), in.size(), out.data(), &pos,
                              out.size()) != LZMA_OK)
    return {};
  out.resize(pos);
  return out;
}

bool XzDecompress(const Bytes& in, Bytes& out) {
  std::uint64_t limit = UINT64_MAX;
  std::size_t inPos = 0, outPos = 0;
  return lzma_stream_buffer_decode(&limit, 0, nullptr, in.data(), &inPos, in.size(), out.data(), &outPos,
                                   out.size()) == LZMA_OK &&
         outPos == out.size();
}

bool BlockDecompress(const Bytes& in, Bytes& out) {
  return brindorel::DecompressBlock(in.data(), in.size(), out.data(), out.size()) == out.size();
}

double Seconds(const std::function<void()>& f) {
  auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Streams a block as the extractor does: 1 MiB pieces of input, the window's
// new bytes copied out after every call (to `sink`, standing for the file).
bool StreamDecode(const Bytes& block, std::vector<std::uint8_t>& window, Bytes& sink) {
  brindorel::BlockStream stream;
  if (!brindorel::BeginBlockStream(stream, block.data(), block.size(), window.data(), window.size(), nullptr,
                                   nullptr))
    return false;
  const std::uint8_t* input = block.data() + brindorel::kBlockHeaderSize;
  const std::size_t total = block.size() - brindorel::kBlockHeaderSize;
  std::size_t used = 0, given = std::min<std::size_t>(total, 1 << 20), written = 0;
  for (;;) {
    brindorel::BlockStreamResult r =
        brindorel::DecodeBlockStream(stream, input + used, given - used, given == total, window.size());
    if (written + r.outputSize > sink.size()) return false;
    std::memcpy(sink.data() + written, window.data() + r.outputOffset, r.outputSize);
    written += r.outputSize;
    used += r.inputUsed;
    switch (r.status) {
      case brindorel::BlockStreamStatus::kFinished: return written == sink.size();
      case brindorel::BlockStreamStatus::kFailed: return false;
      case brindorel::BlockStreamStatus::kNeedsInput: given = std::min(total, given + (1 << 20)); break;
      case brindorel::BlockStreamStatus::kOutputFull: break;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string listPath = std::string(BRINDOREL_SOURCE_DIR) + "/bench/corpus.list";
  int reps = 5;
  std::string only;
  std::string keepBlocks;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc) reps = std::max(1, std::atoi(argv[++i]));
    else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = argv[++i];
    else if (std::strcmp(argv[i], "--keep-blocks") == 0 && i + 1 < argc) keepBlocks = argv[++i];
    else listPath = argv[i];
  }
  std::vector<Bytes> files;
  std::ifstream list(listPath);
  std::string line;
  std::size_t total = 0;
  while (std::getline(list, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::ifstream f(line, std::ios::binary);
    if (!f) {
      std::fprintf(stderr, "missing corpus file %s\n", line.c_str());
      return 1;
    }
    files.emplace_back((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    total += files.back().size();
  }
  if (files.empty()) {
    std::fprintf(stderr, "empty corpus list %s\n", listPath.c_str());
    return 1;
  }

  std::vector<Codec> codecs = {
      {"block fast", [](const Bytes& in) { return brindorel::CompressBlock(in.data(), in.size(), brindorel::kBlockLevelFast); },
       BlockDecompress},
      {"block best", [](const Bytes& in) { return brindorel::CompressBlock(in.data(), in.size(), brindorel::kBlockLevelBest); },
       BlockDecompress},
      {"zlib -9", ZlibCompress, ZlibDecompress},
      {"xz -9", XzCompress, XzDecompress},
      {"memcpy", [](const Bytes& in) { return in; },
       [](const Bytes& in, Bytes& out) {
         std::memcpy(out.data(), in.data(), in.size());
         return true;
       }},
  };

  struct Row {
    const Codec* codec;
    std::vector<Bytes> packed;
    std::size_t packedTotal = 0;
    double compressSeconds = 0;
    double bestDecode = 1e30;
    bool ok = true;
  };
  std::vector<Row> rows;
  for (const Codec& c : codecs) {
    if (!only.empty() && std::string(c.name).find(only) == std::string::npos) continue;
    Row row;
    row.codec = &c;
    row.packed.resize(files.size());
    row.compressSeconds = Seconds([&] {
      for (std::size_t i = 0; i < files.size(); ++i) row.packed[i] = c.compress(files[i]);
    });
    for (const Bytes& p : row.packed) row.packedTotal += p.size();
    rows.push_back(std::move(row));
  }
  std::vector<Bytes> outs(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) outs[i].assign(files[i].size(), 0);
  for (int r = 0; r < reps; ++r) {
    for (Row& row : rows) {
      double t = Seconds([&] {
        for (std::size_t i = 0; i < files.size(); ++i) row.ok = row.codec->decompress(row.packed[i], outs[i]) && row.ok;
      });
      row.bestDecode = std::min(row.bestDecode, t);
      for (std::size_t i = 0; i < files.size(); ++i) row.ok = row.ok && outs[i] == files[i];
    }
  }

  const double mb = double(total) / 1e6;
  std::printf("corpus: %zu files, %zu bytes; compression one thread; decoding fastest of %d rounds\n\n", files.size(),
              total, reps);
  std::printf("%-12s %12s %7s %12s %12s\n", "codec", "compressed", "ratio", "comp MB/s", "decomp MB/s");
  for (const Row& row : rows)
    std::printf("%-12s %12zu %7.3f %12.1f %12.1f%s\n", row.codec->name, row.packedTotal,
                double(row.packedTotal) / double(total), mb / row.compressSeconds, mb / row.bestDecode,
                row.ok ? "" : "  ROUND TRIP FAILED");
  std::fflush(stdout);

  auto find = [&](const char* name) -> const Row* {
    for (const Row& row : rows)
      if (std::strcmp(row.codec->name, name) == 0) return &row;
    return nullptr;
  };
  const Row* best = find("block best");
  const Row* fast = find("block fast");
  const Row* zlib = find("zlib -9");

  if (!keepBlocks.empty() && best != nullptr && zlib != nullptr) {
    for (std::size_t i = 0; i < files.size(); ++i) {
      char name[32];
      auto write = [&](const char* ext, const Bytes& bytes) {
        std::snprintf(name, sizeof name, "/%03zu.%s", i, ext);
        std::ofstream(keepBlocks + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
      };
      write("blk", best->packed[i]);
      write("zz", zlib->packed[i]);
      write("raw", files[i]);
    }
  }

  // The block stream on one entry larger than its window: the corpus as one
  // file, at the fast level (its matches then stay within the window).
  double streamRate = 0, wholeRate = 0;
  if (only.empty() || only == "stream") {
    Bytes large;
    for (const Bytes& f : files) large.insert(large.end(), f.begin(), f.end());
    std::vector<brindorel::pack::CompressInput> in = {{large.data(), large.size()}};
    Bytes block = brindorel::pack::CompressBlocks(in, brindorel::kBlockLevelFast, 0)[0];
    std::vector<std::uint8_t> window(brindorel::kBlockWindowSize);
    Bytes sink(large.size());
    Bytes whole(large.size() + 8);
    double bestStream = 1e30, bestWhole = 1e30;
    bool ok = true;
    for (int r = 0; r < std::max(2, reps / 2); ++r) {
      bestStream = std::min(bestStream, Seconds([&] { ok = StreamDecode(block, window, sink) && ok; }));
      bestWhole = std::min(bestWhole, Seconds([&] {
        ok = brindorel::DecompressBlock(block.data(), block.size(), whole.data(), whole.size()) == large.size() && ok;
      }));
    }
    ok = ok && sink == large;
    const double lmb = double(large.size()) / 1e6;
    streamRate = lmb / bestStream;
    wholeRate = lmb / bestWhole;
    std::printf("\nblock stream on one %.1f MB entry (fast level, %zu MiB window, 1 MiB input pieces):\n", lmb,
                brindorel::kBlockWindowSize >> 20);
    std::printf("%-28s %10.1f MB/s%s\n", "block stream", streamRate, ok ? "" : "  ROUND TRIP FAILED");
    std::printf("%-28s %10.1f MB/s\n", "DecompressBlock, whole", wholeRate);
  }

  std::printf("\n");
  if (best != nullptr && zlib != nullptr)
    std::printf("goal: best level, total size / zlib level 9: %.3f (goal <= 0.86)\n",
                double(best->packedTotal) / double(zlib->packedTotal));
  if (best != nullptr && zlib != nullptr)
    std::printf("goal: decoder, native x86-64 / zlib inflate: %.2f (goal >= 1.3)\n", zlib->bestDecode / best->bestDecode);
  if (fast != nullptr && zlib != nullptr)
    std::printf("goal: fast level, total size / zlib level 9: %.3f (goal <= 0.98)\n",
                double(fast->packedTotal) / double(zlib->packedTotal));
  if (streamRate > 0)
    std::printf("info: block stream / whole-block decoding, one large entry: %.2f\n", streamRate / wholeRate);
  return 0;
}

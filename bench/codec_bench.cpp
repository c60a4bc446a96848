// Compares the block codec with zlib (level 9), liblzma (preset 9) and memcpy.
// Every corpus file is compressed on its own; decoding is timed as the median
// of several repetitions. Prints one table.
//   codec_bench [corpus.list] [--reps N] [--only WORD]   (WORD picks codecs by name)
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

}  // namespace

int main(int argc, char** argv) {
  std::string listPath = std::string(BRINDOREL_SOURCE_DIR) + "/bench/corpus.list";
  int reps = 5;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc) reps = std::max(1, std::atoi(argv[++i]));
    else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = argv[++i];
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

  std::printf("corpus: %zu files, %zu bytes; decode median of %d runs\n\n", files.size(), total, reps);
  std::printf("%-12s %12s %7s %12s %12s\n", "codec", "compressed", "ratio", "comp MB/s", "decomp MB/s");
  const double mb = double(total) / 1e6;
  for (const Codec& c : codecs) {
    if (!only.empty() && std::string(c.name).find(only) == std::string::npos) continue;
    std::vector<Bytes> packed(files.size());
    double compressTime = Seconds([&] {
      for (std::size_t i = 0; i < files.size(); ++i) packed[i] = c.compress(files[i]);
    });
    std::size_t packedTotal = 0;
    for (const Bytes& p : packed) packedTotal += p.size();
    std::vector<Bytes> outs(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) outs[i].assign(files[i].size(), 0);
    std::vector<double> times;
    bool ok = true;
    for (int r = 0; r < reps; ++r)
      times.push_back(Seconds([&] {
        for (std::size_t i = 0; i < files.size(); ++i) ok = c.decompress(packed[i], outs[i]) && ok;
      }));
    for (std::size_t i = 0; i < files.size(); ++i) ok = ok && outs[i] == files[i];
    std::sort(times.begin(), times.end());
    std::printf("%-12s %12zu %7.3f %12.1f %12.1f%s\n", c.name, packedTotal, double(packedTotal) / double(total),
                mb / compressTime, mb / times[times.size() / 2], ok ? "" : "  ROUND TRIP FAILED");
    std::fflush(stdout);
  }
  return 0;
}

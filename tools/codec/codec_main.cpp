// brindorel-block: compresses a file into one block or decodes a block back.
//   brindorel-block compress IN OUT [--level fast|best]
//   brindorel-block decompress IN OUT
#include <cstdio>
#include <cstring>
#include <vector>

#include "package/block_decoder.h"
#include "package/block_encoder.h"

namespace {

bool ReadFile(const char* path, std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  std::uint8_t buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
  bool ok = std::ferror(f) == 0;
  std::fclose(f);
  return ok;
}

bool WriteFile(const char* path, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

int Usage() {
  std::fprintf(stderr,
               "usage: brindorel-block compress IN OUT [--level fast|best]\n"
               "       brindorel-block decompress IN OUT\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return Usage();
  std::vector<std::uint8_t> in;
  if (!ReadFile(argv[2], in)) {
    std::fprintf(stderr, "cannot read %s\n", argv[2]);
    return 1;
  }
  std::vector<std::uint8_t> out;
  if (std::strcmp(argv[1], "compress") == 0) {
    int level = brindorel::kBlockLevelBest;
    if (argc == 6 && std::strcmp(argv[4], "--level") == 0) {
      if (std::strcmp(argv[5], "fast") == 0) level = brindorel::kBlockLevelFast;
      else if (std::strcmp(argv[5], "best") != 0) return Usage();
    } else if (argc != 4) {
      return Usage();
    }
    out = brindorel::CompressBlock(in.data(), in.size(), level);
    if (out.empty()) {
      std::fprintf(stderr, "%s is too large for one block\n", argv[2]);
      return 1;
    }
  } else if (std::strcmp(argv[1], "decompress") == 0 && argc == 4) {
    std::uint32_t size = brindorel::BlockDecodedSize(in.data(), in.size());
    if (size == 0 && (in.size() < brindorel::kBlockHeaderSize || in[0] != 'J' || in[1] != 'C')) {
      std::fprintf(stderr, "%s is not a block\n", argv[2]);
      return 1;
    }
    out.resize(std::size_t(size) + 8);
    std::size_t n = brindorel::DecompressBlock(in.data(), in.size(), out.data(), out.size());
    if (n != size || (n == 0 && size != 0)) {
      std::fprintf(stderr, "%s is corrupt\n", argv[2]);
      return 1;
    }
    out.resize(n);
  } else {
    return Usage();
  }
  if (!WriteFile(argv[3], out.data(), out.size())) {
    std::fprintf(stderr, "cannot write %s\n", argv[3]);
    return 1;
  }
  std::printf("%s: %zu -> %zu bytes\n", argv[3], in.size(), out.size());
  return 0;
}

// The builder's throughput: the files of the corpus list become the program/
// folder of a package, built at each level; then the corpus files compressed
// as independent blocks on every processor (pack_compress), against gzip -9
// and xz -9 -T1 on the same files, one process at a time and as many at once
// as there are processors. Prints tables and, last, the goal rows (lines
// starting "goal:"); with --keep DIR the package built at the best level is
// left there as Install.exe for the extraction benchmark.
//   pack_bench [corpus.list] [--keep DIR]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <vector>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>

#include "package/block_encoder.h"
#include "tools/pack/pack_builder.h"
#include "tools/pack/pack_compress.h"

namespace fs = std::filesystem;

namespace {

void WriteText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

int main(int argc, char** argv) {
  std::string listPath = BRINDOREL_SOURCE_DIR "/bench/corpus.list";
  fs::path keep;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--keep" && i + 1 < argc) {
      keep = argv[++i];
    } else {
      listPath = arg;
    }
  }

  const fs::path root = fs::temp_directory_path() / ("brindorel-pack-bench-" + std::to_string(::getpid()));
  const fs::path folder = root / "package";
  WriteText(folder / "setup.ini", "[Info]\r\nTitel=Corpus\r\nVersion=1\r\n[Settings]\r\nProgExe=corpus.exe\r\n");
  WriteText(root / "stub.exe", std::string("MZ") + std::string(4094, '\0'));

  // The corpus, flat, numbered so that equal base names stay apart.
  std::ifstream list(listPath);
  std::string line;
  std::uintmax_t input = 0;
  int files = 0;
  while (std::getline(list, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::error_code ec;
    const fs::path source(line);
    if (!fs::is_regular_file(source, ec)) continue;
    char number[16];
    std::snprintf(number, sizeof number, "%03d-", files);
    fs::create_directories(folder / "program", ec);
    fs::copy_file(source, folder / "program" / (number + source.filename().string()),
                  fs::copy_options::overwrite_existing, ec);
    if (ec) continue;
    input += fs::file_size(source, ec);
    ++files;
  }
  if (files == 0) {
    std::fprintf(stderr, "no corpus files found from %s\n", listPath.c_str());
    return 1;
  }

  std::printf("builder on %d files, %.1f MB\n\n", files, double(input) / 1e6);
  std::printf("%-6s %12s %8s %9s %9s\n", "level", "output", "ratio", "seconds", "MB/s");
  const struct {
    const char* name;
    int level;
  } levels[] = {{"fast", 1}, {"best", 9}};
  for (const auto& level : levels) {
    brindorel::pack::BuildOptions options;
    options.packageFolder = folder;
    options.output = root / (std::string(level.name) + ".exe");
    options.stub = root / "stub.exe";
    options.level = level.level;
    brindorel::pack::BuildReport report;
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    if (!brindorel::pack::BuildInstaller(options, report, error)) {
      std::fprintf(stderr, "build failed: %s\n", error.c_str());
      return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-6s %12llu %8.3f %9.2f %9.1f\n", level.name, static_cast<unsigned long long>(report.outputSize),
                double(report.outputSize) / double(input), seconds, double(input) / 1e6 / seconds);
    if (!keep.empty() && level.level == 9) {
      std::error_code ec;
      fs::create_directories(keep, ec);
      fs::copy_file(options.output, keep / "Install.exe", fs::copy_options::overwrite_existing, ec);
    }
  }

  // The corpus files as independent blocks on every processor, against the
  // command-line compressors on the same files.
  std::vector<std::vector<std::uint8_t>> data;
  std::vector<brindorel::pack::CompressInput> inputs;
  std::ofstream names(root / "files.list");
  for (const auto& entry : fs::directory_iterator(folder / "program")) {
    std::ifstream f(entry.path(), std::ios::binary);
    data.emplace_back((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    names << entry.path().string() << "\n";
  }
  names.close();
  for (const auto& d : data) inputs.push_back({d.data(), d.size()});
  const unsigned cores = brindorel::pack::ProcessorCount();
  const double mb = double(input) / 1e6;
  auto timeIt = [](auto&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  auto command = [&](const std::string& tool, unsigned processes) {
    const std::string shell = "xargs -a '" + (root / "files.list").string() + "' -P " + std::to_string(processes) +
                             " -I{} sh -c '" + tool + " -c \"{}\" > /dev/null'";
    return timeIt([&] {
      if (std::system(shell.c_str()) != 0) std::fprintf(stderr, "%s failed\n", tool.c_str());
    });
  };
  std::printf("\nthe same files as independent blocks (pack_compress), and the command-line compressors\n\n");
  std::printf("%-34s %9s %9s %12s\n", "", "seconds", "MB/s", "output");
  double blockSeconds[2] = {0, 0};
  const int blockLevels[2] = {brindorel::kBlockLevelFast, brindorel::kBlockLevelBest};
  for (int i = 0; i < 2; ++i) {
    std::size_t bytes = 0;
    blockSeconds[i] = timeIt([&] {
      for (const auto& b : brindorel::pack::CompressBlocks(inputs, blockLevels[i], cores)) bytes += b.size();
    });
    char label[64];
    std::snprintf(label, sizeof label, "blocks %s, %u threads", i == 0 ? "fast" : "best", cores);
    std::printf("%-34s %9.2f %9.1f %12zu\n", label, blockSeconds[i], mb / blockSeconds[i], bytes);
  }
  const double gzipOne = command("gzip -9", 1);
  const double gzipAll = command("gzip -9", cores);
  const double xzOne = command("xz -9 -T1", 1);
  const double xzAll = command("xz -9 -T1", cores);
  std::printf("%-34s %9.2f %9.1f\n", "gzip -9, one process", gzipOne, mb / gzipOne);
  std::printf("%-34s %9.2f %9.1f\n", ("gzip -9, " + std::to_string(cores) + " at once").c_str(), gzipAll, mb / gzipAll);
  std::printf("%-34s %9.2f %9.1f\n", "xz -9 -T1, one process", xzOne, mb / xzOne);
  std::printf("%-34s %9.2f %9.1f\n", ("xz -9 -T1, " + std::to_string(cores) + " at once").c_str(), xzAll, mb / xzAll);
  std::printf("\ngoal: builder best level (blocks on %u threads) / xz -9 -T1 speed: %.2f (goal >= 1.3; %.2f "
              "against %u xz processes at once)\n",
              cores, xzOne / blockSeconds[1], xzAll / blockSeconds[1], cores);
  std::printf("goal: builder fast level (blocks on %u threads) / gzip -9 speed: %.2f (goal >= 5; %.2f against %u "
              "gzip processes at once)\n",
              cores, gzipOne / blockSeconds[0], gzipAll / blockSeconds[0], cores);

  std::error_code ec;
  fs::remove_all(root, ec);
  return 0;
}

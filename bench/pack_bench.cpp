// The builder's throughput: the files of the corpus list become the program/
// folder of a package, built at each level. Prints one table; with --keep DIR
// the package built at the best level is left there as Install.exe for the
// extraction benchmark.
//   pack_bench [corpus.list] [--keep DIR]
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>

#include "tools/pack/pack_builder.h"

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
  std::error_code ec;
  fs::remove_all(root, ec);
  return 0;
}

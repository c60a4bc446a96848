// Replays a fuzz target over the files of its corpus folder, so that every
// input that once mattered runs as an ordinary test. Files in accept/ must be
// accepted by the target's reader and files in reject/ refused
// (fuzz_verdict.h); other files (libFuzzer's own finds) are only run.
//   <target>_replay FOLDER-OR-FILE...
//   <target>_replay --classify FILE...   prints each file's verdict
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/fuzz/fuzz_verdict.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

enum class Expect { Nothing, Accepted, Rejected };

// Runs one file; false when its verdict is not the expected one.
bool RunFile(const std::filesystem::path& path, Expect expect) {
  const std::vector<std::uint8_t> bytes = ReadBytes(path);
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  if (expect == Expect::Nothing) return true;
  const bool accepted = FuzzInputAccepted(bytes.data(), bytes.size());
  if (accepted == (expect == Expect::Accepted)) return true;
  std::printf("%s: %s, but it lies in %s\n", path.string().c_str(), accepted ? "accepted" : "rejected",
              expect == Expect::Accepted ? "accept/" : "reject/");
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--classify") == 0) {
    for (int i = 2; i < argc; ++i) {
      const std::vector<std::uint8_t> bytes = ReadBytes(argv[i]);
      std::printf("%s %s\n", FuzzInputAccepted(bytes.data(), bytes.size()) ? "accept" : "reject", argv[i]);
    }
    return 0;
  }
  int count = 0;
  int wrong = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path arg(argv[i]);
    std::error_code ec;
    if (!std::filesystem::is_directory(arg, ec)) {
      if (std::filesystem::exists(arg, ec)) wrong += RunFile(arg, Expect::Nothing) ? 0 : 1, ++count;
      continue;
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(arg)) {
      if (!entry.is_regular_file()) continue;
      const std::string folder = entry.path().parent_path().filename().string();
      const Expect expect = folder == "accept" ? Expect::Accepted : folder == "reject" ? Expect::Rejected
                                                                                      : Expect::Nothing;
      wrong += RunFile(entry.path(), expect) ? 0 : 1;
      ++count;
    }
  }
  // An empty input is always worth one run.
  LLVMFuzzerTestOneInput(nullptr, 0);
  std::printf("replayed %d inputs, %d with the wrong verdict\n", count, wrong);
  return wrong == 0 ? 0 : 1;
}

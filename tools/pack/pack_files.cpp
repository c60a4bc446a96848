#include "tools/pack/pack_files.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "services/utf8.h"

#ifdef _WIN32
#include <io.h>
#define BRINDOREL_ISATTY _isatty
#else
#include <unistd.h>
#define BRINDOREL_ISATTY isatty
#endif

namespace brindorel::pack {
namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kFileTimeEpochSeconds = 11644473600LL;
constexpr std::int64_t kTicksPerSecond = 10000000LL;

// The file clock's distance from the system clock, in whole seconds (the
// standard library gives no conversion in C++17; both run at the same rate).
std::chrono::seconds FileClockOffset() {
  using namespace std::chrono;
  auto file = std::filesystem::file_time_type::clock::now().time_since_epoch();
  auto system = system_clock::now().time_since_epoch();
  auto diff = duration_cast<milliseconds>(file) - duration_cast<milliseconds>(system);
  return seconds((diff.count() + (diff.count() >= 0 ? 500 : -500)) / 1000);
}

}  // namespace

bool ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path.u8string();
    return false;
  }
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = "cannot read " + path.u8string();
    return false;
  }
  return true;
}

bool WriteWholeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes, std::string& error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    error = "cannot write " + path.u8string();
    return false;
  }
  return true;
}

std::uint64_t FileTimeOf(const std::filesystem::path& path) {
  using namespace std::chrono;
  std::error_code ec;
  auto time = std::filesystem::last_write_time(path, ec);
  if (ec) return 0;
  auto since = duration_cast<nanoseconds>(time.time_since_epoch()) - duration_cast<nanoseconds>(FileClockOffset());
  std::int64_t ticks = since.count() / 100 + kFileTimeEpochSeconds * kTicksPerSecond;
  return ticks > 0 ? static_cast<std::uint64_t>(ticks) : 0;
}

void SetFileTimeOf(const std::filesystem::path& path, std::uint64_t fileTime) {
  using namespace std::chrono;
  if (fileTime == 0) return;
  std::int64_t ticks = static_cast<std::int64_t>(fileTime) - kFileTimeEpochSeconds * kTicksPerSecond;
  auto since = duration_cast<std::filesystem::file_time_type::duration>(nanoseconds(ticks * 100) + FileClockOffset());
  std::error_code ec;
  std::filesystem::last_write_time(path, std::filesystem::file_time_type(since), ec);
}

std::string AnsiToUtf8(const std::string& ansi) { return Windows1252().toUtf8(ansi); }

std::string EntryNameText(const std::string& name) { return Utf8OrCodePage(name, Windows1252()); }

bool ErrorIsTerminal() { return BRINDOREL_ISATTY(2) != 0; }

}  // namespace brindorel::pack

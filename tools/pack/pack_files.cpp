#include "tools/pack/pack_files.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

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

// Windows-1252 characters 80-9F hex (0 where the code page has none).
const char16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
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

bool Utf8ToAnsi(const std::string& utf8, std::string& ansi) {
  ansi.clear();
  for (std::size_t i = 0; i < utf8.size();) {
    auto b = static_cast<unsigned char>(utf8[i]);
    std::uint32_t cp;
    std::size_t length;
    if (b < 0x80) {
      cp = b;
      length = 1;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F;
      length = 2;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F;
      length = 3;
    } else if ((b & 0xF8) == 0xF0) {
      cp = b & 0x07;
      length = 4;
    } else {
      return false;
    }
    if (length > utf8.size() - i) return false;
    for (std::size_t k = 1; k < length; ++k) {
      auto c = static_cast<unsigned char>(utf8[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    i += length;
    if (cp == 0) return false;
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      ansi += static_cast<char>(cp);
      continue;
    }
    bool found = false;
    for (int k = 0; k < 32; ++k) {
      if (kHighControls[k] != 0 && kHighControls[k] == cp) {
        ansi += static_cast<char>(0x80 + k);
        found = true;
        break;
      }
    }
    if (!found) return false;
  }
  return true;
}

std::string AnsiToUtf8(const std::string& ansi) {
  std::string out;
  for (char ch : ansi) {
    auto b = static_cast<unsigned char>(ch);
    if (b >= 0x80 && b < 0xA0) {
      AppendUtf8(out, kHighControls[b - 0x80] != 0 ? kHighControls[b - 0x80] : 0xFFFD);
    } else {
      AppendUtf8(out, b);
    }
  }
  return out;
}

bool ErrorIsTerminal() { return BRINDOREL_ISATTY(2) != 0; }

}  // namespace brindorel::pack

#include "tools/pack/pack_text.h"

#include <cstdio>

namespace brindorel {
namespace {

// Code points of the bytes 80..9F; 0 marks the five unassigned bytes.
constexpr std::uint16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kTicks1601To1970 = 11644473600LL * kTicksPerSecond;

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

bool Utf8ToCp1252(const std::string& utf8, std::string& out) {
  out.clear();
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::uint32_t lead = static_cast<std::uint8_t>(utf8[i]);
    std::uint32_t cp = 0;
    std::size_t length = 0;
    if (lead < 0x80) {
      cp = lead;
      length = 1;
    } else if ((lead & 0xE0) == 0xC0) {
      cp = lead & 0x1F;
      length = 2;
    } else if ((lead & 0xF0) == 0xE0) {
      cp = lead & 0x0F;
      length = 3;
    } else {
      return false;  // four-byte forms lie beyond the code page anyway
    }
    if (length > utf8.size() - i) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const std::uint32_t next = static_cast<std::uint8_t>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (next & 0x3F);
    }
    if ((length == 2 && cp < 0x80) || (length == 3 && cp < 0x800)) return false;  // overlong
    i += length;
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      out += static_cast<char>(cp);
      continue;
    }
    bool mapped = false;
    for (std::uint32_t b = 0; b < 32; ++b) {
      if (kHighControls[b] != 0 && kHighControls[b] == cp) {
        out += static_cast<char>(0x80 + b);
        mapped = true;
        break;
      }
    }
    if (!mapped) return false;
  }
  return true;
}

std::string Cp1252ToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const std::uint32_t b = static_cast<std::uint8_t>(c);
    if (b >= 0x80 && b < 0xA0) {
      const std::uint32_t cp = kHighControls[b - 0x80];
      AppendUtf8(out, cp != 0 ? cp : 0xFFFD);
    } else {
      AppendUtf8(out, b);
    }
  }
  return out;
}

std::uint64_t UnixTicksToFileTime(std::int64_t ticksSince1970) {
  if (ticksSince1970 < -kTicks1601To1970) return 0;
  return static_cast<std::uint64_t>(ticksSince1970 + kTicks1601To1970);
}

std::int64_t FileTimeToUnixTicks(std::uint64_t fileTime) {
  // Clamp far-future values so the signed result cannot overflow.
  const std::uint64_t limit = static_cast<std::uint64_t>(INT64_MAX - kTicks1601To1970);
  if (fileTime > limit) fileTime = limit;
  return static_cast<std::int64_t>(fileTime) - kTicks1601To1970;
}

std::string FormatFileTime(std::uint64_t fileTime) {
  // Civil date from days since 1601-01-01 (a Monday, start of a 400-year cycle).
  std::uint64_t seconds = fileTime / static_cast<std::uint64_t>(kTicksPerSecond);
  const unsigned second = static_cast<unsigned>(seconds % 60);
  const unsigned minute = static_cast<unsigned>((seconds / 60) % 60);
  const unsigned hour = static_cast<unsigned>((seconds / 3600) % 24);
  std::uint64_t days = seconds / 86400;
  std::uint64_t year = 1601 + 400 * (days / 146097);
  days %= 146097;
  auto leap = [](std::uint64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
  while (days >= (leap(year) ? 366u : 365u)) {
    days -= leap(year) ? 366 : 365;
    ++year;
  }
  static const unsigned kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  unsigned month = 0;
  while (month < 11) {
    const unsigned length = kMonthDays[month] + (month == 1 && leap(year) ? 1 : 0);
    if (days < length) break;
    days -= length;
    ++month;
  }
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04llu-%02u-%02llu %02u:%02u:%02u",
                static_cast<unsigned long long>(year), month + 1,
                static_cast<unsigned long long>(days + 1), hour, minute, second);
  return buffer;
}

}  // namespace brindorel

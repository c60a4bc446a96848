#include "services/text.h"

#include <algorithm>
#include <cstdio>

namespace brindorel {

namespace {

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

std::size_t ClampCount(std::int32_t count, std::size_t limit) {
  if (count <= 0) return 0;
  return std::min(static_cast<std::size_t>(count), limit);
}

}  // namespace

std::string TextField(const std::string& text, std::int32_t field, const std::string& separator) {
  if (separator.empty()) return field <= 1 ? text : std::string();
  if (field < 1) field = 1;
  const char sep = separator[0];
  std::size_t start = 0;
  for (std::int32_t n = 1; n < field; ++n) {
    const std::size_t next = text.find(sep, start);
    if (next == std::string::npos) return std::string();
    start = next + 1;
  }
  const std::size_t end = text.find(sep, start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::int32_t CountOccurrences(const std::string& text, const std::string& searched) {
  if (searched.empty()) return 0;
  std::int32_t count = 0;
  for (std::size_t at = text.find(searched); at != std::string::npos;
       at = text.find(searched, at + searched.size())) {
    ++count;
  }
  return count;
}

std::string ReplaceAll(const std::string& text, const std::string& searched, const std::string& replacement) {
  if (searched.empty()) return text;
  std::string result;
  std::size_t start = 0;
  for (std::size_t at = text.find(searched); at != std::string::npos; at = text.find(searched, start)) {
    result.append(text, start, at - start);
    result += replacement;
    start = at + searched.size();
  }
  result.append(text, start, std::string::npos);
  return result;
}

std::string RemoveAll(const std::string& text, const std::string& searched) {
  return ReplaceAll(text, searched, std::string());
}

std::string LeftPart(const std::string& text, std::int32_t count) {
  return text.substr(0, ClampCount(count, text.size()));
}

std::string RightPart(const std::string& text, std::int32_t count) {
  const std::size_t n = ClampCount(count, text.size());
  return text.substr(text.size() - n);
}

std::string MiddlePart(const std::string& text, std::int32_t start, std::int32_t count) {
  const std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
  if (from >= text.size()) return std::string();
  return text.substr(from, ClampCount(count, text.size() - from));
}

std::string TrimSpaces(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::string UpperCase(const std::string& text) {
  std::string result = text;
  for (char& c : result) {
    const unsigned char b = static_cast<unsigned char>(c);
    // A-Z only: every byte of a UTF-8 character other than ASCII is 80 hex
    // or above and stays as it is.
    if (b >= 'a' && b <= 'z') c = static_cast<char>(b - 0x20);
  }
  return result;
}

std::int32_t TextToNumber(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  // Unsigned arithmetic wraps modulo 2^32 without undefined behaviour.
  std::uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

std::string NumberToText(std::int32_t number) {
  // Negate in unsigned arithmetic so that the smallest number keeps its digits.
  const std::uint32_t magnitude =
      number < 0 ? 0u - static_cast<std::uint32_t>(number) : static_cast<std::uint32_t>(number);
  return number < 0 ? "-" + UnsignedToText(magnitude) : UnsignedToText(magnitude);
}

std::string UnsignedToText(std::uint32_t number) {
  char digits[16];
  char* p = digits + sizeof digits;
  do {
    *--p = static_cast<char>('0' + number % 10u);
    number /= 10u;
  } while (number != 0);
  return std::string(p, digits + sizeof digits);
}

std::string PathExtension(const std::string& path) {
  const std::size_t at = path.find_last_of(".\\/");
  if (at == std::string::npos || path[at] != '.') return std::string();
  const std::size_t end = path.find('"', at + 1);
  return path.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
}

std::string PathFileName(const std::string& path) {
  std::size_t start = !path.empty() && path[0] == '"' ? 1 : 0;
  const std::size_t last = path.find_last_of("\\/");
  if (last != std::string::npos && last >= start) start = last + 1;
  const std::size_t end = path.find('"', start);
  return path.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string PathFolderPart(const std::string& path) {
  const std::size_t start = !path.empty() && path[0] == '"' ? 1 : 0;
  const std::size_t bar = path.find('|', start);
  const std::size_t limit = bar == std::string::npos ? path.size() : bar;
  std::size_t last = std::string::npos;
  for (std::size_t i = start; i < limit; ++i) {
    if (IsPathSeparator(path[i])) last = i;
  }
  if (last == std::string::npos) return std::string();
  return path.substr(start, last - start + 1);
}

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 0x20);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 0x20);
    if (x != y) return false;
  }
  return true;
}

}  // namespace brindorel

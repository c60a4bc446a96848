#include "services/utf8.h"

#include <cstdint>

namespace brindorel {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool InRange(unsigned char b, unsigned char low, unsigned char high) { return b >= low && b <= high; }

// Decodes the sequence at `i` and moves `i` past it. An ill-formed sequence
// gives U+FFFD and `valid` false; `i` then moves past its maximal ill-formed
// part: the lead byte and the continuation bytes that could still follow it.
char32_t DecodeNext(const std::string& text, std::size_t& i, bool& valid) {
  const auto lead = static_cast<unsigned char>(text[i++]);
  valid = true;
  if (lead < 0x80) return lead;
  int trail;
  // The range of the byte after the lead excludes overlong forms, surrogates
  // and values above U+10FFFF.
  unsigned char low = 0x80, high = 0xBF;
  char32_t code;
  if (InRange(lead, 0xC2, 0xDF)) {
    trail = 1;
    code = lead & 0x1Fu;
  } else if (InRange(lead, 0xE0, 0xEF)) {
    trail = 2;
    code = lead & 0x0Fu;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (InRange(lead, 0xF0, 0xF4)) {
    trail = 3;
    code = lead & 0x07u;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    valid = false;
    return kReplacement;
  }
  for (int n = 0; n < trail; ++n) {
    if (i >= text.size()) {
      valid = false;
      return kReplacement;
    }
    const auto b = static_cast<unsigned char>(text[i]);
    if (!InRange(b, low, high)) {
      valid = false;
      return kReplacement;
    }
    low = 0x80;
    high = 0xBF;
    code = (code << 6) | (b & 0x3Fu);
    ++i;
  }
  return code;
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Windows-1252 bytes 80-9F hex. The five the page leaves free stand for
// the C1 control of their own number.
const char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string Windows1252ToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    AppendUtf8(out, b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : b);
  }
  return out;
}

bool Utf8ToWindows1252(const std::string& utf8, std::string& text) {
  text.clear();
  text.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    bool valid = true;
    const char32_t code = DecodeNext(utf8, i, valid);
    if (!valid) return false;
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
      text += static_cast<char>(code);
      continue;
    }
    bool found = false;
    for (int k = 0; k < 32 && !found; ++k) {
      if (kWindows1252High[k] == code) {
        text += static_cast<char>(0x80 + k);
        found = true;
      }
    }
    if (!found) return false;
  }
  return true;
}

}  // namespace

bool IsValidUtf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    bool valid = true;
    DecodeNext(text, i, valid);
    if (!valid) return false;
  }
  return true;
}

bool IsAscii(const std::string& text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

std::string ValidUtf8(const std::string& text) {
  if (IsValidUtf8(text)) return text;
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size();) {
    bool valid = true;
    AppendUtf8(out, DecodeNext(text, i, valid));
  }
  return out;
}

std::u16string Utf8ToUtf16(const std::string& utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    bool valid = true;
    const char32_t code = DecodeNext(utf8, i, valid);
    if (code < 0x10000) {
      out += static_cast<char16_t>(code);
    } else {
      out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::string Utf16ToUtf8(const char16_t* utf16, std::size_t length) {
  std::string out;
  if (utf16 == nullptr) return out;
  out.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    const char16_t unit = utf16[i];
    if (IsHighSurrogate(unit) && i + 1 < length && IsLowSurrogate(utf16[i + 1])) {
      AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
      ++i;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& utf16) { return Utf16ToUtf8(utf16.data(), utf16.size()); }

std::size_t Utf16Length(const std::string& utf8) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    bool valid = true;
    units += DecodeNext(utf8, i, valid) < 0x10000 ? 1 : 2;
  }
  return units;
}

const CodePage& Windows1252() {
  static const CodePage page = {Windows1252ToUtf8, Utf8ToWindows1252};
  return page;
}

std::string Utf8OrCodePage(const std::string& text, const CodePage& page) {
  return IsValidUtf8(text) ? text : page.toUtf8(text);
}

}  // namespace brindorel

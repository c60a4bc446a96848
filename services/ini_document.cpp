#include "services/ini_document.h"

#include <utility>

#include "services/text.h"

namespace brindorel {

namespace {

enum class EntryKind { kGroup, kComment, kKey };

struct Entry {
  EntryKind kind;
  std::string key;    // key entries only
  std::string value;  // group name, comment text or key value
};

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(std::uint8_t c) { return c == '\r' || c == '\n' || c == 0; }

// Each byte from 80 hex up becomes its two-byte UTF-8 form.
std::string EncodeUtf8(const std::string& text) {
  std::string result;
  result.reserve(text.size() * 2);
  for (char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      result += c;
    } else {
      result += static_cast<char>(0xC0 | (b >> 6));
      result += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return result;
}

// Back to 8-bit text. Anything that is not U+0000..U+00FF in well-formed
// UTF-8 gives the empty text; a sequence cut off by the end (or a decoded
// zero) ends the text there.
std::string DecodeUtf8(const std::string& text) {
  std::string result;
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) {
      result += static_cast<char>(lead);
      continue;
    }
    if (lead < 0xC0 || lead > 0xF7) return std::string();
    const int trail = lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    std::uint32_t code = lead & (0x3Fu >> trail);
    for (int n = 0; n < trail; ++n) {
      if (i >= text.size()) return result;
      const unsigned char b = static_cast<unsigned char>(text[i++]);
      if ((b & 0xC0) != 0x80) return std::string();
      code = (code << 6) | (b & 0x3Fu);
    }
    if (code > 0xFF) return std::string();
    if (code == 0) return result;
    result += static_cast<char>(code);
  }
  return result;
}

}  // namespace

struct IniDocument::Impl {
  std::vector<Entry> entries;
  std::size_t current = kNone;  // index of the current group's header; kNone: unnamed group
  bool has_pending = false;
  std::string pending;          // in the document's own encoding
  bool modified = false;
  bool utf8 = false;

  std::string ToDocument(const std::string& text) const { return utf8 ? EncodeUtf8(text) : text; }

  // The first key of that name in the current group, or kNone. The name is
  // already in the document's encoding.
  std::size_t FindKey(const std::string& name) const {
    for (std::size_t i = current == kNone ? 0 : current + 1; i < entries.size(); ++i) {
      const Entry& e = entries[i];
      if (e.kind == EntryKind::kGroup) break;
      if (e.kind == EntryKind::kKey && EqualIgnoringAsciiCase(e.key, name)) return i;
    }
    return kNone;
  }

  // Where a new key of the current group goes: before the header that
  // follows the group, or at the end.
  std::size_t GroupEnd() const {
    std::size_t i = current == kNone ? 0 : current + 1;
    while (i < entries.size() && entries[i].kind != EntryKind::kGroup) ++i;
    return i;
  }

  void ParseLine(const std::uint8_t* p, const std::uint8_t* end) {
    while (p < end && IsBlank(static_cast<char>(*p))) ++p;
    if (p == end) return;
    if (*p == ';') {
      ++p;
      if (p < end && *p == ' ') ++p;
      entries.push_back({EntryKind::kComment, std::string(), std::string(p, end)});
      return;
    }
    if (*p == '[') {
      const std::uint8_t* name = ++p;
      while (p < end && *p != ']') ++p;
      entries.push_back({EntryKind::kGroup, std::string(), std::string(name, p)});
      return;
    }
    const std::uint8_t* key_end = p;
    while (key_end < end && *key_end != '=') ++key_end;
    const std::uint8_t* value = key_end;
    const std::uint8_t* key_start = p;
    while (key_end > key_start && IsBlank(static_cast<char>(key_end[-1]))) --key_end;
    if (value < end) {
      ++value;  // the "="
      while (value < end && IsBlank(static_cast<char>(*value))) ++value;
    }
    entries.push_back({EntryKind::kKey, std::string(key_start, key_end), std::string(value, end)});
  }
};

IniDocument::IniDocument() : impl_(new Impl) {}
IniDocument::~IniDocument() = default;
IniDocument::IniDocument(IniDocument&&) noexcept = default;
IniDocument& IniDocument::operator=(IniDocument&&) noexcept = default;

IniDocument IniDocument::Parse(const std::uint8_t* bytes, std::size_t size) {
  IniDocument doc;
  Impl& d = *doc.impl_;
  if (bytes == nullptr) return doc;
  const std::uint8_t* p = bytes;
  const std::uint8_t* end = bytes + size;
  if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
    d.utf8 = true;
    p += 3;
  }
  // A zero byte ends a line like CR and LF do; the text after it is kept so
  // that a rewrite does not lose it.
  while (p < end) {
    const std::uint8_t* line = p;
    while (p < end && !IsLineEnd(*p)) ++p;
    d.ParseLine(line, p);
    while (p < end && IsLineEnd(*p)) ++p;
  }
  return doc;
}

IniDocument IniDocument::Parse(const std::string& bytes) {
  return Parse(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

int IniDocument::SelectGroup(const std::string& name) {
  Impl& d = *impl_;
  if (name.empty()) {
    d.current = kNone;
    d.has_pending = false;
    d.pending.clear();
    return 1;
  }
  const std::string wanted = d.ToDocument(name);
  for (std::size_t i = 0; i < d.entries.size(); ++i) {
    const Entry& e = d.entries[i];
    if (e.kind == EntryKind::kGroup && EqualIgnoringAsciiCase(e.value, wanted)) {
      d.current = i;
      d.has_pending = false;
      d.pending.clear();
      return 1;
    }
  }
  d.has_pending = true;
  d.pending = wanted;
  return 0;
}

std::string IniDocument::ReadString(const std::string& key, const std::string& fallback) const {
  const Impl& d = *impl_;
  if (d.has_pending) return fallback;
  const std::size_t at = d.FindKey(d.ToDocument(key));
  if (at == kNone) return fallback;
  const std::string& raw = d.entries[at].value;
  std::size_t first = 0;
  while (first < raw.size() && IsBlank(raw[first])) ++first;
  std::string text = raw.substr(first);
  if (d.utf8) text = DecodeUtf8(text);
  std::size_t last = text.size();
  while (last > 0 && IsBlank(text[last - 1])) --last;
  text.resize(last);
  return text;
}

std::vector<std::string> IniDocument::KeyNames() const {
  const Impl& d = *impl_;
  std::vector<std::string> names;
  if (d.has_pending) return names;
  for (std::size_t i = d.current == kNone ? 0 : d.current + 1; i < d.entries.size(); ++i) {
    const Entry& e = d.entries[i];
    if (e.kind == EntryKind::kGroup) break;
    if (e.kind == EntryKind::kKey) names.push_back(d.utf8 ? DecodeUtf8(e.key) : e.key);
  }
  return names;
}

std::int32_t IniDocument::ReadNumber(const std::string& key, std::int32_t fallback) const {
  const Impl& d = *impl_;
  if (d.has_pending) return fallback;
  const std::size_t at = d.FindKey(d.ToDocument(key));
  if (at == kNone) return fallback;
  return TextToNumber(d.entries[at].value);
}

void IniDocument::WriteString(const std::string& key, const std::string& value) {
  Impl& d = *impl_;
  std::string name = d.ToDocument(key);
  std::string text = d.ToDocument(value);
  if (d.has_pending) {
    d.entries.push_back({EntryKind::kGroup, std::string(), std::move(d.pending)});
    d.current = d.entries.size() - 1;
    d.has_pending = false;
    d.pending.clear();
  }
  const std::size_t at = d.FindKey(name);
  if (at != kNone) {
    d.entries[at].key = std::move(name);
    d.entries[at].value = std::move(text);
  } else {
    const std::size_t pos = d.GroupEnd();
    d.entries.insert(d.entries.begin() + static_cast<std::ptrdiff_t>(pos),
                     Entry{EntryKind::kKey, std::move(name), std::move(text)});
  }
  d.modified = true;
}

void IniDocument::WriteNumber(const std::string& key, std::int32_t value) {
  WriteString(key, NumberToText(value));
}

bool IniDocument::modified() const { return impl_->modified; }
bool IniDocument::utf8() const { return impl_->utf8; }

std::string IniDocument::Serialize() const {
  const Impl& d = *impl_;
  std::string out;
  if (d.utf8) out = "\xEF\xBB\xBF\r\n";
  for (const Entry& e : d.entries) {
    switch (e.kind) {
      case EntryKind::kGroup: out += "[" + e.value + "]"; break;
      case EntryKind::kComment: out += "; " + e.value; break;
      case EntryKind::kKey: out += e.key + " = " + e.value; break;
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace brindorel

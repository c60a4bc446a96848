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

}  // namespace

struct IniDocument::Impl {
  std::vector<Entry> entries;
  std::size_t current = kNone;  // index of the current group's header; kNone: unnamed group
  bool hasPending = false;
  std::string pending;
  bool modified = false;
  bool utf8 = false;                   // read with the mark
  bool utf8ForNonAscii = false;
  const CodePage* page = &Windows1252();  // the page of a file without the mark

  // The text of every entry in the rewrite layout, without the mark.
  std::string Body() const {
    std::string out;
    for (const Entry& e : entries) {
      switch (e.kind) {
        case EntryKind::kGroup: out += "[" + e.value + "]"; break;
        case EntryKind::kComment: out += "; " + e.value; break;
        case EntryKind::kKey: out += e.key + " = " + e.value; break;
      }
      out += "\r\n";
    }
    return out;
  }

  // The file's bytes for `body`: in the page when it was read so and can
  // hold every character, else UTF-8 with the mark and an empty line.
  std::string Encode(const std::string& body, bool* asUtf8) const {
    std::string text;
    const bool plain = !utf8 && !(utf8ForNonAscii && !IsAscii(body)) && page->fromUtf8(body, text);
    if (asUtf8 != nullptr) *asUtf8 = !plain;
    return plain ? text : "\xEF\xBB\xBF\r\n" + body;
  }

  // The first key of that name in the current group, or kNone.
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
    const std::uint8_t* keyEnd = p;
    while (keyEnd < end && *keyEnd != '=') ++keyEnd;
    const std::uint8_t* value = keyEnd;
    const std::uint8_t* keyStart = p;
    while (keyEnd > keyStart && IsBlank(static_cast<char>(keyEnd[-1]))) --keyEnd;
    if (value < end) {
      ++value;  // the "="
      while (value < end && IsBlank(static_cast<char>(*value))) ++value;
    }
    entries.push_back({EntryKind::kKey, std::string(keyStart, keyEnd), std::string(value, end)});
  }
};

IniDocument::IniDocument() : impl_(new Impl) {}
IniDocument::~IniDocument() = default;
IniDocument::IniDocument(IniDocument&&) noexcept = default;
IniDocument& IniDocument::operator=(IniDocument&&) noexcept = default;

IniDocument IniDocument::Parse(const std::uint8_t* bytes, std::size_t size, const CodePage& page) {
  IniDocument doc;
  Impl& d = *doc.impl_;
  d.page = &page;
  if (bytes == nullptr) return doc;
  std::string text;
  if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    d.utf8 = true;
    text = ValidUtf8(std::string(reinterpret_cast<const char*>(bytes) + 3, size - 3));
  } else {
    // The whole text at once: in a double-byte page the second byte of a
    // character may look like "[", "=" or "\\".
    text = page.toUtf8(std::string(reinterpret_cast<const char*>(bytes), size));
  }
  // No UTF-8 sequence holds a byte below 80 hex, so lines, "[", ";" and "="
  // are found in the converted text as in the file.
  const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::uint8_t* end = p + text.size();
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

IniDocument IniDocument::Parse(const std::string& bytes, const CodePage& page) {
  return Parse(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), page);
}

int IniDocument::SelectGroup(const std::string& name) {
  Impl& d = *impl_;
  if (name.empty()) {
    d.current = kNone;
    d.hasPending = false;
    d.pending.clear();
    return 1;
  }
  const std::string wanted = ValidUtf8(name);
  for (std::size_t i = 0; i < d.entries.size(); ++i) {
    const Entry& e = d.entries[i];
    if (e.kind == EntryKind::kGroup && EqualIgnoringAsciiCase(e.value, wanted)) {
      d.current = i;
      d.hasPending = false;
      d.pending.clear();
      return 1;
    }
  }
  d.hasPending = true;
  d.pending = wanted;
  return 0;
}

std::string IniDocument::ReadString(const std::string& key, const std::string& fallback) const {
  const Impl& d = *impl_;
  if (d.hasPending) return fallback;
  const std::size_t at = d.FindKey(ValidUtf8(key));
  if (at == kNone) return fallback;
  const std::string& raw = d.entries[at].value;
  std::size_t first = 0;
  while (first < raw.size() && IsBlank(raw[first])) ++first;
  std::string text = raw.substr(first);
  std::size_t last = text.size();
  while (last > 0 && IsBlank(text[last - 1])) --last;
  text.resize(last);
  return text;
}

std::vector<std::string> IniDocument::KeyNames() const {
  const Impl& d = *impl_;
  std::vector<std::string> names;
  if (d.hasPending) return names;
  for (std::size_t i = d.current == kNone ? 0 : d.current + 1; i < d.entries.size(); ++i) {
    const Entry& e = d.entries[i];
    if (e.kind == EntryKind::kGroup) break;
    if (e.kind == EntryKind::kKey) names.push_back(e.key);
  }
  return names;
}

std::int32_t IniDocument::ReadNumber(const std::string& key, std::int32_t fallback) const {
  const Impl& d = *impl_;
  if (d.hasPending) return fallback;
  const std::size_t at = d.FindKey(ValidUtf8(key));
  if (at == kNone) return fallback;
  return TextToNumber(d.entries[at].value);
}

void IniDocument::WriteString(const std::string& key, const std::string& value) {
  Impl& d = *impl_;
  std::string name = ValidUtf8(key);
  std::string text = ValidUtf8(value);
  if (d.hasPending) {
    d.entries.push_back({EntryKind::kGroup, std::string(), std::move(d.pending)});
    d.current = d.entries.size() - 1;
    d.hasPending = false;
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

void IniDocument::PreferUtf8ForNonAscii() { impl_->utf8ForNonAscii = true; }

bool IniDocument::modified() const { return impl_->modified; }
bool IniDocument::utf8() const { return impl_->utf8; }

bool IniDocument::WritesUtf8() const {
  bool asUtf8 = false;
  impl_->Encode(impl_->Body(), &asUtf8);
  return asUtf8;
}

std::string IniDocument::Serialize() const { return impl_->Encode(impl_->Body(), nullptr); }

}  // namespace brindorel

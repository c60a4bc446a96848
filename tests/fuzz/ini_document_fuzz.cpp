// INI documents: parse arbitrary bytes, apply writes taken from the input,
// rewrite, and parse the rewrite. Written keys must read the same in both
// documents, every text read must be well-formed UTF-8, and a rewrite of a
// rewrite must not change any more.
//
// Input: one control byte (low two bits: number of writes), then for each
// write three length-prefixed texts (group, key, value), then the file bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "services/ini_document.h"
#include "services/utf8.h"

#include "tests/fuzz/fuzz_verdict.h"

namespace {

struct Write {
  std::string group, key, value;
};

struct Cursor {
  const std::uint8_t* p;
  const std::uint8_t* end;

  std::string Take() {
    if (p == end) return std::string();
    std::size_t n = *p++ % 8u;
    if (n > static_cast<std::size_t>(end - p)) n = static_cast<std::size_t>(end - p);
    std::string text(reinterpret_cast<const char*>(p), n);
    p += n;
    return text;
  }
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Line ends and zeros cannot be kept by any text of a line; the document
// keeps its texts well-formed.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n' || c == '\0') c = 'x';
  return brindorel::ValidUtf8(text);
}

// A key that reads back as itself: no "=", not starting like a comment or a
// header, no blanks around it.
std::string AsKey(std::string text) {
  text = OneLine(text);
  for (char& c : text)
    if (c == '=') c = 'x';
  while (!text.empty() && IsBlank(text.back())) text.pop_back();
  while (!text.empty() && IsBlank(text.front())) text.erase(0, 1);
  if (!text.empty() && (text[0] == ';' || text[0] == '[')) text[0] = 'k';
  return text;
}

std::string AsGroup(std::string text) {
  text = OneLine(text);
  for (char& c : text)
    if (c == ']') c = 'x';
  return text;
}

std::string Trimmed(const std::string& text) {
  std::size_t first = 0, last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using brindorel::IniDocument;
  if (size == 0) return 0;
  Cursor in{data + 1, data + size};
  std::vector<Write> writes(data[0] & 3u);
  for (Write& w : writes) {
    w.group = AsGroup(in.Take());
    w.key = AsKey(in.Take());
    w.value = OneLine(in.Take());
  }

  IniDocument first = IniDocument::Parse(in.p, static_cast<std::size_t>(in.end - in.p));
  const std::string parsed = first.Serialize();
  for (const Write& w : writes) {
    first.SelectGroup(w.group);
    first.WriteString(w.key, w.value);
    if (!first.modified()) std::abort();
    if (first.ReadString(w.key, "\x01") != Trimmed(w.value)) std::abort();
  }
  for (const std::string& key : first.KeyNames()) {
    if (!brindorel::IsValidUtf8(key) || !brindorel::IsValidUtf8(first.ReadString(key))) std::abort();
  }

  // A plain file whose first entry begins with the bytes of the UTF-8 mark
  // (after blank lines or blanks) comes back as a UTF-8 file; its names and
  // values then read differently. A plain file that had to become UTF-8
  // reads the same.
  const std::string rewritten = first.Serialize();
  const bool turns_utf8 = !first.WritesUtf8() && rewritten.compare(0, 3, "\xEF\xBB\xBF") == 0;
  if (writes.empty() && !turns_utf8 && IniDocument::Parse(parsed).Serialize() != parsed) std::abort();
  IniDocument second = IniDocument::Parse(rewritten);
  const std::string again = second.Serialize();
  if (IniDocument::Parse(again).Serialize() != again) std::abort();
  if (turns_utf8) return 0;
  if (first.WritesUtf8() != second.utf8()) std::abort();
  for (const Write& w : writes) {
    if (first.SelectGroup(w.group) != 1 || second.SelectGroup(w.group) != 1) std::abort();
    if (first.ReadString(w.key, "\x01") != second.ReadString(w.key, "\x02")) std::abort();
    if (first.ReadNumber(w.key, 1) != second.ReadNumber(w.key, 2)) std::abort();
  }
  return 0;
}

// Every text is an INI document (what is not understood is kept as it is).
bool FuzzInputAccepted(const std::uint8_t*, std::size_t) { return true; }

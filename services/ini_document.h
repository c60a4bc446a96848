// An INI document held in memory as an ordered list of entries (group
// headers, comments, keys), with the installer's look-up, reading and
// placement rules. Group and key names match ignoring the case of A-Z only.
// Every text of a document is UTF-8, whatever the file holds: a file that
// begins with the UTF-8 mark EF BB BF is UTF-8, one without it is in an 8-bit
// code page and is converted when it is read. A rewrite keeps the encoding
// the file was read in, except that a document in a code page that must hold
// a character the page cannot store becomes UTF-8 with the mark (never "?").
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "services/utf8.h"

namespace brindorel {

// One group header, comment or key of a document, with the line of the file
// it was read from (from 1; 0 for what a write added).
struct IniLine {
  enum class Kind { Group, Comment, Key };
  Kind kind = Kind::Key;
  std::string key;    // key lines only
  std::string value;  // the group name, the comment text, or the value as stored
  std::uint32_t number = 0;
};

class IniDocument {
 public:
  IniDocument();
  ~IniDocument();
  IniDocument(IniDocument&&) noexcept;
  IniDocument& operator=(IniDocument&&) noexcept;
  IniDocument(const IniDocument&) = delete;
  IniDocument& operator=(const IniDocument&) = delete;

  // Splits a file's bytes (mark included, when present) into entries. A file
  // without the mark is read in `page`, which the document keeps for its
  // rewrite; ill-formed UTF-8 in a file with the mark reads as U+FFFD.
  static IniDocument Parse(const std::uint8_t* bytes, std::size_t size, const CodePage& page = Windows1252());
  static IniDocument Parse(const std::string& bytes, const CodePage& page = Windows1252());

  // 1 when the group exists (or the name is empty: the unnamed group), else 0
  // and the name becomes the pending group that the next write creates.
  int SelectGroup(const std::string& name);
  std::string ReadString(const std::string& key, const std::string& fallback = std::string()) const;
  std::int32_t ReadNumber(const std::string& key, std::int32_t fallback) const;
  // Ill-formed UTF-8 in the key or the value is stored as U+FFFD.
  void WriteString(const std::string& key, const std::string& value);
  void WriteNumber(const std::string& key, std::int32_t value);
  // The key names of the selected group in file order (none while a group
  // is pending).
  std::vector<std::string> KeyNames() const;
  // Every entry in document order, for tools that judge a file line by line.
  std::vector<IniLine> Lines() const;

  // From now on the rewrite is UTF-8 with the mark whenever the document
  // holds a character outside ASCII: for a file that another program reads,
  // perhaps under another code page.
  void PreferUtf8ForNonAscii();

  bool modified() const;
  // The file began with the UTF-8 mark.
  bool utf8() const;
  // Whether the rewrite is UTF-8 with the mark.
  bool WritesUtf8() const;
  // The whole file text in the rewrite layout (mark and empty line first for UTF-8).
  std::string Serialize() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace brindorel

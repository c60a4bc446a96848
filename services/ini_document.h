// An INI document held in memory as an ordered list of entries (group
// headers, comments, keys), with the installer's look-up, reading and
// placement rules. Group and key names match ignoring the case of A-Z only.
// A document that began with the UTF-8 mark EF BB BF keeps its keys and values
// in UTF-8 and converts to and from 8-bit text at the edges.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace brindorel {

class IniDocument {
 public:
  IniDocument();
  ~IniDocument();
  IniDocument(IniDocument&&) noexcept;
  IniDocument& operator=(IniDocument&&) noexcept;
  IniDocument(const IniDocument&) = delete;
  IniDocument& operator=(const IniDocument&) = delete;

  // Splits a file's bytes (mark included, when present) into entries.
  static IniDocument Parse(const std::uint8_t* bytes, std::size_t size);
  static IniDocument Parse(const std::string& bytes);

  // 1 when the group exists (or the name is empty: the unnamed group), else 0
  // and the name becomes the pending group that the next write creates.
  int SelectGroup(const std::string& name);
  std::string ReadString(const std::string& key, const std::string& fallback = std::string()) const;
  std::int32_t ReadNumber(const std::string& key, std::int32_t fallback) const;
  void WriteString(const std::string& key, const std::string& value);
  void WriteNumber(const std::string& key, std::int32_t value);
  // The key names of the selected group in file order (none while a group
  // is pending).
  std::vector<std::string> KeyNames() const;

  bool modified() const;
  bool utf8() const;
  // The whole file text in the rewrite layout (mark and empty line first for UTF-8).
  std::string Serialize() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace brindorel

// UTF-8, the programs' inner text form, and its two neighbours: UTF-16, the
// form every Windows call takes, and the 8-bit code pages in which files
// written before UTF-8 are stored. Every conversion gives well-formed text:
// an ill-formed UTF-8 sequence or a lone UTF-16 surrogate becomes U+FFFD.
#pragma once

#include <cstddef>
#include <string>

namespace brindorel {

// Well-formed UTF-8: no stray or missing continuation bytes, no overlong
// forms, no surrogates (U+D800-U+DFFF), nothing above U+10FFFF.
bool IsValidUtf8(const std::string& text);

// True when every byte is below 80 hex.
bool IsAscii(const std::string& text);

// The text with every ill-formed sequence replaced by U+FFFD (one for each
// maximal ill-formed part, as the Unicode standard recommends); well-formed
// text comes back unchanged.
std::string ValidUtf8(const std::string& text);

std::u16string Utf8ToUtf16(const std::string& utf8);
std::string Utf16ToUtf8(const std::u16string& utf16);
std::string Utf16ToUtf8(const char16_t* utf16, std::size_t length);

// The number of UTF-16 units of the text: what Windows counts in a path.
std::size_t Utf16Length(const std::string& utf8);

// An 8-bit code page: its bytes to UTF-8 and back.
struct CodePage {
  // Every byte sequence gives well-formed UTF-8.
  std::string (*toUtf8)(const std::string& text);
  // False when `utf8` holds a character the code page cannot store (or is
  // not well-formed); `text` is not to be used then.
  bool (*fromUtf8)(const std::string& utf8, std::string& text);
};

// Windows-1252, the Western European code page: what the system's code page
// stands for where there is none (the builder, the native tests). The five
// bytes the page leaves free (81, 8D, 8F, 90, 9D hex) are the C1 controls of
// the same number, as Windows reads them, so every byte survives a round trip.
const CodePage& Windows1252();

// `text` itself when it is well-formed UTF-8, else `text` read in `page`:
// names and texts of files written before UTF-8.
std::string Utf8OrCodePage(const std::string& text, const CodePage& page);

}  // namespace brindorel

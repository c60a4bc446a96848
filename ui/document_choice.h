// Which licence or readme file a view shows, in which format it is streamed,
// and how much of it: the decisions behind loading a document into a
// rich-text view, kept apart from the control itself.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "services/utf8.h"

namespace brindorel {

enum class DocumentFormat { RichText, PlainText };

// Rich Text Format when the text after the path's last "." is "RTF" in any
// case, plain text otherwise (also without an extension).
DocumentFormat DocumentFormatOf(const std::string& path);

// folder + baseName + ".rtf" when `exists` says so, else folder + baseName +
// ".txt" when that exists, else the empty text. The ".txt" file is not asked
// about when the ".rtf" one exists.
std::string ChooseDocumentPath(const std::string& folder, const std::string& baseName,
                               const std::function<bool(const std::string&)>& exists);

// A document streams at most this many bytes into its view; the rest of a
// larger file is not shown. Real licences and readmes are a few hundred
// kilobytes at most, and a rich-text control fed gigabytes runs out of
// memory long before it is done.
constexpr std::uint32_t kDocumentMaxBytes = 4u * 1024u * 1024u;

// The text limit a view gets before streaming. A rich-text control takes
// 32,767 characters unless told otherwise and cuts a longer stream without a
// word; every document byte yields at most one character (PlainDocumentText
// for plain text), so a limit of the byte budget never cuts what was streamed.
constexpr std::uint32_t kDocumentTextLimit = kDocumentMaxBytes;

// The characters of a plain-text document's bytes: after the UTF-8 mark
// (EF BB BF) UTF-8, after the UTF-16 mark (FF FE) UTF-16 little-endian (an
// odd last byte dropped), otherwise text in `page`, the system's code page.
// Each byte gives at most one character.
std::u16string PlainDocumentText(const std::string& bytes, const CodePage& page);

// Bytes the next read may deliver when `requested` are asked for and
// `delivered` were already given: never more than the budget allows.
std::uint32_t DocumentReadSize(std::uint32_t requested, std::uint64_t delivered);

}  // namespace brindorel

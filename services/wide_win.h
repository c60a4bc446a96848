// The Windows edge of every text: UTF-8 inside the programs, UTF-16 in every
// system call that takes or returns text. Windows only.
#pragma once

#include <cstddef>
#include <string>

#include "services/utf8.h"

namespace brindorel {

// UTF-8 to the system's wide text; an ill-formed sequence becomes U+FFFD.
std::wstring Wide(const std::string& utf8);

// Wide text back to UTF-8; a lone surrogate becomes U+FFFD. The first form
// takes `length` units (a zero among them is kept), the third stops at the
// first zero.
std::string Narrow(const wchar_t* text, std::size_t length);
std::string Narrow(const std::wstring& text);
std::string NarrowUntilZero(const wchar_t* text, std::size_t capacity);

// A path for the file calls (CreateFileW, CreateDirectoryW, FindFirstFileW,
// ...): Wide(path), and for an absolute path too long for the plain form
// (248 units and more, the folder limit) its "\\?\" form, which the file
// calls take up to 32,767 units.
std::wstring WidePath(const std::string& utf8);

// The system's ANSI code page: what texts without a UTF-8 mark are stored in.
const CodePage& SystemCodePage();

}  // namespace brindorel

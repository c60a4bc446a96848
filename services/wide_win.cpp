#include "services/wide_win.h"

#include <windows.h>

#include <cstdint>

#include "services/folder_rules.h"

namespace brindorel {

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide text is UTF-16");

// The plain form of a path holds at most MAX_PATH - 12 units for a folder
// (room for an 8.3 file name) and MAX_PATH - 1 for a file.
constexpr std::size_t kPlainPathUnits = MAX_PATH - 12;

std::string AnsiToUtf8(const std::string& text) {
  if (text.empty()) return std::string();
  if (GetACP() == CP_UTF8) return ValidUtf8(text);
  // Sizes in 64-bit first: the conversion counts in int.
  if (static_cast<std::uint64_t>(text.size()) > 0x3FFFFFFFu) return std::string();
  const int size = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  if (needed <= 0) return std::string();
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  const int got = MultiByteToWideChar(CP_ACP, 0, text.data(), size, &wide[0], needed);
  return Narrow(wide.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
}

bool Utf8ToAnsi(const std::string& utf8, std::string& text) {
  text.clear();
  if (utf8.empty()) return true;
  if (!IsValidUtf8(utf8)) return false;
  if (GetACP() == CP_UTF8) {
    text = utf8;
    return true;
  }
  const std::wstring wide = Wide(utf8);
  if (static_cast<std::uint64_t>(wide.size()) > 0x3FFFFFFFu) return false;
  const int size = static_cast<int>(wide.size());
  // No best fit: a character the page lacks must refuse, never become a
  // look-alike or "?".
  BOOL lost = FALSE;
  const int needed =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0, nullptr, &lost);
  if (needed <= 0 || lost) return false;
  text.assign(static_cast<std::size_t>(needed), '\0');
  const int got =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, &text[0], needed, nullptr, &lost);
  if (got != needed || lost) return false;
  // A page may also map a character to another without reporting it.
  return AnsiToUtf8(text) == utf8;
}

}  // namespace

std::wstring Wide(const std::string& utf8) {
  const std::u16string units = Utf8ToUtf16(utf8);
  return std::wstring(units.begin(), units.end());
}

std::string Narrow(const wchar_t* text, std::size_t length) {
  if (text == nullptr) return std::string();
  return Utf16ToUtf8(reinterpret_cast<const char16_t*>(text), length);
}

std::string Narrow(const std::wstring& text) { return Narrow(text.data(), text.size()); }

std::string NarrowUntilZero(const wchar_t* text, std::size_t capacity) {
  if (text == nullptr) return std::string();
  std::size_t length = 0;
  while (length < capacity && text[length] != L'\0') ++length;
  return Narrow(text, length);
}

std::wstring WidePath(const std::string& utf8) {
  if (Utf16Length(utf8) < kPlainPathUnits) return Wide(utf8);
  return Wide(ExtendedLengthPath(utf8));
}

const CodePage& SystemCodePage() {
  static const CodePage page = {AnsiToUtf8, Utf8ToAnsi};
  return page;
}

}  // namespace brindorel

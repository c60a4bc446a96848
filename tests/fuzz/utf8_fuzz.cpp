// Text conversions on any bytes: every result is well-formed, UTF-8 and
// UTF-16 round-trip, the code page keeps every byte, and a plain-text
// document never gives more characters than it has bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "services/utf8.h"
#include "ui/document_choice.h"

#include "tests/fuzz/fuzz_verdict.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brindorel;
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  const std::string valid = ValidUtf8(bytes);
  if (!IsValidUtf8(valid)) std::abort();
  if (IsValidUtf8(bytes) != (valid == bytes)) std::abort();
  const std::u16string wide = Utf8ToUtf16(bytes);
  if (wide.size() != Utf16Length(bytes) || Utf16ToUtf8(wide) != valid) std::abort();
  if (Utf8ToUtf16(Utf16ToUtf8(wide)) != wide) std::abort();

  // The bytes read as UTF-16 units: lone surrogates become U+FFFD.
  std::u16string units;
  for (std::size_t i = 0; i + 1 < size; i += 2) units += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  if (!IsValidUtf8(Utf16ToUtf8(units))) std::abort();

  const CodePage& page = Windows1252();
  const std::string read = page.toUtf8(bytes);
  std::string back;
  if (!IsValidUtf8(read) || !page.fromUtf8(read, back) || back != bytes) std::abort();
  if (page.fromUtf8(bytes, back) && page.toUtf8(back) != bytes) std::abort();
  if (Utf8OrCodePage(bytes, page) != (IsValidUtf8(bytes) ? bytes : read)) std::abort();

  if (PlainDocumentText(bytes, page).size() > size) std::abort();
  return 0;
}

// Well-formed UTF-8 is taken as it is; anything else is read in a code page.
bool FuzzInputAccepted(const std::uint8_t* data, std::size_t size) {
  return brindorel::IsValidUtf8(std::string(reinterpret_cast<const char*>(data), size));
}

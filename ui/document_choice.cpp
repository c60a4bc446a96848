#include "ui/document_choice.h"

#include "services/text.h"

namespace brindorel {

DocumentFormat DocumentFormatOf(const std::string& path) {
  return UpperCase(PathExtension(path)) == "RTF" ? DocumentFormat::RichText : DocumentFormat::PlainText;
}

std::string ChooseDocumentPath(const std::string& folder, const std::string& baseName,
                               const std::function<bool(const std::string&)>& exists) {
  for (const char* extension : {".rtf", ".txt"}) {
    std::string path = folder + baseName + extension;
    if (exists(path)) return path;
  }
  return std::string();
}

std::u16string PlainDocumentText(const std::string& bytes, const CodePage& page) {
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return Utf8ToUtf16(bytes.substr(3));
  if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                    (static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 1])) << 8));
    }
    return text;
  }
  return Utf8ToUtf16(page.toUtf8(bytes));
}

std::uint32_t DocumentReadSize(std::uint32_t requested, std::uint64_t delivered) {
  if (delivered >= kDocumentMaxBytes) return 0;
  const std::uint64_t left = kDocumentMaxBytes - delivered;
  return requested < left ? requested : static_cast<std::uint32_t>(left);
}

}  // namespace brindorel

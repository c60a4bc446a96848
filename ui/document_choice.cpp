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

std::uint32_t DocumentReadSize(std::uint32_t requested, std::uint64_t delivered) {
  if (delivered >= kDocumentMaxBytes) return 0;
  const std::uint64_t left = kDocumentMaxBytes - delivered;
  return requested < left ? requested : static_cast<std::uint32_t>(left);
}

}  // namespace brindorel

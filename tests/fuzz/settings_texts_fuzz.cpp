// Hostile settings and language files: every reading pass, the language
// choice and the text table must cope with any bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "install/settings.h"
#include "services/ini_document.h"
#include "ui/interface_texts.h"

#include "tests/fuzz/fuzz_verdict.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brindorel;
  if (size < 2) return 0;
  const auto languageId = static_cast<std::uint16_t>(data[0] | (data[1] << 8));
  IniDocument ini = IniDocument::Parse(data + 2, size - 2);

  Settings settings;
  ReadFirstSettings(ini, settings);
  ReadSecondSettings(ini, settings, [](const std::string& path) { return "C:\\Program Files\\" + path; });
  ReadInstallationSettings(ini, settings);
  (void)DecideSecondPassControls(settings);

  const std::string file = ChooseLanguageFile(settings.language, languageId, [](const std::string& list) {
    return LanguageEntryFile(list, 1);
  });
  (void)LanguageChooserLines(settings.language);

  const InterfaceTexts texts = LoadInterfaceTexts(ini, settings.titel, settings.version);
  (void)RunningWarningText(texts, settings.titel);
  return static_cast<int>(file.size() & 0);
}

// Every document gives settings and texts (their defaults where it says nothing).
bool FuzzInputAccepted(const std::uint8_t*, std::size_t) { return true; }

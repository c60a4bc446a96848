#include "core/silent_install.h"

#include "services/text.h"
#include "ui/interface_texts.h"

namespace brindorel {

std::string LogSurface::GetText(int control) const {
  auto found = texts_.find(control);
  return found == texts_.end() ? std::string() : found->second;
}

std::intptr_t LogSurface::GetState(int control) const {
  auto found = states_.find(control);
  return found == states_.end() ? 0 : found->second;
}

void LogSurface::AddListLine(int control, int position, const std::string& text) {
  if (control != ProgressList) return;
  if (position < 0 || static_cast<std::size_t>(position) >= lines_.size()) {
    lines_.push_back(text);
  } else {
    lines_.insert(lines_.begin() + position, text);
  }
}

void LogSurface::SetListLine(int control, int position, const std::string& text) {
  if (control != ProgressList || position < 0 || static_cast<std::size_t>(position) >= lines_.size()) return;
  lines_[static_cast<std::size_t>(position)] = text;
}

std::string SilentLanguageFile(const std::string& list, const std::string& requested, std::uint16_t languageId,
                               bool& refused) {
  refused = false;
  const std::int32_t count = LanguageEntryCount(list);
  if (!requested.empty()) {
    if (count < 2) {
      const std::string only = SingleLanguageFile(list);
      if (EqualIgnoringAsciiCase(only, requested)) return only;
    } else {
      for (std::int32_t entry = 1; entry <= count; ++entry) {
        const std::string file = LanguageEntryFile(list, entry);
        if (!file.empty() && EqualIgnoringAsciiCase(file, requested)) return file;
      }
    }
    refused = true;
    return std::string();
  }
  // No one is there to answer the chooser: the list's first language.
  return ChooseLanguageFile(list, languageId, [](const std::string& l) { return LanguageEntryFile(l, 1); });
}

std::string SilentLogText(const std::vector<std::string>& progressLines, const std::vector<std::string>& failures) {
  std::string text;
  for (const std::string& line : progressLines) text += line + "\r\n";
  for (const std::string& failure : failures) text += "Failed: " + failure + "\r\n";
  return text;
}

SilentExitCode SilentExitFor(bool complete, bool restartWanted) {
  if (!complete) return kSilentFailed;
  return restartWanted ? kSilentNeedsRestart : kSilentInstalled;
}

}  // namespace brindorel

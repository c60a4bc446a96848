// The unattended installation (/S): what stands in for the wizard window, the
// language it speaks, the log it writes and the exit code it ends with.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/command_line.h"
#include "ui/control_surface.h"

namespace brindorel {

// The window of an installation without a window: it keeps the texts and
// states it is given and the lines of the progress list.
class LogSurface : public ControlSurface {
 public:
  void Show(int) override {}
  void Hide(int) override {}
  void Enable(int) override {}
  void Disable(int) override {}
  void SetText(int control, const std::string& text) override { texts_[control] = text; }
  std::string GetText(int control) const override;
  void SetState(int control, std::intptr_t state) override { states_[control] = state; }
  std::intptr_t GetState(int control) const override;
  void AddListLine(int control, int position, const std::string& text) override;
  void SetListLine(int control, int position, const std::string& text) override;
  void SetImage(int, ImageHandle) override {}

  // The progress list, top to bottom.
  const std::vector<std::string>& ProgressLines() const { return lines_; }

 private:
  std::map<int, std::string> texts_;
  std::map<int, std::intptr_t> states_;
  std::vector<std::string> lines_;
};

// The language file of an unattended run: the one /LANG= names when the
// package's list holds it (A-Z case ignored; `refused` set when it does not),
// else the one matching `languageId`, else the list's first.
std::string SilentLanguageFile(const std::string& list, const std::string& requested, std::uint16_t languageId,
                               bool& refused);

// The log file's text: the progress lines, then one "Failed: ..." line per
// failure, CR LF after each.
std::string SilentLogText(const std::vector<std::string>& progressLines, const std::vector<std::string>& failures);

// How an unattended installation that ran ends.
SilentExitCode SilentExitFor(bool complete, bool restartWanted);

}  // namespace brindorel

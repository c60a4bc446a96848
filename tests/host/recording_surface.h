// A ControlSurface for native tests: keeps each control's visibility, enabled
// flag, text, state, list lines and image, and records every call in order.
// Controls start visible, enabled and empty unless the test sets them up.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ui/control_surface.h"

namespace brindorel {

class RecordingSurface : public ControlSurface {
 public:
  struct Control {
    bool visible = true;
    bool enabled = true;
    std::string text;
    std::intptr_t state = 0;
    std::vector<std::string> lines;
    ImageHandle image = 0;
  };

  struct Call {
    std::string operation;  // "Show", "SetText", ...
    int control;
    std::string text;        // text argument, if any
    std::intptr_t value;     // state, position or image, if any
  };

  void Show(int c) override { Record("Show", c).visible = true; }
  void Hide(int c) override { Record("Hide", c).visible = false; }
  void Enable(int c) override { Record("Enable", c).enabled = true; }
  void Disable(int c) override { Record("Disable", c).enabled = false; }
  void SetText(int c, const std::string& text) override { Record("SetText", c, text).text = text; }
  std::string GetText(int c) const override { return Find(c).text; }
  void SetState(int c, std::intptr_t state) override { Record("SetState", c, "", state).state = state; }
  std::intptr_t GetState(int c) const override { return Find(c).state; }
  void AddListLine(int c, int position, const std::string& text) override {
    std::vector<std::string>& lines = Record("AddListLine", c, text, position).lines;
    if (position < 0 || static_cast<std::size_t>(position) >= lines.size())
      lines.push_back(text);
    else
      lines.insert(lines.begin() + position, text);
  }
  void SetListLine(int c, int position, const std::string& text) override {
    std::vector<std::string>& lines = Record("SetListLine", c, text, position).lines;
    if (position >= 0 && static_cast<std::size_t>(position) < lines.size()) lines[position] = text;
  }
  void SetImage(int c, ImageHandle image) override {
    Record("SetImage", c, "", static_cast<std::intptr_t>(image)).image = image;
  }

  // Focus follows the calls only: hiding or disabling does not move it.
  void Focus(int c) override {
    Record("Focus", c);
    focused = c;
  }
  int FocusedControl() const override { return focused; }

  const Control& Find(int c) const {
    static const Control kAbsent;
    auto it = controls.find(c);
    return it == controls.end() ? kAbsent : it->second;
  }
  bool Visible(int c) const { return Find(c).visible; }
  bool Enabled(int c) const { return Find(c).enabled; }

  std::map<int, Control> controls;
  std::vector<Call> calls;
  int focused = 0;

 private:
  Control& Record(const char* operation, int c, const std::string& text = std::string(),
                  std::intptr_t value = 0) {
    calls.push_back(Call{operation, c, text, value});
    return controls[c];
  }
};

}  // namespace brindorel

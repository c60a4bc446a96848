// The wizard window's layout as data: its six fonts, every control in
// creation order (number, kind, parent, rectangle, font, colours, text source),
// the title, the controls hidden right after building, and the page
// header texts. Both the Win32 window and the native tests read it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/interface_texts.h"

namespace brindorel {

constexpr int kWizardClientWidth = 480;
constexpr int kWizardClientHeight = 335;

enum class FontId : int { Default, Small, SmallBold, Body, BodyBold, Title, ButtonBold, Count };

struct FontStyle {
  const char* face;
  int points;
  int weight;  // 700 bold, 400 regular
};

// The face, size and weight of a font other than Default (the system's GUI font).
const FontStyle& FontStyleOf(FontId font);
// Font height for a screen resolution: -(points * dpi / 72), rounded as the
// system's MulDiv rounds (half away from zero).
int FontHeightForDpi(int points, int dpi);

enum class ControlKind {
  Panel,
  Label,
  Image,
  RichView,   // read-only, wraps at its width
  Radio,      // automatic radio button
  CheckBox,   // automatic two-state check box
  Edit,       // one line, scrolls horizontally, sunken edge
  Button,
  ListBox,    // sunken edge, both scroll bars, no sorting
  Hyperlink,
};

struct ControlLayout {
  int number;
  ControlKind kind;
  int parent;  // 0: the window itself; else a panel's number
  int x, y, width, height;
  FontId font;
  bool white;        // background RGB(255, 255, 255)
  bool centred;      // centred label
  bool sunkenEdge;   // panels with a static edge; edits and lists are always sunken
  bool groupStart;   // first radio button of a group
  TextId text;       // TextId::Count: no text
  const char* prefix;
  const char* suffix;
};

// Every control of the wizard window, in creation order.
const std::vector<ControlLayout>& WizardControls();
// The entry of a control number, or nullptr.
const ControlLayout* FindWizardControl(int number);

// The initial text of a control: prefix + text + suffix; WelcomeText joins
// Page01 Msg1, Msg2 and Msg3 with blank lines.
std::string InitialControlText(const ControlLayout& control, const InterfaceTexts& texts);

// " " + Titel + "  " + Version.
std::string WizardWindowTitle(const std::string& titel, const std::string& version);

// Controls hidden right after the window is built (page 1 showing).
const std::vector<int>& InitiallyHiddenControls();

// Header title and subtitle of pages 2 to 4 (Page0n/Titel, Page0n/Msg);
// TextId::Count for the pages without a header.
TextId PageHeaderTitle(int page);
TextId PageHeaderSubtitle(int page);

}  // namespace brindorel

// The wizard's windows and controls by their fixed numbers, and the operations
// the page flow and the installation use on them. The Win32 wizard window
// implements ControlSurface; tests use a recording implementation.
#pragma once

#include <cstdint>
#include <string>

namespace brindorel {

enum WindowNumber : int {
  WizardWindowNumber = 1,
  StartMenuChooserNumber = 2,
  LanguageChooserNumber = 3,
};

enum ControlNumber : int {
  HeaderPanel = 1,
  HeaderSubtitle = 2,
  HeaderIcon = 3,
  WebLink = 4,
  BackButton = 5,
  NextButton = 6,
  CancelButton = 7,
  InstallButton = 8,
  FinishButton = 9,
  InfoPage = 10,
  ReadmeView = 11,
  LicencePage = 12,
  LicenceView = 13,
  AcceptOption = 14,
  DeclineOption = 15,
  SettingsPage = 16,
  HeaderTitle = 17,
  InstallDirLabel = 18,
  InstallDirField = 19,
  InstallDirChange = 20,
  MenuFolderLabel = 21,
  MenuFolderField = 22,
  MenuFolderChange = 23,
  DesktopIconBox = 24,
  WelcomePage = 25,
  WelcomeTitle = 26,
  WelcomeText = 27,
  NoticeText = 28,
  SideImage = 29,
  InstallPage = 30,
  InstallTitle = 31,
  InstallHint = 32,
  InstallStatus = 33,
  ProgressList = 34,
  RunProgramBox = 35,
  MenuFolderTree = 36,  // start-menu chooser
  ApplyButton = 37,     // start-menu chooser
  LanguageList = 38,    // language chooser
  LanguageOk = 39,      // language chooser
  ScopeMachineOption = 40,
  ScopeUserOption = 41,
};

// An image (bitmap or icon handle) passed through without interpretation.
using ImageHandle = std::uintptr_t;

// Operations on the controls of the wizard window, addressed by number. An
// unknown number is ignored (getters give the empty text, 0 or -1).
class ControlSurface {
 public:
  virtual ~ControlSurface() = default;

  virtual void Show(int control) = 0;
  virtual void Hide(int control) = 0;
  virtual void Enable(int control) = 0;
  virtual void Disable(int control) = 0;
  virtual void SetText(int control, const std::string& text) = 0;
  virtual std::string GetText(int control) const = 0;
  // Check box and radio button: 1 checked, 0 not. List: the selected line, -1
  // for none. Image: the image handle.
  virtual void SetState(int control, std::intptr_t state) = 0;
  virtual std::intptr_t GetState(int control) const = 0;
  // Adds a line at `position` (from 0; -1 appends).
  virtual void AddListLine(int control, int position, const std::string& text) = 0;
  virtual void SetListLine(int control, int position, const std::string& text) = 0;
  virtual void SetImage(int control, ImageHandle image) = 0;
  // The keyboard focus: gives it to a control; the control that holds it, 0
  // when none does. A surface without a keyboard ignores both.
  virtual void Focus(int control) { (void)control; }
  virtual int FocusedControl() const { return 0; }
};

// One event of a numbered window, as the page flow receives it.
struct WizardEvent {
  enum Kind { Click, FocusLost, CloseRequest };
  Kind kind;
  int window;   // WindowNumber
  int control;  // ControlNumber; 0 for a close request
};

}  // namespace brindorel

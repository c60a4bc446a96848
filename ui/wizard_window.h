// The Win32 wizard window: built once from the layout table with its fonts,
// panels and controls, driven through the ControlSurface operations, and
// delivering the events the page flow acts on (clicks, an edit field losing
// the focus, the close request). Windows only; handles are passed as void*
// so this header needs no <windows.h>.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ui/control_surface.h"
#include "ui/interface_texts.h"

namespace brindorel {

class WizardWindowSurface : public ControlSurface {
 public:
  ~WizardWindowSurface() override;
  WizardWindowSurface(const WizardWindowSurface&) = delete;
  WizardWindowSurface& operator=(const WizardWindowSurface&) = delete;

  void Show(int control) override;
  void Hide(int control) override;
  void Enable(int control) override;
  void Disable(int control) override;
  void SetText(int control, const std::string& text) override;
  std::string GetText(int control) const override;
  void SetState(int control, std::intptr_t state) override;
  std::intptr_t GetState(int control) const override;
  void AddListLine(int control, int position, const std::string& text) override;
  void SetListLine(int control, int position, const std::string& text) override;
  void SetImage(int control, ImageHandle image) override;

  // Paints `control` with the given colours (COLORREF values) when it asks
  // for its colours; registering a control again replaces its entry.
  void RegisterControlColour(int control, std::uint32_t text, std::uint32_t background);
  // The etched line above the buttons, at 0, 300, 483 x 2.
  void AddSeparator();

  // Runs the message loop until one of the window's events arrives; false when
  // the thread's quit message arrived instead.
  bool WaitForEvent(WizardEvent& event);
  // Handles every waiting message (so the window repaints) and drops every
  // queued event, also those queued before the call; while close requests
  // are held, one close request stays queued.
  void ProcessPendingMessages();
  // While the installation runs a close request is kept for afterwards
  // instead of being dropped with the clicks.
  void HoldCloseRequests(bool hold);

  void* WindowHandle() const;            // HWND
  void* ControlHandle(int control) const;  // HWND, or nullptr

  struct Impl;

 private:
  explicit WizardWindowSurface(std::unique_ptr<Impl> impl);
  friend std::unique_ptr<WizardWindowSurface> BuildWizardWindow(const InterfaceTexts&, const std::string&,
                                                                const std::string&, ImageHandle);
  std::unique_ptr<Impl> impl_;
};

// Creates the fonts, the window (hidden, centred, caption only, titled
// " " + titel + "  " + version) and every control of the layout with its
// text; hides the controls of pages 2 to 5; registers RunProgramBox as black
// on white; then shows the window. `headerIcon` is put into HeaderIcon (0:
// none). nullptr when the window cannot be created.
std::unique_ptr<WizardWindowSurface> BuildWizardWindow(const InterfaceTexts& texts, const std::string& titel,
                                                       const std::string& version, ImageHandle headerIcon);

}  // namespace brindorel

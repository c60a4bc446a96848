// The wizard's page flow: what one event of the wizard window does. It moves
// between the five pages (skipping the licence and readme pages when their
// views are empty), keeps the buttons' states, completes the two folder
// fields of the settings page, runs the installation once on Install, and
// sets QuitRequested on Finish, Cancel and the close request. What it cannot
// do itself it asks of a WizardActions.
//
// A click acts only when its control is shown and enabled, as far as the
// flow's own bookkeeping (TrackedSurface) knows; once the installation has
// started only Finish and the close request act.
#pragma once

#include <string>
#include <vector>

#include "core/installer_state.h"
#include "install/choices.h"
#include "install/installation.h"
#include "ui/control_surface.h"
#include "ui/interface_texts.h"

namespace brindorel {

// A ControlSurface that passes every call on and remembers what was shown,
// hidden, enabled and disabled. It starts as the wizard window is right after
// building: every control shown and enabled except InitiallyHiddenControls().
// Start-up work that hides or disables controls should go through it, so
// that the flow's picture matches the window.
class TrackedSurface : public ControlSurface {
 public:
  explicit TrackedSurface(ControlSurface& target);

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
  // Hiding or disabling the control that holds the focus (or the panel that
  // holds it) hands the focus to SensibleFocus, so that it is never lost.
  void Focus(int control) override;
  int FocusedControl() const override;

  // Gives the focus to SensibleFocus of what is shown and enabled.
  void FocusSensibly();

  // Shown itself and inside shown panels (by the layout table's parents).
  bool IsShown(int control) const;
  bool IsEnabled(int control) const;
  // Shown and enabled: a click on it may act.
  bool IsClickable(int control) const;

 private:
  static constexpr int kSlots = 64;
  bool Known(int control) const { return control > 0 && control < kSlots; }
  // After `control` went: moves the focus when it was held there.
  void KeepFocus(int control);

  ControlSurface& target_;
  bool shown_[kSlots];
  bool enabled_[kSlots];
};

// What the flow asks of the system.
class WizardActions {
 public:
  virtual ~WizardActions() = default;
  // Cancel and the close request: ends WhileBR.exe only when StartBR.exe is
  // in the working folder and the program still runs.
  virtual void StopWhileProgramOnCancel() = 0;
  // Finish: ends and releases WhileBR.exe when it still runs.
  virtual void StopWhileProgramOnFinish() = 0;
  // Removes the working folder's files and the folder (never called with an
  // empty path).
  virtual void DeleteWorkFolder(const std::string& workFolder) = 0;
  // The folder dialog with `prompt`, `startFolder` pre-selected; the chosen
  // folder ending in "\", or the empty text when cancelled.
  virtual std::string BrowseForFolder(const std::string& prompt, const std::string& startFolder) = 0;
  // The start-menu chooser's result: a folder, the field's text after its
  // error box, or the empty text when closed.
  virtual std::string ChooseStartMenuFolder() = 0;
  // Lets the window handle every waiting message without acting on any.
  virtual void ProcessWaitingEvents() = 0;
  // The installation sequence with the settled choices; fills ProgressList.
  virtual InstallationOutcome RunInstallation(const InstallChoices& choices) = 0;
  virtual void OpenWebLink() = 0;
  // A message box over the wizard; returns when it is closed.
  virtual void ShowMessage(const std::string& text) = 0;
};

class PageFlow {
 public:
  PageFlow(InstallerState& state, const InterfaceTexts& texts, TrackedSurface& surface,
           WizardActions& actions);

  // Acts on one event; events of other windows are ignored. When the event
  // changed the page, or left the focus where it cannot stay, the focus goes
  // to the page's sensible control (TrackedSurface::FocusSensibly).
  void Handle(const WizardEvent& event);

  bool InstallationStarted() const { return installStarted_; }

 private:
  void Act(const WizardEvent& event);
  void GoForward();
  void GoBack();
  void Install();
  void Finish();
  void Cancel();
  void CompleteInstallDir();
  void BrowseInstallDir();
  void CompleteMenuFolder();
  void ChooseMenuFolder();
  void HeaderToPage(int page);
  void EnterInstallPage(bool hideInfoPage);
  bool HasContent(int view) const;
  bool SettingsAcceptable();
  void ChangeScope(InstallScope scope);

  InstallerState& state_;
  const InterfaceTexts& texts_;
  TrackedSurface& surface_;
  WizardActions& actions_;
  InstallChoices choices_;  // as the settings page last settled them
  bool installStarted_ = false;
};

// The scope options of the settings page: shown, with the run's scope
// selected, only when the package lets the user choose and no switch decided
// it (state.scopeOpen); hidden otherwise.
void PresentScopeChoice(TrackedSurface& surface, const InstallerState& state);

// The install-folder field's text after the scope changed from `from` to
// `to`: the new scope's default when the field still holds the old one's (or
// is empty); what the user typed or browsed to stays.
std::string InstallDirForScope(const std::string& field, const Settings& settings, InstallScope from, InstallScope to);

// --- The completion rules of the settings page, on plain texts. ---

// InstallDirField losing the focus: the text with a "\" appended, then
// `subfolder` unless already contained; unchanged when it is contained. An
// empty text stays empty (it is set back to the default on Next).
std::string CompleteInstallDirText(const std::string& text, const std::string& subfolder);
// A browse result with `subfolder` appended unless it already ends with it
// (with or without a trailing "\"); the empty result stays empty.
std::string CompleteBrowseResult(const std::string& result, const std::string& subfolder);
// MenuFolderField losing the focus: empty gives `defaultMenuFolder`; a text
// that neither contains it nor already ends with its last part gets "\" (when
// missing) and `defaultMenuFolder`.
std::string CompleteMenuFolderText(const std::string& text, const std::string& defaultMenuFolder);
// A chooser result with the last part of `defaultMenuFolder` appended unless
// it already ends with it; the empty result stays empty.
std::string CompleteChooserResult(const std::string& result, const std::string& defaultMenuFolder);
// The last "\"-separated part (all of it without a "\").
std::string LastMenuFolderPart(const std::string& defaultMenuFolder);
// The folder pre-selected in the browse dialog: one trailing "\" removed when
// the path is longer than 3 characters ("C:\" stays).
std::string BrowseStartFolder(const std::string& defaultInstallDir);

}  // namespace brindorel

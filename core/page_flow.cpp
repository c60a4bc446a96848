#include "core/page_flow.h"

#include <algorithm>

#include "ui/wizard_focus.h"
#include "ui/wizard_layout.h"

namespace brindorel {

namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool EndsInBackslash(const std::string& text) { return !text.empty() && text.back() == '\\'; }

// An empty searched text counts as not contained.
bool Contains(const std::string& text, const std::string& searched) {
  return !searched.empty() && text.find(searched) != std::string::npos;
}

std::string WithBackslash(const std::string& text) { return EndsInBackslash(text) ? text : text + "\\"; }

}  // namespace

// --- TrackedSurface ---

TrackedSurface::TrackedSurface(ControlSurface& target) : target_(target) {
  std::fill(shown_, shown_ + kSlots, true);
  std::fill(enabled_, enabled_ + kSlots, true);
  for (int control : InitiallyHiddenControls())
    if (Known(control)) shown_[control] = false;
}

void TrackedSurface::Show(int control) {
  if (Known(control)) shown_[control] = true;
  target_.Show(control);
}

void TrackedSurface::Hide(int control) {
  if (Known(control)) shown_[control] = false;
  target_.Hide(control);
  KeepFocus(control);
}

void TrackedSurface::Enable(int control) {
  if (Known(control)) enabled_[control] = true;
  target_.Enable(control);
}

void TrackedSurface::Disable(int control) {
  if (Known(control)) enabled_[control] = false;
  target_.Disable(control);
  KeepFocus(control);
}

void TrackedSurface::Focus(int control) { target_.Focus(control); }
int TrackedSurface::FocusedControl() const { return target_.FocusedControl(); }

void TrackedSurface::FocusSensibly() {
  const int control = SensibleFocus([this](int c) { return IsClickable(c); },
                                    [this](int c) { return target_.GetState(c) != 0; });
  if (control != 0) target_.Focus(control);
}

void TrackedSurface::KeepFocus(int control) {
  int focused = target_.FocusedControl();
  if (focused == 0 || IsClickable(focused)) return;
  // Held by `control` itself or by a control inside it.
  for (int depth = 0; depth < 4 && focused != control; ++depth) {
    const ControlLayout* layout = FindWizardControl(focused);
    if (layout == nullptr || layout->parent == 0) return;
    focused = layout->parent;
  }
  if (focused == control) FocusSensibly();
}

void TrackedSurface::SetText(int control, const std::string& text) { target_.SetText(control, text); }
std::string TrackedSurface::GetText(int control) const { return target_.GetText(control); }
void TrackedSurface::SetState(int control, std::intptr_t state) { target_.SetState(control, state); }
std::intptr_t TrackedSurface::GetState(int control) const { return target_.GetState(control); }
void TrackedSurface::AddListLine(int control, int position, const std::string& text) {
  target_.AddListLine(control, position, text);
}
void TrackedSurface::SetListLine(int control, int position, const std::string& text) {
  target_.SetListLine(control, position, text);
}
void TrackedSurface::SetImage(int control, ImageHandle image) { target_.SetImage(control, image); }

bool TrackedSurface::IsShown(int control) const {
  // The layout's panels are one level deep; the bound only guards the walk.
  for (int depth = 0; depth < 4; ++depth) {
    if (!Known(control) || !shown_[control]) return false;
    const ControlLayout* layout = FindWizardControl(control);
    if (layout == nullptr || layout->parent == 0) return true;
    control = layout->parent;
  }
  return false;
}

bool TrackedSurface::IsEnabled(int control) const { return Known(control) && enabled_[control]; }

bool TrackedSurface::IsClickable(int control) const { return IsShown(control) && IsEnabled(control); }

// --- Completion rules ---

std::string CompleteInstallDirText(const std::string& text, const std::string& subfolder) {
  // An emptied field would otherwise become "\" + subfolder, a path on the
  // current drive's root; it is left empty and restored on Next.
  if (text.empty()) return text;
  const std::string closed = WithBackslash(text);
  return Contains(closed, subfolder) ? text : closed + subfolder;
}

std::string CompleteBrowseResult(const std::string& result, const std::string& subfolder) {
  if (result.empty()) return result;
  if (EndsWith(result, subfolder) || EndsWith(result, subfolder + "\\")) return result;
  return WithBackslash(result) + subfolder;
}

std::string LastMenuFolderPart(const std::string& defaultMenuFolder) {
  const std::size_t slash = defaultMenuFolder.rfind('\\');
  return slash == std::string::npos ? defaultMenuFolder : defaultMenuFolder.substr(slash + 1);
}

std::string CompleteMenuFolderText(const std::string& text, const std::string& defaultMenuFolder) {
  if (text.empty()) return defaultMenuFolder;
  if (Contains(text, defaultMenuFolder)) return text;
  // A text the chooser completed already ends with the default's last part
  // ("Games\Tool" for "Acme\Tool"); appending the whole default again would
  // nest the program's folder twice.
  const std::string last = LastMenuFolderPart(defaultMenuFolder);
  if (!last.empty() && EndsWith(text, last)) return text;
  return WithBackslash(text) + defaultMenuFolder;
}

std::string CompleteChooserResult(const std::string& result, const std::string& defaultMenuFolder) {
  if (result.empty()) return result;
  const std::string last = LastMenuFolderPart(defaultMenuFolder);
  if (EndsWith(result, last)) return result;
  return WithBackslash(result) + last;
}

std::string BrowseStartFolder(const std::string& defaultInstallDir) {
  if (defaultInstallDir.size() > 3 && EndsInBackslash(defaultInstallDir))
    return defaultInstallDir.substr(0, defaultInstallDir.size() - 1);
  return defaultInstallDir;
}

// --- PageFlow ---

PageFlow::PageFlow(InstallerState& state, const InterfaceTexts& texts, TrackedSurface& surface,
                   WizardActions& actions)
    : state_(state), texts_(texts), surface_(surface), actions_(actions) {}

void PageFlow::Handle(const WizardEvent& event) {
  const int page = state_.currentPage;
  Act(event);
  if (state_.quitRequested != 0) return;
  if (state_.currentPage != page || !surface_.IsClickable(surface_.FocusedControl())) surface_.FocusSensibly();
}

void PageFlow::Act(const WizardEvent& event) {
  if (event.window != WizardWindowNumber) return;
  // Once quitting, a second Cancel would stop and delete again.
  if (state_.quitRequested != 0) return;
  // Events reaching the flow while the installation runs are not acted on.
  if (installStarted_ && !state_.installationRan) return;

  switch (event.kind) {
    case WizardEvent::CloseRequest:
      Cancel();
      return;
    case WizardEvent::FocusLost:
      if (installStarted_) return;
      if (event.control == InstallDirField) CompleteInstallDir();
      if (event.control == MenuFolderField) CompleteMenuFolder();
      return;
    case WizardEvent::Click:
      break;
  }

  if (!surface_.IsClickable(event.control)) return;
  if (installStarted_ && event.control != FinishButton) return;
  switch (event.control) {
    case AcceptOption: surface_.Enable(NextButton); break;
    case DeclineOption: surface_.Disable(NextButton); break;
    case ScopeMachineOption: ChangeScope(InstallScope::Machine); break;
    case ScopeUserOption: ChangeScope(InstallScope::User); break;
    case NextButton: GoForward(); break;
    case BackButton: GoBack(); break;
    case CancelButton: Cancel(); break;
    case InstallButton: Install(); break;
    case FinishButton: Finish(); break;
    case InstallDirChange: BrowseInstallDir(); break;
    case MenuFolderChange: ChooseMenuFolder(); break;
    case WebLink: actions_.OpenWebLink(); break;
    default: break;
  }
}

bool PageFlow::HasContent(int view) const { return !surface_.GetText(view).empty(); }

void PageFlow::HeaderToPage(int page) {
  surface_.SetText(HeaderTitle, texts_.Get(PageHeaderTitle(page)));
  surface_.SetText(HeaderSubtitle, texts_.Get(PageHeaderSubtitle(page)));
}

void PageFlow::EnterInstallPage(bool hideInfoPage) {
  surface_.Hide(HeaderPanel);
  if (hideInfoPage) surface_.Hide(InfoPage);
  surface_.Show(InstallPage);
  surface_.Show(SideImage);
  surface_.Show(InstallButton);
  surface_.Show(FinishButton);
  surface_.Hide(NextButton);
  surface_.Hide(CancelButton);
}

// Leaving the settings page: an emptied folder field would install into a
// folder named only by the subfolder, so it falls back to the default; a
// folder that is not a program's own (a drive root, a system or user folder,
// the working folder) or a start-menu name that leaves the programs folder
// keeps the page, with a message naming the text.
bool PageFlow::SettingsAcceptable() {
  InstallChoices choices = ReadChoices(surface_);
  const bool emptied = choices.installFolder.empty();
  choices.scope = state_.scope;
  const ChoiceProblem problem = SettleChoices(choices, state_.settings, state_.protectedFolders, state_.machineFolders);
  if (emptied) surface_.SetText(InstallDirField, choices.installFolder);
  if (problem == ChoiceProblem::None) {
    choices_ = choices;
    return true;
  }
  const std::string& refused = problem == ChoiceProblem::InstallFolder ? choices.installFolder : choices.menuFolder;
  actions_.ShowMessage(texts_.Get(TextId::Page03BadFolder) + "\n\n" + refused);
  return false;
}

void PresentScopeChoice(TrackedSurface& surface, const InstallerState& state) {
  for (int option : {ScopeMachineOption, ScopeUserOption}) {
    if (!state.scopeOpen) {
      surface.Hide(option);
      continue;
    }
    const InstallScope meant = option == ScopeMachineOption ? InstallScope::Machine : InstallScope::User;
    surface.SetState(option, state.scope == meant ? 1 : 0);
    surface.Show(option);
  }
}

std::string InstallDirForScope(const std::string& field, const Settings& settings, InstallScope from, InstallScope to) {
  if (from == to) return field;
  if (!field.empty() && field != DefaultInstallDir(settings, from)) return field;
  return DefaultInstallDir(settings, to);
}

// A click on a scope option (the radio button has already selected itself).
void PageFlow::ChangeScope(InstallScope scope) {
  if (!state_.scopeOpen || scope == state_.scope) return;
  const std::string field = surface_.GetText(InstallDirField);
  const std::string moved = InstallDirForScope(field, state_.settings, state_.scope, scope);
  state_.scope = scope;
  if (moved != field) surface_.SetText(InstallDirField, moved);
}

void PageFlow::GoForward() {
  if (state_.currentPage == 3 && !SettingsAcceptable()) return;

  const int next = state_.currentPage + 1;
  state_.currentPage = static_cast<std::int8_t>(std::min(next, 5));
  switch (next) {
    case 2:
      surface_.Hide(WelcomePage);
      surface_.Hide(SideImage);
      surface_.Show(HeaderPanel);
      surface_.Show(BackButton);
      if (HasContent(LicenceView)) {
        surface_.Show(LicencePage);
        if (surface_.GetState(AcceptOption) != 0)
          surface_.Enable(NextButton);
        else
          surface_.Disable(NextButton);
        HeaderToPage(2);
      } else {
        state_.currentPage = 3;
        surface_.Show(SettingsPage);
        HeaderToPage(3);
      }
      break;
    case 3:
      surface_.Hide(LicencePage);
      surface_.Show(SettingsPage);
      HeaderToPage(3);
      break;
    case 4:
      surface_.Hide(SettingsPage);
      if (HasContent(ReadmeView)) {
        surface_.Show(InfoPage);
        HeaderToPage(4);
      } else {
        state_.currentPage = 5;
        EnterInstallPage(false);
      }
      break;
    case 5:
      EnterInstallPage(true);
      break;
    default:
      state_.currentPage = 5;
      break;
  }
}

void PageFlow::GoBack() {
  const int previous = state_.currentPage - 1;
  state_.currentPage = static_cast<std::int8_t>(std::max(previous, 1));
  switch (previous) {
    case 1:
      surface_.Hide(HeaderPanel);
      surface_.Hide(LicencePage);
      surface_.Show(WelcomePage);
      surface_.Show(SideImage);
      surface_.Hide(BackButton);
      surface_.Enable(NextButton);
      break;
    case 2:
      surface_.Hide(SettingsPage);
      if (HasContent(LicenceView)) {
        surface_.Show(LicencePage);
        HeaderToPage(2);
      } else {
        state_.currentPage = 1;
        surface_.Hide(HeaderPanel);
        surface_.Show(WelcomePage);
        surface_.Show(SideImage);
        surface_.Hide(BackButton);
      }
      break;
    case 3:
      surface_.Hide(InfoPage);
      surface_.Show(SettingsPage);
      HeaderToPage(3);
      break;
    case 4:
      surface_.Hide(InstallPage);
      surface_.Hide(SideImage);
      surface_.Hide(FinishButton);
      surface_.Hide(InstallButton);
      surface_.Show(NextButton);
      surface_.Show(CancelButton);
      surface_.Show(HeaderPanel);
      if (HasContent(ReadmeView)) {
        surface_.Show(InfoPage);
      } else {
        state_.currentPage = 3;
        surface_.Show(SettingsPage);
        HeaderToPage(3);
      }
      break;
    default:
      state_.currentPage = 1;
      break;
  }
}

void PageFlow::Install() {
  installStarted_ = true;
  surface_.Hide(InstallHint);
  surface_.Show(InstallStatus);
  surface_.Show(ProgressList);
  surface_.Hide(BackButton);
  surface_.Hide(InstallButton);
  surface_.Show(RunProgramBox);
  actions_.ProcessWaitingEvents();
  const InstallationOutcome outcome = actions_.RunInstallation(choices_);
  state_.installFolder = outcome.installFolder;
  state_.installationIncomplete = !outcome.complete;
  state_.packageDamaged = outcome.packageDamaged;
  state_.installationRan = true;
  surface_.SetText(InstallTitle, texts_.Get(TextId::Page05Titel2));
  surface_.SetText(InstallStatus,
                   texts_.Get(state_.packageDamaged            ? TextId::InstallDamaged
                             : state_.installationIncomplete ? TextId::InstallFailed
                                                             : TextId::Page05Ready));
}

void PageFlow::Finish() {
  actions_.StopWhileProgramOnFinish();
  // Before the installation there is nothing installed to start.
  state_.startProgramAtExit =
      (state_.installationRan && surface_.GetState(RunProgramBox) != 0) ? 1 : 0;
  state_.quitRequested = 1;
}

void PageFlow::Cancel() {
  actions_.StopWhileProgramOnCancel();
  if (!state_.workFolder.empty()) actions_.DeleteWorkFolder(state_.workFolder);
  state_.startProgramAtExit = 0;
  state_.quitRequested = 1;
}

void PageFlow::CompleteInstallDir() {
  const std::string text = surface_.GetText(InstallDirField);
  const std::string completed = CompleteInstallDirText(text, state_.settings.programSubfolder);
  if (completed != text) surface_.SetText(InstallDirField, completed);
}

void PageFlow::BrowseInstallDir() {
  const std::string result = actions_.BrowseForFolder(texts_.Get(TextId::RequesterRQ2Titel),
                                                      BrowseStartFolder(DefaultInstallDir(state_.settings, state_.scope)));
  if (result.empty()) return;
  surface_.SetText(InstallDirField, CompleteBrowseResult(result, state_.settings.programSubfolder));
}

void PageFlow::CompleteMenuFolder() {
  const std::string text = surface_.GetText(MenuFolderField);
  const std::string completed = CompleteMenuFolderText(text, state_.settings.defaultMenuFolder);
  if (completed != text) surface_.SetText(MenuFolderField, completed);
}

void PageFlow::ChooseMenuFolder() {
  const std::string result = actions_.ChooseStartMenuFolder();
  if (result.empty()) return;
  surface_.SetText(MenuFolderField, CompleteChooserResult(result, state_.settings.defaultMenuFolder));
}

}  // namespace brindorel

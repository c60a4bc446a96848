#include <windows.h>

#include <shlobj.h>

#include <cstring>

#include "core/companions.h"
#include "core/installer.h"
#include "core/page_flow.h"
#include "install/installation.h"
#include "resources/resource_ids.h"
#include "services/file_system.h"
#include "services/folders.h"
#include "services/ini_file.h"
#include "services/process_runner.h"
#include "services/registry.h"
#include "services/text.h"
#include "services/wide_win.h"
#include "ui/control_surface.h"
#include "ui/document_view.h"
#include "ui/dpi_scale.h"
#include "ui/image_slots.h"
#include "ui/interface_texts.h"
#include "ui/language_chooser.h"
#include "ui/start_menu_chooser.h"
#include "ui/wizard_window.h"

namespace brindorel {
namespace {


// The built-in header icon: the 32 x 32 image of our own icon resource, which
// is also the program's icon; above 96 DPI the resource's image closest to
// 32 x 32 scaled.
ImageSlot LoadBuiltInHeaderIcon() {
  ImageSlot slot;
  const int size = ScaleForDpi(32, SystemDpi());
  HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_HEADER_ICON), IMAGE_ICON, size, size,
                           LR_DEFAULTCOLOR);
  if (icon == nullptr) return slot;
  slot.handle = reinterpret_cast<ImageHandle>(icon);
  slot.icon = true;
  slot.width = 32;
  slot.height = 32;
  slot.bits = 32;
  return slot;
}

}  // namespace

InterfaceTexts LoadTextsFile(const InstallerState& state, const std::string& file) {
  OpenIniFile(state.workFolder + file);
  InterfaceTexts texts = LoadInterfaceTexts(CurrentIniDocument(), state.settings.titel, state.settings.version);
  CloseIniFile();
  return texts;
}

void ReadSecondPass(InstallerState& state, ControlSurface& surface) {
  OpenIniFile(state.settingsPath);
  ReadSecondSettings(CurrentIniDocument(), state.settings,
                     [](const std::string& text) { return ExpandFolderPlaceholders(text); },
                     GetSpecialFolder(kLocalAppDataFolderId));
  CloseIniFile();
  // A package that lets the user choose may become a per-user installation on the settings page.
  if (state.scope == InstallScope::User || state.scopeOpen)
    state.machineFolders = LookUpMachineFolders([](std::int32_t id) { return GetSpecialFolder(id); });
  ApplySecondPassControls(surface, DecideSecondPassControls(state.settings));
}

// The previous installation's choices, remembered under the product key.
void ReadPreviousChoices(InstallerState& state, ControlSurface& surface) {
  state.productKey = std::string(kProductKeyBase) + state.settings.guid;
  std::string installDir = ReadRegistryText(kCurrentUser, state.productKey, "InstallDir");
  std::string startMenu = ReadRegistryText(kCurrentUser, state.productKey, "StartMenu");
  std::string desktopIcon = ReadRegistryText(kCurrentUser, state.productKey, "DesktopIcon");
  // A folder remembered from a machine installation is no per-user one's default.
  if (state.scope == InstallScope::User && IsInMachineFolder(installDir, state.machineFolders)) installDir.clear();
  surface.SetText(InstallDirField, installDir.empty() ? DefaultInstallDir(state.settings, state.scope) : installDir);
  surface.SetText(MenuFolderField, startMenu.empty() ? state.settings.defaultMenuFolder : startMenu);
  std::int32_t desktop = desktopIcon.empty() ? state.settings.desktop : TextToNumber(desktopIcon);
  surface.SetState(DesktopIconBox, desktop != 0 ? 1 : 0);
}

namespace {

// The system's side of the page flow.
class WindowsWizardActions : public WizardActions {
 public:
  WindowsWizardActions(InstallerState& state, const InterfaceTexts& texts, WizardWindowSurface& window,
                       ControlSurface& surface)
      : state_(state), texts_(texts), window_(window), surface_(surface) {}

  void StopWhileProgramOnCancel() override { brindorel::StopWhileProgramOnCancel(state_); }

  void StopWhileProgramOnFinish() override {
    finished_ = true;
    brindorel::StopWhileProgramOnFinish(state_);
  }

  // Called after WhileBR.exe was stopped (or left running by the rules).
  void DeleteWorkFolder(const std::string& workFolder) override { brindorel::DeleteWorkFolder(workFolder); }

  // The wizard ended through Finish, the only end after which AfterBR.exe
  // runs (Cancel and the close request have deleted the working folder).
  bool Finished() const { return finished_; }

  std::string BrowseForFolder(const std::string& prompt, const std::string& startFolder) override {
    BrowseRequest request{Wide(startFolder)};
    const std::wstring title = Wide(prompt);
    BROWSEINFOW info{};
    info.hwndOwner = static_cast<HWND>(window_.WindowHandle());
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&request);
    std::string result;
    CoInitialize(nullptr);
    LPITEMIDLIST chosen = SHBrowseForFolderW(&info);
    if (chosen != nullptr) {
      // The dialog's paths are plain paths of at most MAX_PATH units.
      wchar_t path[MAX_PATH + 1] = {};
      // An item without a file-system path leaves the field unchanged.
      if (SHGetPathFromIDListW(chosen, path) && path[0] != L'\0') {
        result = NarrowUntilZero(path, MAX_PATH);
        if (result.back() != '\\') result += '\\';
      }
      CoTaskMemFree(chosen);
    }
    CoUninitialize();
    // Clicks that reached the wizard while the dialog was open are dropped.
    window_.ProcessPendingMessages();
    return result;
  }

  void ShowMessage(const std::string& text) override {
    MessageBoxW(static_cast<HWND>(window_.WindowHandle()), Wide(text).c_str(), Wide(state_.settings.titel).c_str(),
                MB_OK | MB_ICONWARNING);
    window_.ProcessPendingMessages();
  }

  std::string ChooseStartMenuFolder() override {
    const std::string chosen = RunStartMenuChooser(texts_, StartMenuRoots(), window_.GetText(MenuFolderField),
                                                   window_.WindowHandle());
    // The wizard does not act on what arrived while the chooser was open.
    window_.ProcessPendingMessages();
    return chosen;
  }

  // The flow lets waiting events pass only as the installation starts: from
  // here on a close request is kept for after it (RunInstallation below).
  void ProcessWaitingEvents() override {
    window_.HoldCloseRequests(true);
    window_.ProcessPendingMessages();
  }

  // Progress lines and the RunProgramBox go through the page flow's surface,
  // so that its picture of the controls stays true.
  InstallationOutcome RunInstallation(const InstallChoices& choices) override {
    // Clicks during the installation are dropped; a close request is acted
    // on once it has finished.
    window_.HoldCloseRequests(true);
    const InstallationOutcome outcome =
        brindorel::RunInstallation({state_.settings, choices, state_.workFolder}, texts_, surface_,
                                   [this] { window_.ProcessPendingMessages(); });
    window_.ProcessPendingMessages();
    window_.HoldCloseRequests(false);
    return outcome;
  }

  void OpenWebLink() override {
    // RunDll32.exe by its full path in the system folder, never through the search path.
    const std::string system = GetSpecialFolder(kSystemFolderId);
    if (system.empty()) return;
    const std::string program = system + "rundll32.exe";
    StartProgram(program, "Url.dll,FileProtocolHandler " + window_.GetText(WebLink), "", 0);
  }

 private:
  struct BrowseRequest {
    std::wstring startFolder;
  };

  static int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED) {
      auto* request = reinterpret_cast<BrowseRequest*>(data);
      SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(request->startFolder.c_str()));
    }
    return 0;
  }

  InstallerState& state_;
  const InterfaceTexts& texts_;
  WizardWindowSurface& window_;
  ControlSurface& surface_;
  bool finished_ = false;
};

}  // namespace

WizardOutcome RunWizard(InstallerState& state) {
  // 1. The language and the interface texts.
  InterfaceTexts texts = LoadTextsFile(
      state, ChooseLanguageFile(state.settings.language, GetUserDefaultLangID(), RunLanguageChooser));

  // 2. BeforeBR.exe may end the installer before any window exists.
  if (RunBeforeProgram(state)) return WizardOutcome::EndAtOnce;

  // 3. The built-in header icon, then the window. The slots outlive the
  // window, whose controls show their images to the end.
  ImageSlots images;
  images.Put(kHeaderIconSlot, LoadBuiltInHeaderIcon());
  std::unique_ptr<WizardWindowSurface> window = BuildWizardWindow(
      texts, state.settings.titel, state.settings.version, images.Get(kHeaderIconSlot).handle);
  if (!window) return WizardOutcome::NoWindow;

  // 4.
  state.targetRunning = 0;
  state.quitRequested = 0;

  // 5.-11. Pictures, documents, the second settings pass, the previous
  // choices, the separator. They go through the tracked surface, so the page
  // flow knows what is shown.
  TrackedSurface surface(*window);
  LoadPackagePictures(images, surface, state.workFolder);
  LoadPackageDocuments(*window, surface, state.workFolder);
  ReadSecondPass(state, surface);
  ReadPreviousChoices(state, surface);
  PresentScopeChoice(surface, state);
  window->AddSeparator();

  // 12. Is the program to install running? The warning's Cancel has deleted
  // the working folder and set the quit flag.
  RunningCheck(state, texts, window->WindowHandle());
  window->ProcessPendingMessages();

  // The folders the settings page refuses as install folders.
  state.protectedFolders =
      LookUpProtectedFolders([](std::int32_t id) { return GetSpecialFolder(id); }, state.workFolder,
                             GetLongPathOf);

  // 13. WhileBR.exe beside the wizard, unless the run already ends.
  if (state.quitRequested == 0) StartWhileProgram(state);

  WindowsWizardActions actions(state, texts, *window, surface);
  PageFlow flow(state, texts, surface, actions);
  surface.FocusSensibly();  // Next, for the keyboard

  // 14. The event loop; the quit flag is tested before each wait.
  while (state.quitRequested == 0) {
    WizardEvent event{};
    if (!window->WaitForEvent(event)) break;
    flow.Handle(event);
  }

  // 15. E0: close the window.
  window.reset();

  // 16. E1: AfterBR.exe, only when the wizard ended through Finish.
  if (actions.Finished()) RunAfterProgram(state);
  // A WhileBR.exe left running keeps running; only our handles go.
  ReleaseProgram(state.whileProgram);
  state.whileProgram = 0;
  return WizardOutcome::Completed;
}

}  // namespace brindorel

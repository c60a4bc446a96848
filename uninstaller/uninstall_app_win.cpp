// The run of Uninstall.exe. The program started from the installation
// folder cannot delete its own running image, so it only checks the record,
// copies itself to the temporary folder and starts the copy there (with the
// folder as argument and the temporary folder as current folder), then waits
// for the copy's result on a pipe and ends with it. The copy asks, checks
// again, removes, hands the result over, waits for the original to end and
// then takes "Uninstall.exe" and the folder as well.
#include <windows.h>

#include "services/running_programs.h"
#include "services/file_system.h"
#include "services/folders.h"
#include "services/ini_file.h"
#include "services/elevation.h"
#include "services/private_folder.h"
#include "services/process_runner.h"
#include "services/text.h"
#include "services/wide_win.h"
#include "ui/dpi_scale.h"
#include "uninstaller/uninstall_window.h"
#include "uninstaller/uninstall_win.h"

namespace brindorel {
namespace {

constexpr DWORD kOriginWaitMilliseconds = 30000;

std::string OwnImagePath() { return GetOwnProgramPath(); }

// The record of `folder`; false when there is none.
bool LoadRecord(const std::string& folder, UninstallData& data) {
  const bool found = OpenIniFile(WithTrailingSeparator(folder) + "uninstall.dat") != 0;
  data = ReadUninstallData(CurrentIniDocument());
  CloseIniFile();  // never changed, so never written
  // Outside ProgDir only what the protected copy agrees with.
  if (found && !data.progDir.empty()) {
    data.protectedCopy = FindProtectedRecord(data.progDir);
    KeepOnlyProtected(data);
  }
  return found;
}

void ShowError(HWND owner, const UninstallData& data, TextId text, const std::string& detail) {
  std::string message = UninstallText(data, text);
  if (!detail.empty()) message += "\n" + detail;
  MessageBoxW(owner, Wide(message).c_str(), Wide(UninstallText(data, TextId::UninstallerTitel)).c_str(),
              MB_OK | MB_ICONERROR);
}

// The copy's result for the original, on the pipe that is its standard
// output; the pipe is closed so that the original's read ends.
void HandOver(std::uint32_t code) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  const char digit = static_cast<char>('0' + code);
  DWORD written = 0;
  WriteFile(out, &digit, 1, &written, nullptr);
  CloseHandle(out);
  SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
}

std::uint32_t CodeOf(const RemovalOutcome& outcome) {
  return outcome.Complete() ? kUninstallDone : kUninstallIncomplete;
}

// The removal system that keeps the window painted between steps.
class PumpingRemovalSystem : public WindowsRemovalSystem {
 public:
  void Progress() override {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
};

// Everything the copy does once the user (or /S) said yes.
class CopyRun {
 public:
  // The original is opened at once: once it has ended, its process id may
  // name another process.
  CopyRun(const UninstallArguments& arguments, const UninstallData& data)
      : data_(data), origin_(OpenProcess(SYNCHRONIZE, FALSE, arguments.originProcess)) {}
  ~CopyRun() {
    if (origin_ != nullptr) CloseHandle(origin_);
  }
  CopyRun(const CopyRun&) = delete;
  CopyRun& operator=(const CopyRun&) = delete;

  std::uint32_t Remove(bool delAll) {
    PumpingRemovalSystem system;
    RemovalOutcome outcome;
    RemoveInstallation(system, data_, SystemRemovalContext(), delAll, outcome);
    FinishWithOrigin(system, CodeOf(outcome), outcome);
    left_ = outcome.left;
    return CodeOf(outcome);
  }

  // Hands `code` to the original, waits for it to end, then removes what
  // it kept in use.
  void FinishWithOrigin(RemovalSystem& system, std::uint32_t code, RemovalOutcome& outcome) {
    HandOver(code);
    if (origin_ != nullptr) WaitForSingleObject(origin_, kOriginWaitMilliseconds);
    FinishRemoval(system, data_, outcome);
    // The copy itself goes at the next restart, and after it the private
    // folder the original made for it.
    const std::string image = OwnImagePath();
    system.ScheduleDeletion(image);
    std::string folder = PathFolderPart(image);
    if (!folder.empty()) folder.pop_back();
    if (IsRandomFolderName(folder.substr(folder.find_last_of('\\') + 1), kUninstallCopyFolderName))
      system.ScheduleDeletion(folder);
  }

  const std::vector<std::string>& left() const { return left_; }

 private:
  const UninstallData& data_;
  HANDLE origin_;
  std::vector<std::string> left_;
};

// The running check with the Error box: Retry looks again.
class UninstallRunningCheck : public RunningCheckSystem {
 public:
  UninstallRunningCheck(const UninstallData& data, HWND owner, bool silent)
      : data_(data), owner_(owner), silent_(silent) {}
  bool TargetIsRunning() override { return InstalledProgramRuns(data_); }
  bool WarningAnsweredOk() override {
    if (silent_) return false;
    std::string message = UninstallText(data_, TextId::UninstallerError) + "\n" + data_.progName;
    return MessageBoxW(owner_, Wide(message).c_str(), Wide(UninstallText(data_, TextId::UninstallerTitel)).c_str(),
                       MB_RETRYCANCEL | MB_ICONWARNING) == IDRETRY;
  }

 private:
  const UninstallData& data_;
  HWND owner_;
  bool silent_;
};

// ---- The window ----

enum class WindowState { Asking, Working, Done };

struct WindowRun {
  CopyRun* run = nullptr;
  const UninstallData* data = nullptr;
  WindowState state = WindowState::Asking;
  std::uint32_t code = kUninstallStopped;
  bool handedOver = false;
  int dpi = kLayoutDpi;
  HFONT font = nullptr;  // the GUI font at `dpi`
};

constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// WM_DPICHANGED (Windows 8.1 and later).
constexpr UINT kDpiChanged = 0x02E0;

// The client area and the controls at 96 DPI.
constexpr int kClientWidth = 420;
constexpr int kClientHeight = 250;
struct ControlPlace {
  int number;
  PixelRect place;
};
constexpr ControlPlace kPlaces[] = {
    {kUninstallInfoLabel, {16, 14, 388, 18}},    {kUninstallNameLabel, {32, 38, 372, 18}},
    {kUninstallMessageLabel, {16, 64, 388, 32}}, {kUninstallDelAllBox, {16, 100, 388, 20}},
    {kUninstallStatusLabel, {16, 128, 388, 76}}, {kUninstallOkButton, {228, 212, 84, 26}},
    {kUninstallCancelButton, {320, 212, 84, 26}},
};

// The client area, the controls and their font at the window's resolution.
void LayOut(HWND window, WindowRun& w) {
  RECT client;
  RECT frame;
  if (GetClientRect(window, &client) && GetWindowRect(window, &frame)) {
    const int width = ScaleForDpi(kClientWidth, w.dpi);
    const int height = ScaleForDpi(kClientHeight, w.dpi);
    if (client.right != width || client.bottom != height)
      SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left + width - client.right,
                   frame.bottom - frame.top + height - client.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  HFONT font = static_cast<HFONT>(GuiFontForDpi(w.dpi));
  for (const ControlPlace& c : kPlaces) {
    HWND control = GetDlgItem(window, c.number);
    if (!control) continue;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    const PixelRect r = ScaleRectForDpi(c.place, w.dpi);
    SetWindowPos(control, nullptr, r.x, r.y, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (w.font) DeleteObject(w.font);
  w.font = font;
}

HWND Control(HWND window, int number) { return GetDlgItem(window, number); }

void SetText(HWND window, int number, const std::string& text) {
  SetWindowTextW(Control(window, number), Wide(text).c_str());
}

void StartWork(HWND window, WindowRun& w) {
  const UninstallData& data = *w.data;
  UninstallRunningCheck check(data, window, false);
  if (RunRunningCheck(check).cancelled) {
    w.code = kUninstallStopped;
    DestroyWindow(window);
    return;
  }
  const bool delAll =
      !data.noDelAll && SendMessageW(Control(window, kUninstallDelAllBox), BM_GETCHECK, 0, 0) == BST_CHECKED;
  w.state = WindowState::Working;
  EnableWindow(Control(window, kUninstallOkButton), FALSE);
  EnableWindow(Control(window, kUninstallCancelButton), FALSE);
  EnableWindow(Control(window, kUninstallDelAllBox), FALSE);
  SetText(window, kUninstallStatusLabel, UninstallText(data, TextId::UninstallerStatus));
  w.code = w.run->Remove(delAll);
  w.handedOver = true;
  std::string status = UninstallText(data, TextId::UninstallerReady);
  for (const std::string& path : w.run->left()) status += "\n" + path;
  SetText(window, kUninstallStatusLabel, status);
  ShowWindow(Control(window, kUninstallCancelButton), SW_HIDE);
  EnableWindow(Control(window, kUninstallOkButton), TRUE);
  // The disabled OK button lost the focus: the keyboard gets it back there.
  SetFocus(Control(window, kUninstallOkButton));
  w.state = WindowState::Done;
}

LRESULT CALLBACK UninstallWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* w = reinterpret_cast<WindowRun*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE: {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      break;
    }
    case WM_COMMAND:
      if (w == nullptr || HIWORD(wParam) != BN_CLICKED) break;
      // Under Wine a click reaches disabled buttons too: the state decides.
      if (LOWORD(wParam) == kUninstallOkButton) {
        if (w->state == WindowState::Asking) {
          StartWork(window, *w);
        } else if (w->state == WindowState::Done) {
          DestroyWindow(window);
        }
      } else if (LOWORD(wParam) == kUninstallCancelButton && w->state == WindowState::Asking) {
        w->code = kUninstallStopped;
        DestroyWindow(window);
      }
      return 0;
    case WM_CLOSE:
      if (w != nullptr && w->state != WindowState::Working) DestroyWindow(window);
      return 0;
    case kDpiChanged:
      if (w != nullptr) {
        // Another monitor: the suggested frame as it is, the rest laid out anew.
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        w->dpi = HIWORD(wParam);
        if (suggested)
          SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        LayOut(window, *w);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// Placed and given its font by LayOut.
HWND AddControl(HWND parent, const wchar_t* type, DWORD style, int number, const std::string& text) {
  return CreateWindowExW(0, type, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(number)), GetModuleHandleW(nullptr), nullptr);
}

std::uint32_t RunWindow(CopyRun& run, const UninstallData& data) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = UninstallWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(100));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  const std::wstring className = Wide(kUninstallWindowClass);
  windowClass.lpszClassName = className.c_str();
  RegisterClassW(&windowClass);

  WindowRun w;
  w.run = &run;
  w.data = &data;
  HWND window = CreateWindowExW(0, className.c_str(), Wide(UninstallText(data, TextId::UninstallerTitel)).c_str(),
                                kWindowStyle, 0, 0, kClientWidth, kClientHeight, nullptr, nullptr, instance, &w);
  if (window == nullptr) return kUninstallIncomplete;
  // Sized for its monitor's resolution, centred on the screen.
  w.dpi = WindowDpi(window);
  const PixelRect frame =
      FrameForClient(ScaleForDpi(kClientWidth, w.dpi), ScaleForDpi(kClientHeight, w.dpi), kWindowStyle, 0, w.dpi);
  SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - frame.width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - frame.height) / 2, frame.width, frame.height,
               SWP_NOZORDER | SWP_NOACTIVATE);
  AddControl(window, L"STATIC", SS_LEFT, kUninstallInfoLabel, UninstallText(data, TextId::UninstallerUninstInfo));
  AddControl(window, L"STATIC", SS_LEFT, kUninstallNameLabel, data.progName + " " + data.version);
  AddControl(window, L"STATIC", SS_LEFT, kUninstallMessageLabel, UninstallText(data, TextId::UninstallerMsg));
  if (!data.noDelAll) {
    // Unchecked: the user's own files stay unless asked for.
    AddControl(window, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, kUninstallDelAllBox,
               UninstallText(data, TextId::UninstallerDelAll));
  }
  AddControl(window, L"STATIC", SS_LEFT, kUninstallStatusLabel, "");
  AddControl(window, L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, kUninstallOkButton,
             UninstallText(data, TextId::UninstallerOK));
  AddControl(window, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, kUninstallCancelButton,
             UninstallText(data, TextId::UninstallerCancel));
  LayOut(window, w);
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  // The keyboard starts at OK (Enter); Esc is Cancel, Tab goes round.
  SetFocus(GetDlgItem(window, kUninstallOkButton));

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (w.font) DeleteObject(w.font);
  if (!w.handedOver) HandOver(w.code);
  return w.code;
}

// ---- The two processes ----

std::uint32_t RunCopy(const UninstallArguments& arguments) {
  UninstallData data;
  const bool found = LoadRecord(arguments.folder, data);
  // The folder came on a command line: it gets every check again.
  const RecordProblem problem = CheckRecord(found, data, arguments.folder, SystemProtectedFolders());
  if (problem != RecordProblem::None) {
    if (!arguments.silent) ShowError(nullptr, data, TextId::UninstallerError2, RecordProblemPath(problem, data, arguments.folder));
    HandOver(kUninstallIncomplete);
    return kUninstallIncomplete;
  }
  CopyRun run(arguments, data);
  if (!arguments.silent) return RunWindow(run, data);
  if (InstalledProgramRuns(data)) {
    HandOver(kUninstallStopped);
    return kUninstallStopped;
  }
  return run.Remove(false);
}

std::uint32_t RunOriginal(const UninstallArguments& arguments) {
  const std::string image = OwnImagePath();
  const std::string folder = PathFolderPart(image);
  UninstallData data;
  const bool found = !folder.empty() && LoadRecord(folder, data);
  const RecordProblem problem = CheckRecord(found, data, folder, SystemProtectedFolders());
  if (problem != RecordProblem::None) {
    if (!arguments.silent) ShowError(nullptr, data, TextId::UninstallerError2, RecordProblemPath(problem, data, folder));
    return kUninstallIncomplete;
  }
  // A machine installation is removed with administrator rights: asked for
  // once, by an elevated original that does the whole run. A per-user one
  // never asks.
  if (data.scope == InstallScope::Machine && !ProcessIsElevated()) {
    std::uint32_t code = kUninstallIncomplete;
    switch (RunElevatedAndWait(image, arguments.silent ? "/S" : "", nullptr, code)) {
      case ElevatedStart::Ran:
        return code;
      case ElevatedStart::Refused:
        return kUninstallStopped;
      case ElevatedStart::Failed:
        return kUninstallIncomplete;
    }
  }
  // The copy runs from a new folder only this account (and the system and
  // the administrators) can enter: no one can swap it before it starts.
  const std::string temp = PrivateTempParent();
  const std::uint32_t self = GetCurrentProcessId();
  const std::string copyFolder =
      temp.empty() || IsBelowFolder(temp, folder) ? "" : CreatePrivateFolder(temp, kUninstallCopyFolderName, false, true);
  const std::string copy = copyFolder + "Uninstall.exe";
  if (copyFolder.empty() || CopyOneFile(image, copy) == 0) {
    if (!copyFolder.empty()) RemoveFolderTree(copyFolder);
    if (!arguments.silent) ShowError(nullptr, data, TextId::UninstallerError, copy);
    return kUninstallIncomplete;
  }
  const ProgramHandle program = StartProgram(copy, CopyArguments(arguments.silent, self, folder), copyFolder,
                                             StartKeep | StartReadOutput);
  if (program == 0) {
    RemoveFolderTree(copyFolder);
    if (!arguments.silent) ShowError(nullptr, data, TextId::UninstallerError, copy);
    return kUninstallIncomplete;
  }
  // One digit, written when the copy has done its part; a copy that ends
  // without it failed.
  std::string result;
  while (result.empty()) {
    result = ReadProgramOutput(program, true);
    if (result.empty() && IsStillRunning(program) == 0) break;
    if (result.empty()) Sleep(50);  // the pipe is closed but the copy still ends
  }
  ReleaseProgram(program);
  if (result.empty() || result[0] < '0' || result[0] > '2') return kUninstallIncomplete;
  return static_cast<std::uint32_t>(result[0] - '0');
}

}  // namespace

std::uint32_t RunUninstaller(const std::string& commandLine) {
  const UninstallArguments arguments = ParseUninstallArguments(commandLine);
  return arguments.isCopy ? RunCopy(arguments) : RunOriginal(arguments);
}

}  // namespace brindorel

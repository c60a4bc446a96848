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
#include "services/process_runner.h"
#include "services/text.h"
#include "services/wide_win.h"
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
    // The copy itself goes at the next restart.
    system.ScheduleDeletion(OwnImagePath());
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
};

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
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND AddControl(HWND parent, const wchar_t* type, DWORD style, int number, const std::string& text, int x, int y,
                int width, int height) {
  HWND control = CreateWindowExW(0, type, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                                 parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(number)),
                                 GetModuleHandleW(nullptr), nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return control;
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
  const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT frame = {0, 0, 420, 250};
  AdjustWindowRect(&frame, style, FALSE);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  HWND window = CreateWindowExW(0, className.c_str(), Wide(UninstallText(data, TextId::UninstallerTitel)).c_str(),
                                style, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr, nullptr,
                                instance, &w);
  if (window == nullptr) return kUninstallIncomplete;
  AddControl(window, L"STATIC", SS_LEFT, kUninstallInfoLabel, UninstallText(data, TextId::UninstallerUninstInfo), 16,
             14, 388, 18);
  AddControl(window, L"STATIC", SS_LEFT, kUninstallNameLabel, data.progName + " " + data.version, 32, 38, 372, 18);
  AddControl(window, L"STATIC", SS_LEFT, kUninstallMessageLabel, UninstallText(data, TextId::UninstallerMsg), 16, 64,
             388, 32);
  if (!data.noDelAll) {
    // Unchecked: the user's own files stay unless asked for.
    AddControl(window, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, kUninstallDelAllBox,
               UninstallText(data, TextId::UninstallerDelAll), 16, 100, 388, 20);
  }
  AddControl(window, L"STATIC", SS_LEFT, kUninstallStatusLabel, "", 16, 128, 388, 76);
  AddControl(window, L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, kUninstallOkButton,
             UninstallText(data, TextId::UninstallerOK), 228, 212, 84, 26);
  AddControl(window, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, kUninstallCancelButton,
             UninstallText(data, TextId::UninstallerCancel), 320, 212, 84, 26);
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
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
  const std::string temp = GetTempFolder();
  const std::uint32_t self = GetCurrentProcessId();
  const std::string copy = temp + "BrindorelUninstall" + UnsignedToText(self) + ".exe";
  if (temp.empty() || IsBelowFolder(temp, folder) || CopyOneFile(image, copy) == 0) {
    if (!arguments.silent) ShowError(nullptr, data, TextId::UninstallerError, copy);
    return kUninstallIncomplete;
  }
  const ProgramHandle program = StartProgram(copy, CopyArguments(arguments.silent, self, folder), temp,
                                             StartKeep | StartReadOutput);
  if (program == 0) {
    DeleteFileW(WidePath(copy).c_str());
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

// A small driver for whole-installer runs under Wine: starts a program, finds
// its top-level windows and their numbered controls (searching all child
// windows, since controls sit inside panels), reads what a person would see,
// clicks, types, answers message boxes and takes screenshots. Texts and paths
// are UTF-8, as in the programs; every call goes to the system in UTF-16.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace brindorel::e2e {

struct ControlInfo {
  HWND handle = nullptr;
  int number = 0;
  std::string className;
  std::string text;
  bool visible = false;     // the control's own visible style
  bool shown = false;       // visible together with every parent
  bool enabled = false;
  RECT rect{};              // in its parent's client coordinates
  int parentNumber = 0;     // 0: the top-level window itself
  std::string fontFace;
  int fontHeight = 0;
  int fontWeight = 0;
};

class Process {
 public:
  Process() = default;
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Starts `commandLine` in `directory` (empty: the current one).
  bool Start(const std::string& commandLine, const std::string& directory = "");
  // Waits up to `milliseconds`; true when the process ended.
  bool Wait(DWORD milliseconds);
  DWORD ExitCode() const;
  DWORD id() const { return info_.dwProcessId; }
  HANDLE handle() const { return info_.hProcess; }
  bool running() const;
  void Kill();

 private:
  PROCESS_INFORMATION info_{};
};

// Runs a command and waits for it; returns its exit code, or -1 when it could not start.
int RunAndWait(const std::string& commandLine, DWORD milliseconds, const std::string& directory = "");

// The top-level windows of process `pid` whose class is `className` (empty: any)
// and that are visible.
std::vector<HWND> TopWindows(DWORD pid, const std::string& className = "");
// Waits up to `milliseconds` for a visible top-level window of that class.
HWND WaitForWindow(DWORD pid, const std::string& className, DWORD milliseconds);
// Waits for a message box (class "#32770") of the process.
HWND WaitForMessageBox(DWORD pid, DWORD milliseconds);

// Every numbered descendant of `window`.
std::vector<ControlInfo> Controls(HWND window);
// The descendant with that control number, or nullptr.
HWND FindControl(HWND window, int number);
ControlInfo Describe(HWND control);

std::string WindowText(HWND window);
// Client size of a window.
SIZE ClientSize(HWND window);

// Waits up to `milliseconds` until control `number` of `window` is shown and
// enabled, as a person could click it.
bool WaitClickable(HWND window, int number, DWORD milliseconds);

// Returns once the thread of `window` has handled what is waiting for it and
// waits for input again, or after `milliseconds`: the moment a person would
// look after acting (the system's input-idle wait, then one message sent
// through the window's queue).
void WaitForIdle(HWND window, DWORD milliseconds = 10000);

// Posts a click to a button-like control (BM_CLICK), so that a handler that
// opens a dialog does not block the driver.
void Click(HWND control);
// Clicks control `number` once WaitClickable says so (clicks reach hidden and
// disabled controls too), then gives the handler a moment; false when it
// never became clickable.
bool ClickWhenClickable(HWND window, int number, DWORD milliseconds = 10000);
// Replaces an edit field's text, as typing would.
void SetFieldText(HWND control, const std::string& text);
// Asks a window to close, as Alt+F4 does.
void RequestClose(HWND window);
// Presses a message box's button with that command id (IDOK, IDCANCEL...).
void AnswerMessageBox(HWND box, int command);

// The keyboard, as a person uses it: keys go to the foreground window's
// focused control through the system's input queue (SendInput), so the
// program's own key state (Shift) is what it reads. `shift` holds Shift
// down around the key. Both return once the program takes messages again;
// what the keys do may come later: wait for it with Eventually.
void PressKey(WORD key, bool shift = false);
// Types UTF-8 text character by character.
void TypeText(const std::string& text);
// The window that has the keyboard focus in the thread of `window`.
HWND FocusedWindow(HWND window);
// The control number of FocusedWindow (0 when it is not a numbered control).
int FocusedControl(HWND window);
// Makes `window` the foreground window, so that keys go to it.
void BringToFront(HWND window);

// Asks `condition` every 20 ms until it holds (true) or `milliseconds` have
// passed (false): how a test waits for what a key or click does, on a
// machine as loaded as it may be.
template <typename Condition>
bool Eventually(Condition condition, DWORD milliseconds = 15000) {
  for (const DWORD start = GetTickCount();; Sleep(20)) {
    if (condition()) return true;
    if (GetTickCount() - start > milliseconds) return condition();
  }
}

// Whether a text control shows its whole text in `font` (the font it should
// have: a program's font handles cannot be read from another process): a
// button or radio button or check box on one line, a label wrapped at its
// width, within the control's height. `reason` says what did not fit.
bool TextFits(HWND control, const LOGFONTW& font, std::string& reason);

// The height in pixels of what is drawn dark (text) inside a control on the
// screen, `inset` pixels off each edge: the rows from the first to the last
// that hold a pixel darker than mid-grey.
int InkHeight(HWND control, int inset);

// Reads list box line `index` with the wide call (the ANSI one returned UTF-16 under Wine).
std::string ListLine(HWND list, int index);
int ListCount(HWND list);
// The same for a combo box.
std::string ComboLine(HWND combo, int index);

// The items of a tree view of another process, depth first, read with the
// wide call through a buffer allocated in that process.
struct TreeLine {
  HTREEITEM item = nullptr;
  int level = 0;
  std::string text;
};
std::vector<TreeLine> TreeLines(HWND tree);
HTREEITEM SelectedTreeItem(HWND tree);
void SelectTreeItem(HWND tree, HTREEITEM item);

// Saves the window's image as a 24-bit BMP file.
bool SaveScreenshot(HWND window, const std::string& path);

// "Z:" + the Unix path with backslashes: how Wine sees a host path.
std::string HostPath(const std::string& unixPath);

}  // namespace brindorel::e2e

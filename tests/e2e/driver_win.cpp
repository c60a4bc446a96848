#include "driver.h"

#include <cstdio>
#include <cwchar>

#include "services/utf8.h"

namespace brindorel::e2e {

namespace {

// The driver's texts are UTF-8, as the programs' own are.
std::wstring ToWide(const std::string& text) {
  const std::u16string units = Utf8ToUtf16(text);
  return std::wstring(units.begin(), units.end());
}

std::string Narrow(const std::wstring& wide) {
  return Utf16ToUtf8(reinterpret_cast<const char16_t*>(wide.data()), wide.size());
}

}  // namespace

Process::~Process() {
  if (info_.hProcess != nullptr) CloseHandle(info_.hProcess);
  if (info_.hThread != nullptr) CloseHandle(info_.hThread);
}

bool Process::Start(const std::string& commandLine, const std::string& directory) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  std::wstring line = ToWide(commandLine);
  line.push_back(L'\0');
  const std::wstring folder = ToWide(directory);
  return CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info_) != 0;
}

bool Process::Wait(DWORD milliseconds) {
  return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, milliseconds) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const {
  DWORD code = 0xFFFFFFFFu;
  if (info_.hProcess != nullptr) GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

bool Process::running() const {
  return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

void Process::Kill() {
  if (running()) {
    TerminateProcess(info_.hProcess, 1);
    WaitForSingleObject(info_.hProcess, 5000);
  }
}

int RunAndWait(const std::string& commandLine, DWORD milliseconds, const std::string& directory) {
  Process process;
  if (!process.Start(commandLine, directory)) return -1;
  if (!process.Wait(milliseconds)) {
    process.Kill();
    return -1;
  }
  return static_cast<int>(process.ExitCode());
}

namespace {

struct TopSearch {
  DWORD pid;
  std::string className;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTop(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<TopSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != search->pid || !IsWindowVisible(window)) return TRUE;
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  // Tooltips and input-method windows are never what a test looks for.
  const std::string cls = Narrow(name);
  if (cls == "tooltips_class32" || cls == "IME" || cls == "MSCTFIME UI") return TRUE;
  if (search->className.empty() || cls == search->className) search->found.push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectChildren(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

}  // namespace

std::vector<HWND> TopWindows(DWORD pid, const std::string& className) {
  TopSearch search{pid, className, {}};
  EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForWindow(DWORD pid, const std::string& className, DWORD milliseconds) {
  DWORD start = GetTickCount();
  for (;;) {
    std::vector<HWND> windows = TopWindows(pid, className);
    if (!windows.empty()) return windows.front();
    if (GetTickCount() - start > milliseconds) return nullptr;
    Sleep(100);
  }
}

HWND WaitForMessageBox(DWORD pid, DWORD milliseconds) {
  return WaitForWindow(pid, "#32770", milliseconds);
}

// Through WM_GETTEXT, which the system carries across processes (for a
// window of another process GetWindowText gives only the caption it was
// created with, never what an edit field holds now).
std::string WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return std::string();
  std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, wide.size(), reinterpret_cast<LPARAM>(&wide[0]), SMTO_ABORTIFHUNG,
                           5000, &got)) {
    return std::string();
  }
  wide.resize(got < wide.size() ? static_cast<std::size_t>(got) : wide.size() - 1);
  return Narrow(wide);
}

SIZE ClientSize(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

ControlInfo Describe(HWND control) {
  ControlInfo info;
  info.handle = control;
  info.number = GetDlgCtrlID(control);
  wchar_t name[256] = {};
  GetClassNameW(control, name, 256);
  info.className = Narrow(name);
  info.text = WindowText(control);
  LONG style = GetWindowLongW(control, GWL_STYLE);
  info.visible = (style & WS_VISIBLE) != 0;
  info.shown = IsWindowVisible(control) != 0;
  info.enabled = IsWindowEnabled(control) != 0;
  HWND parent = GetParent(control);
  GetWindowRect(control, &info.rect);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&info.rect), 2);
  if (parent != nullptr && (GetWindowLongW(parent, GWL_STYLE) & WS_CHILD) != 0)
    info.parentNumber = GetDlgCtrlID(parent);
  auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  if (font != nullptr) {
    LOGFONTW logfont{};
    if (GetObjectW(font, sizeof(logfont), &logfont) != 0) {
      info.fontFace = Narrow(logfont.lfFaceName);
      info.fontHeight = logfont.lfHeight;
      info.fontWeight = logfont.lfWeight;
    }
  }
  return info;
}

std::vector<ControlInfo> Controls(HWND window) {
  std::vector<HWND> children;
  EnumChildWindows(window, CollectChildren, reinterpret_cast<LPARAM>(&children));
  std::vector<ControlInfo> controls;
  for (HWND child : children) {
    if (GetDlgCtrlID(child) > 0) controls.push_back(Describe(child));
  }
  return controls;
}

HWND FindControl(HWND window, int number) {
  std::vector<HWND> children;
  EnumChildWindows(window, CollectChildren, reinterpret_cast<LPARAM>(&children));
  for (HWND child : children) {
    if (GetDlgCtrlID(child) == number) return child;
  }
  return nullptr;
}

bool WaitClickable(HWND window, int number, DWORD milliseconds) {
  for (DWORD waited = 0;; waited += 100) {
    HWND control = FindControl(window, number);
    if (control != nullptr) {
      ControlInfo info = Describe(control);
      if (info.shown && info.enabled) return true;
    }
    if (waited >= milliseconds) return false;
    Sleep(100);
  }
}

void WaitForIdle(HWND window, DWORD milliseconds) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
  if (process != nullptr) {
    WaitForInputIdle(process, milliseconds);
    CloseHandle(process);
  }
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, milliseconds, &result);
}

void Click(HWND control) { PostMessageW(control, BM_CLICK, 0, 0); }

bool ClickWhenClickable(HWND window, int number, DWORD milliseconds) {
  if (!WaitClickable(window, number, milliseconds)) return false;
  Click(FindControl(window, number));
  WaitForIdle(window);
  return true;
}

void SetFieldText(HWND control, const std::string& text) {
  const std::wstring wide = ToWide(text);
  SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void RequestClose(HWND window) { PostMessageW(window, WM_CLOSE, 0, 0); }

void AnswerMessageBox(HWND box, int command) {
  HWND button = GetDlgItem(box, command);
  if (button != nullptr) {
    PostMessageW(button, BM_CLICK, 0, 0);
  } else {
    PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(command), 0);
  }
}

int ListCount(HWND list) { return static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)); }

namespace {

std::string ItemText(HWND control, UINT lengthMessage, UINT textMessage, int index) {
  LRESULT length = SendMessageW(control, lengthMessage, static_cast<WPARAM>(index), 0);
  if (length < 0) return std::string();
  std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(control, textMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&wide[0]));
  wide.resize(static_cast<std::size_t>(length));
  return Narrow(wide);
}

}  // namespace

std::string ListLine(HWND list, int index) { return ItemText(list, LB_GETTEXTLEN, LB_GETTEXT, index); }

std::string ComboLine(HWND combo, int index) { return ItemText(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, index); }

namespace {

// Memory in another process, for messages whose buffers the system does not
// carry across (the tree view's item requests).
class RemoteBuffer {
 public:
  RemoteBuffer(HWND window, std::size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_ != nullptr) address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  }
  ~RemoteBuffer() {
    if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_ != nullptr) CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  bool ok() const { return address_ != nullptr; }
  char* at(std::size_t offset) const { return static_cast<char*>(address_) + offset; }
  bool Write(std::size_t offset, const void* data, std::size_t size) const {
    return offset + size <= size_ && WriteProcessMemory(process_, at(offset), data, size, nullptr);
  }
  bool Read(std::size_t offset, void* data, std::size_t size) const {
    return offset + size <= size_ && ReadProcessMemory(process_, at(offset), data, size, nullptr);
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  std::size_t size_;
};

constexpr std::size_t kTreeTextChars = 260;

std::string TreeItemText(HWND tree, const RemoteBuffer& buffer, HTREEITEM item) {
  TVITEMW data{};
  data.mask = TVIF_TEXT;
  data.hItem = item;
  data.pszText = reinterpret_cast<LPWSTR>(buffer.at(sizeof data));
  data.cchTextMax = static_cast<int>(kTreeTextChars);
  const wchar_t none = 0;
  if (!buffer.Write(0, &data, sizeof data) || !buffer.Write(sizeof data, &none, sizeof none)) return std::string();
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(buffer.at(0)), SMTO_ABORTIFHUNG, 5000,
                           &got) ||
      got == 0) {
    return std::string();
  }
  std::wstring wide(kTreeTextChars, L'\0');
  if (!buffer.Read(sizeof data, &wide[0], kTreeTextChars * sizeof(wchar_t))) return std::string();
  wide.resize(wcsnlen(wide.c_str(), kTreeTextChars - 1));
  return Narrow(wide);
}

HTREEITEM NextTreeItem(HWND tree, UINT relation, HTREEITEM item) {
  DWORD_PTR got = 0;
  SendMessageTimeoutW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item), SMTO_ABORTIFHUNG, 5000, &got);
  return reinterpret_cast<HTREEITEM>(got);
}

void CollectTreeLines(HWND tree, const RemoteBuffer& buffer, HTREEITEM item, int level, std::vector<TreeLine>& out) {
  for (; item != nullptr && out.size() < 10000; item = NextTreeItem(tree, TVGN_NEXT, item)) {
    out.push_back(TreeLine{item, level, TreeItemText(tree, buffer, item)});
    CollectTreeLines(tree, buffer, NextTreeItem(tree, TVGN_CHILD, item), level + 1, out);
  }
}

}  // namespace

std::vector<TreeLine> TreeLines(HWND tree) {
  std::vector<TreeLine> lines;
  RemoteBuffer buffer(tree, sizeof(TVITEMW) + (kTreeTextChars + 1) * sizeof(wchar_t));
  if (!buffer.ok()) return lines;
  CollectTreeLines(tree, buffer, NextTreeItem(tree, TVGN_ROOT, nullptr), 0, lines);
  return lines;
}

HTREEITEM SelectedTreeItem(HWND tree) { return NextTreeItem(tree, TVGN_CARET, nullptr); }

void SelectTreeItem(HWND tree, HTREEITEM item) {
  DWORD_PTR got = 0;
  SendMessageTimeoutW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item), SMTO_ABORTIFHUNG, 5000, &got);
}

bool SaveScreenshot(HWND window, const std::string& path) {
  RECT rect{};
  GetWindowRect(window, &rect);
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    GdiFlush();
    DWORD rowSize = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    DWORD imageSize = rowSize * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageSize;
    FILE* out = _wfopen(ToWide(path).c_str(), L"wb");
    if (out != nullptr) {
      ok = std::fwrite(&file, sizeof(file), 1, out) == 1 &&
           std::fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, out) == 1 &&
           std::fwrite(bits, 1, imageSize, out) == imageSize;
      std::fclose(out);
    }
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

std::string HostPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

}  // namespace brindorel::e2e

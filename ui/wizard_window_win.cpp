#include "ui/wizard_window.h"

#include <windows.h>

#include <richedit.h>

#include <deque>
#include <map>
#include <vector>

#include "services/wide_win.h"
#include "ui/wizard_layout.h"

namespace brindorel {

namespace {

const wchar_t kWindowClass[] = L"BrindorelWizard";
const wchar_t kPanelClass[] = L"BrindorelPanel";
const wchar_t kLinkClass[] = L"BrindorelLink";
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kLinkHot = RGB(0, 64, 128);

// Panels and the hyperlink keep a few flags in their window's user data.
constexpr LONG_PTR kPanelWhite = 1;
constexpr LONG_PTR kLinkHotFlag = 1;

HWND RootOf(HWND hwnd) { return GetAncestor(hwnd, GA_ROOT); }

LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND: {
      RECT rc;
      GetClientRect(hwnd, &rc);
      const bool white = GetWindowLongPtrW(hwnd, GWLP_USERDATA) & kPanelWhite;
      HBRUSH brush = white ? static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)) : GetSysColorBrush(COLOR_BTNFACE);
      FillRect(reinterpret_cast<HDC>(wp), &rc, brush);
      return 1;
    }
    // The children's notifications and colour requests belong to the wizard.
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
      return SendMessageW(RootOf(hwnd), msg, wp, lp);
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

// A one-line text drawn black, in the highlight colour while the pointer is
// over it (the control holds the mouse capture meanwhile), greyed when
// disabled; a left-button release over it reports a click to the parent.
LRESULT CALLBACK LinkProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      SetWindowLongPtrW(hwnd, 0, 0);
      return 0;
    case WM_SETFONT:
      SetWindowLongPtrW(hwnd, 0, static_cast<LONG_PTR>(wp));
      if (LOWORD(lp)) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return GetWindowLongPtrW(hwnd, 0);
    case WM_SETTEXT: {
      const LRESULT r = DefWindowProcW(hwnd, msg, wp, lp);
      InvalidateRect(hwnd, nullptr, TRUE);
      return r;
    }
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
      // The whole text, however long: nothing is cut.
      std::vector<wchar_t> text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1);
      const int length = GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
      HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(GetWindowLongPtrW(hwnd, 0)));
      SetBkMode(dc, TRANSPARENT);
      const bool hot = GetWindowLongPtrW(hwnd, GWLP_USERDATA) & kLinkHotFlag;
      SetTextColor(dc, !IsWindowEnabled(hwnd) ? GetSysColor(COLOR_GRAYTEXT) : hot ? kLinkHot : RGB(0, 0, 0));
      DrawTextW(dc, text.data(), length, &rc, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER);
      SelectObject(dc, old);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_SETCURSOR: {
      HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
      SetCursor(hand ? hand : LoadCursorW(nullptr, IDC_ARROW));
      return TRUE;
    }
    case WM_MOUSEMOVE: {
      RECT rc;
      GetClientRect(hwnd, &rc);
      POINT pt = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
      const bool inside = PtInRect(&rc, pt) != 0;
      const bool hot = GetWindowLongPtrW(hwnd, GWLP_USERDATA) & kLinkHotFlag;
      if (inside && !hot) {
        SetCapture(hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, kLinkHotFlag);
        InvalidateRect(hwnd, nullptr, TRUE);
      } else if (!inside && hot) {
        ReleaseCapture();
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_LBUTTONUP: {
      RECT rc;
      GetClientRect(hwnd, &rc);
      POINT pt = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
      if (PtInRect(&rc, pt))
        SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), BN_CLICKED),
                     reinterpret_cast<LPARAM>(hwnd));
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

LRESULT CALLBACK WizardProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

bool RegisterClasses(HINSTANCE instance) {
  WNDCLASSW wc = {};
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);

  if (!GetClassInfoW(instance, kWindowClass, &wc)) {
    wc.lpfnWndProc = WizardProc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassW(&wc)) return false;
  }
  WNDCLASSW panel = {};
  if (!GetClassInfoW(instance, kPanelClass, &panel)) {
    panel.hInstance = instance;
    panel.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    panel.lpfnWndProc = PanelProc;
    panel.lpszClassName = kPanelClass;
    if (!RegisterClassW(&panel)) return false;
  }
  WNDCLASSW link = {};
  if (!GetClassInfoW(instance, kLinkClass, &link)) {
    link.hInstance = instance;
    link.lpfnWndProc = LinkProc;
    link.cbWndExtra = sizeof(LONG_PTR);
    link.lpszClassName = kLinkClass;
    if (!RegisterClassW(&link)) return false;
  }
  return true;
}

// Loads a system library by full path, so a copy beside the installer is never used.
HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t path[MAX_PATH + 32];
  const UINT n = GetSystemDirectoryW(path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  lstrcatW(path, L"\\");
  lstrcatW(path, name);
  return LoadLibraryW(path);
}

}  // namespace

struct WizardWindowSurface::Impl {
  struct Colour {
    COLORREF text;
    COLORREF background;
    HBRUSH brush;
  };

  HWND window = nullptr;
  bool holdCloseRequests = false;
  HFONT fonts[static_cast<int>(FontId::Count)] = {};
  HMODULE richEdit = nullptr;
  const wchar_t* richClass = L"RichEdit20W";
  std::map<int, HWND> controls;
  std::map<int, Colour> colours;
  std::map<int, int> listExtent;  // widest line of each list, for its horizontal scroll bar
  std::map<int, HANDLE> images;   // the image each image control was given (not ours to free)
  std::deque<WizardEvent> events;

  ~Impl() {
    for (auto& entry : images) SwapImage(entry.first, nullptr);
    if (window) DestroyWindow(window);
    for (auto& entry : colours) DeleteObject(entry.second.brush);
    for (HFONT f : fonts)
      if (f) DeleteObject(f);
    if (richEdit) FreeLibrary(richEdit);
  }

  HWND Control(int number) const {
    auto it = controls.find(number);
    return it == controls.end() ? nullptr : it->second;
  }

  // Gives an image control `image` (nullptr: none) as a bitmap or an icon,
  // switching its style first: a static of the other style refuses the image
  // without a word. A bitmap with alpha is copied by the version-6 control,
  // and that copy comes back from the next STM_SETIMAGE: only such copies are
  // deleted here, the images handed in belong to their slots.
  void SwapImage(int number, HANDLE image, bool isBitmap = true) {
    HWND h = Control(number);
    if (!h) return;
    HANDLE& given = images[number];
    LRESULT old = 0;
    if (image) {
      LONG_PTR style = GetWindowLongPtrW(h, GWL_STYLE) & ~static_cast<LONG_PTR>(SS_TYPEMASK);
      SetWindowLongPtrW(h, GWL_STYLE, style | (isBitmap ? SS_BITMAP : SS_ICON));
      old = SendMessageW(h, STM_SETIMAGE, isBitmap ? IMAGE_BITMAP : IMAGE_ICON, reinterpret_cast<LPARAM>(image));
    } else {
      const LONG_PTR type = GetWindowLongPtrW(h, GWL_STYLE) & SS_TYPEMASK;
      if (type == SS_BITMAP) old = SendMessageW(h, STM_SETIMAGE, IMAGE_BITMAP, 0);
      if (type == SS_ICON) SendMessageW(h, STM_SETIMAGE, IMAGE_ICON, 0);
    }
    HANDLE previous = reinterpret_cast<HANDLE>(old);
    if (previous && previous != given && previous != image && GetObjectType(previous) == OBJ_BITMAP)
      DeleteObject(previous);
    given = image;
  }

  LRESULT ColourRequest(UINT msg, HDC dc, HWND child) {
    const int number = GetDlgCtrlID(child);
    auto it = colours.find(number);
    if (it != colours.end() && Control(number) == child && msg != WM_CTLCOLORBTN) {
      SetTextColor(dc, it->second.text);
      SetBkMode(dc, OPAQUE);
      SetBkColor(dc, it->second.background);
      return reinterpret_cast<LRESULT>(it->second.brush);
    }
    const ControlLayout* layout = FindWizardControl(number);
    // An image control on a white panel paints white too, or a grey square
    // shows through an icon's transparent pixels.
    const ControlLayout* parent = layout && layout->kind == ControlKind::Image ? FindWizardControl(layout->parent) : nullptr;
    const bool white = layout && (layout->white || (parent && parent->white));
    if (white && Control(number) == child && msg == WM_CTLCOLORSTATIC) {
      SetBkColor(dc, kWhite);
      return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    }
    return DefWindowProcW(window, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(child));
  }

  void Command(WPARAM wp, LPARAM lp) {
    HWND child = reinterpret_cast<HWND>(lp);
    const int number = LOWORD(wp);
    const ControlLayout* layout = FindWizardControl(number);
    // The dialog manager's Enter and Esc arrive as IDOK/IDCANCEL commands;
    // only a control's own notification counts.
    if (!child || !layout || Control(number) != child) return;
    const int code = HIWORD(wp);
    switch (layout->kind) {
      case ControlKind::Button:
      case ControlKind::Radio:
      case ControlKind::CheckBox:
      case ControlKind::Hyperlink:
        if (code == BN_CLICKED) events.push_back({WizardEvent::Click, WizardWindowNumber, number});
        break;
      case ControlKind::Edit:
        if (code == EN_KILLFOCUS) events.push_back({WizardEvent::FocusLost, WizardWindowNumber, number});
        break;
      default:
        break;
    }
  }
};

namespace {

LRESULT CALLBACK WizardProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* impl = reinterpret_cast<WizardWindowSurface::Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!impl) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_COMMAND:
      impl->Command(wp, lp);
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
      return impl->ColourRequest(msg, reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_CLOSE:
      impl->events.push_back({WizardEvent::CloseRequest, WizardWindowNumber, 0});
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      impl->window = nullptr;
      return DefWindowProcW(hwnd, msg, wp, lp);
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

struct ControlClass {
  const wchar_t* className;
  DWORD style;
  DWORD exStyle;
};

ControlClass ClassFor(const ControlLayout& c, const wchar_t* richClass) {
  const DWORD base = WS_CHILD | WS_VISIBLE;
  switch (c.kind) {
    case ControlKind::Panel:
      return {kPanelClass, base | WS_CLIPSIBLINGS,
              static_cast<DWORD>(WS_EX_CONTROLPARENT | (c.sunkenEdge ? WS_EX_STATICEDGE : 0))};
    case ControlKind::Label:
      return {L"STATIC", base | SS_NOPREFIX | (c.centred ? SS_CENTER : SS_LEFT), 0};
    case ControlKind::Image:
      // Becomes SS_BITMAP or SS_ICON when it gets an image; an empty image
      // static would leave its area unpainted.
      return {L"STATIC", base | SS_LEFT, 0};
    case ControlKind::RichView:
      return {richClass,
              base | WS_TABSTOP | ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL |
                  ES_AUTOHSCROLL | ES_NOHIDESEL,
              WS_EX_CLIENTEDGE};
    case ControlKind::Radio:
      return {L"BUTTON", base | BS_AUTORADIOBUTTON | (c.groupStart ? WS_GROUP | WS_TABSTOP : 0), 0};
    case ControlKind::CheckBox:
      return {L"BUTTON", base | WS_TABSTOP | BS_AUTOCHECKBOX, 0};
    case ControlKind::Edit:
      return {L"EDIT", base | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::Button:
      return {L"BUTTON", base | WS_TABSTOP | BS_PUSHBUTTON, 0};
    case ControlKind::ListBox:
      return {L"LISTBOX", base | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE};
    case ControlKind::Hyperlink:
      return {kLinkClass, base | WS_TABSTOP, 0};
  }
  return {L"STATIC", base, 0};
}

// Width and height of a bitmap or icon, {0, 0} when unknown.
SIZE ImageSize(HANDLE image, bool& isBitmap) {
  SIZE size = {0, 0};
  isBitmap = GetObjectType(image) == OBJ_BITMAP;
  if (isBitmap) {
    BITMAP bm;
    if (GetObjectW(image, sizeof bm, &bm)) size = {bm.bmWidth, bm.bmHeight};
    return size;
  }
  ICONINFO info;
  if (GetIconInfo(static_cast<HICON>(image), &info)) {
    BITMAP bm;
    if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bm, &bm)) {
      size = {bm.bmWidth, bm.bmHeight};
    } else if (info.hbmMask && GetObjectW(info.hbmMask, sizeof bm, &bm)) {
      size = {bm.bmWidth, bm.bmHeight / 2};
    }
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
  }
  return size;
}

}  // namespace

WizardWindowSurface::WizardWindowSurface(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
WizardWindowSurface::~WizardWindowSurface() = default;

void* WizardWindowSurface::WindowHandle() const { return impl_->window; }
void* WizardWindowSurface::ControlHandle(int control) const { return impl_->Control(control); }

void WizardWindowSurface::Show(int control) {
  if (HWND h = impl_->Control(control)) ShowWindow(h, SW_SHOWNA);
}

void WizardWindowSurface::Hide(int control) {
  if (HWND h = impl_->Control(control)) ShowWindow(h, SW_HIDE);
}

void WizardWindowSurface::Enable(int control) {
  if (HWND h = impl_->Control(control)) EnableWindow(h, TRUE);
}

void WizardWindowSurface::Disable(int control) {
  if (HWND h = impl_->Control(control)) EnableWindow(h, FALSE);
}

void WizardWindowSurface::SetText(int control, const std::string& text) {
  if (HWND h = impl_->Control(control)) SetWindowTextW(h, Wide(text).c_str());
}

std::string WizardWindowSurface::GetText(int control) const {
  HWND h = impl_->Control(control);
  if (!h) return std::string();
  const int length = GetWindowTextLengthW(h);
  if (length <= 0) return std::string();
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
  const int got = GetWindowTextW(h, buffer.data(), length + 1);
  return Narrow(buffer.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
}

void WizardWindowSurface::SetState(int control, std::intptr_t state) {
  HWND h = impl_->Control(control);
  const ControlLayout* layout = FindWizardControl(control);
  if (!h || !layout) return;
  switch (layout->kind) {
    case ControlKind::Radio:
    case ControlKind::CheckBox:
      SendMessageW(h, BM_SETCHECK, state ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case ControlKind::ListBox:
      SendMessageW(h, LB_SETCURSEL, static_cast<WPARAM>(state), 0);
      break;
    case ControlKind::Image:
      SetImage(control, static_cast<ImageHandle>(state));
      break;
    default:
      break;
  }
}

std::intptr_t WizardWindowSurface::GetState(int control) const {
  HWND h = impl_->Control(control);
  const ControlLayout* layout = FindWizardControl(control);
  if (!h || !layout) return 0;
  switch (layout->kind) {
    case ControlKind::Radio:
    case ControlKind::CheckBox:
      return SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    case ControlKind::ListBox:
      return static_cast<std::intptr_t>(SendMessageW(h, LB_GETCURSEL, 0, 0));
    case ControlKind::Image: {
      const LRESULT bitmap = SendMessageW(h, STM_GETIMAGE, IMAGE_BITMAP, 0);
      return static_cast<std::intptr_t>(bitmap ? bitmap : SendMessageW(h, STM_GETIMAGE, IMAGE_ICON, 0));
    }
    default:
      return 0;
  }
}

void WizardWindowSurface::AddListLine(int control, int position, const std::string& text) {
  HWND h = impl_->Control(control);
  if (!h) return;
  const std::wstring line = Wide(text);
  SendMessageW(h, LB_INSERTSTRING, static_cast<WPARAM>(position < 0 ? -1 : position),
               reinterpret_cast<LPARAM>(line.c_str()));
  // Widen the horizontal scroll range to the longest line.
  HDC dc = GetDC(h);
  if (dc) {
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)));
    SIZE size = {0, 0};
    GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(h, dc);
    int& widest = impl_->listExtent[control];
    if (size.cx + 8 > widest) {
      widest = size.cx + 8;
      SendMessageW(h, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest), 0);
    }
  }
}

void WizardWindowSurface::SetListLine(int control, int position, const std::string& text) {
  HWND h = impl_->Control(control);
  if (!h || position < 0) return;
  const LRESULT count = SendMessageW(h, LB_GETCOUNT, 0, 0);
  if (position >= count) return;
  const LRESULT selected = SendMessageW(h, LB_GETCURSEL, 0, 0);
  SendMessageW(h, WM_SETREDRAW, FALSE, 0);
  SendMessageW(h, LB_DELETESTRING, static_cast<WPARAM>(position), 0);
  SendMessageW(h, WM_SETREDRAW, TRUE, 0);
  AddListLine(control, position, text);
  if (selected == position) SendMessageW(h, LB_SETCURSEL, static_cast<WPARAM>(position), 0);
}

void WizardWindowSurface::SetImage(int control, ImageHandle image) {
  HWND h = impl_->Control(control);
  if (!h) return;
  const ControlLayout* layout = FindWizardControl(control);
  if (!layout || layout->kind != ControlKind::Image) return;
  HANDLE handle = reinterpret_cast<HANDLE>(image);
  if (!handle) {
    impl_->SwapImage(control, nullptr);
    InvalidateRect(h, nullptr, TRUE);
    return;
  }
  bool isBitmap = false;
  const SIZE size = ImageSize(handle, isBitmap);
  impl_->SwapImage(control, handle, isBitmap);
  if (size.cx > 0 && size.cy > 0)
    SetWindowPos(h, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(h, nullptr, TRUE);
}

void WizardWindowSurface::RegisterControlColour(int control, std::uint32_t text, std::uint32_t background) {
  HBRUSH brush = CreateSolidBrush(background);
  auto it = impl_->colours.find(control);
  if (it != impl_->colours.end()) DeleteObject(it->second.brush);
  impl_->colours[control] = Impl::Colour{text, background, brush};
  if (HWND h = impl_->Control(control)) InvalidateRect(h, nullptr, TRUE);
}

void WizardWindowSurface::AddSeparator() {
  if (!impl_->window) return;
  CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_ETCHEDHORZ, 0, 300, 483, 2, impl_->window,
                  nullptr, GetModuleHandleW(nullptr), nullptr);
}

bool WizardWindowSurface::WaitForEvent(WizardEvent& event) {
  while (impl_->events.empty()) {
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    if (impl_->window && IsDialogMessageW(impl_->window, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  event = impl_->events.front();
  impl_->events.pop_front();
  return true;
}

void WizardWindowSurface::ProcessPendingMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (impl_->window && IsDialogMessageW(impl_->window, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  bool closeRequested = false;
  for (const WizardEvent& event : impl_->events) closeRequested |= event.kind == WizardEvent::CloseRequest;
  impl_->events.clear();
  if (closeRequested && impl_->holdCloseRequests)
    impl_->events.push_back({WizardEvent::CloseRequest, WizardWindowNumber, 0});
}

void WizardWindowSurface::HoldCloseRequests(bool hold) { impl_->holdCloseRequests = hold; }

std::unique_ptr<WizardWindowSurface> BuildWizardWindow(const InterfaceTexts& texts, const std::string& titel,
                                                       const std::string& version, ImageHandle headerIcon) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!RegisterClasses(instance)) return nullptr;
  auto impl = std::make_unique<WizardWindowSurface::Impl>();

  // 1. Fonts, sized for the screen's vertical resolution.
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  impl->fonts[0] = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  for (int i = 1; i < static_cast<int>(FontId::Count); ++i) {
    const FontSpec& spec = FontSpecOf(static_cast<FontId>(i));
    impl->fonts[i] = CreateFontW(FontHeightForDpi(spec.points, dpi), 0, 0, 0, spec.weight, FALSE, FALSE, FALSE,
                                 DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                 DEFAULT_PITCH | FF_DONTCARE, Wide(spec.face).c_str());
  }
  // The stock font is not ours to delete.
  HFONT stock = impl->fonts[0];
  impl->fonts[0] = nullptr;

  // Rich edit 2.0 when it loads, else 1.0.
  impl->richEdit = LoadSystemLibrary(L"RICHED20.DLL");
  if (!impl->richEdit) {
    impl->richEdit = LoadSystemLibrary(L"RICHED32.DLL");
    impl->richClass = L"RichEdit";
  }

  // 2. The window, hidden, caption only, centred (cut to the screen when larger).
  const DWORD style = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
  RECT frame = {0, 0, kWizardClientWidth, kWizardClientHeight};
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  int x = (screenWidth - width) / 2;
  int y = (screenHeight - height) / 2;
  if (width > screenWidth || height > screenHeight) {
    width = width > screenWidth ? screenWidth : width;
    height = height > screenHeight ? screenHeight : height;
    x = 0;
    y = 0;
  }
  const std::string title = WizardWindowTitle(titel, version);
  impl->window = CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, Wide(title).c_str(), style, x, y, width, height,
                                 nullptr, nullptr, instance, impl.get());
  if (!impl->window) return nullptr;

  // 3. The controls in table order; a panel's children follow it directly.
  for (const ControlLayout& c : WizardControls()) {
    HWND parent = c.parent == 0 ? impl->window : impl->Control(c.parent);
    if (!parent) continue;
    const ControlClass cls = ClassFor(c, impl->richClass);
    const std::string text = InitialControlText(c, texts);
    HWND h = CreateWindowExW(cls.exStyle, cls.className, Wide(text).c_str(), cls.style, c.x, c.y, c.width, c.height,
                             parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.number)), instance, nullptr);
    if (!h) continue;
    impl->controls[c.number] = h;
    if (c.kind == ControlKind::Panel && c.white) SetWindowLongPtrW(h, GWLP_USERDATA, kPanelWhite);
    if (c.kind != ControlKind::Panel && c.kind != ControlKind::Image) {
      HFONT font = c.font == FontId::Default ? stock : impl->fonts[static_cast<int>(c.font)];
      SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    // 4. Rich views wrap at their own width.
    if (c.kind == ControlKind::RichView) SendMessageW(h, EM_SETTARGETDEVICE, 0, 0);
  }

  auto surface = std::unique_ptr<WizardWindowSurface>(new WizardWindowSurface(std::move(impl)));
  surface->RegisterControlColour(RunProgramBox, RGB(0, 0, 0), kWhite);
  if (headerIcon) surface->SetImage(HeaderIcon, headerIcon);

  // 5. Only page 1 shows.
  for (int number : InitiallyHiddenControls()) surface->Hide(number);

  // 6. Show the finished window.
  ShowWindow(static_cast<HWND>(surface->WindowHandle()), SW_SHOW);
  UpdateWindow(static_cast<HWND>(surface->WindowHandle()));
  return surface;
}

}  // namespace brindorel

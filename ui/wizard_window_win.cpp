#include "ui/wizard_window.h"

#include <windows.h>

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <deque>
#include <map>
#include <vector>

#include "services/wide_win.h"
#include "ui/dpi_scale.h"
#include "ui/picture_scale.h"
#include "ui/wizard_arrangement.h"
#include "ui/wizard_focus.h"
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

// Posted to the wizard when a push button lost the focus: by then the focus
// has arrived where it went, and the default button's look can follow it.
constexpr UINT kUpdateDefaultLook = WM_APP + 1;
// WM_DPICHANGED (Windows 8.1 and later): the window is on a monitor of
// another resolution; HIWORD(wParam) the new one, lParam the suggested frame.
constexpr UINT kDpiChanged = 0x02E0;

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
    // A panel is never closed on its own (a rich-edit view in dialog mode
    // sends its parent WM_CLOSE on Esc).
    case WM_CLOSE:
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

// The read-only views take the focus and scroll with the arrow keys, but
// leave Tab, Enter and Esc to the dialog keys, and are not selected whole
// when tabbed into.
LRESULT CALLBACK ReadOnlyViewProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  if (msg == WM_GETDLGCODE) {
    const LRESULT code = DefSubclassProc(hwnd, msg, wp, lp);
    return (code & ~static_cast<LRESULT>(DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE | DLGC_HASSETSEL)) |
           DLGC_WANTARROWS;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

void ReportClick(HWND hwnd) {
  SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), BN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
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
      // Shortened with an ellipsis where the place is narrower than the text.
      DrawTextW(dc, text.data(), length, &rc, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER | DT_END_ELLIPSIS);
      if (GetFocus() == hwnd) {
        RECT used = rc;
        DrawTextW(dc, text.data(), length, &used,
                  DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER | DT_END_ELLIPSIS | DT_CALCRECT);
        if (used.right > rc.right) used.right = rc.right;
        used.top = rc.top;
        used.bottom = rc.bottom;
        DrawFocusRect(dc, &used);
      }
      SelectObject(dc, old);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS;
    // Space opens it from the keyboard, as it presses a button.
    case WM_KEYUP:
      if (wp == VK_SPACE) ReportClick(hwnd);
      return 0;
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
      if (PtInRect(&rc, pt)) ReportClick(hwnd);
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
  // An image control's picture: the image it was given, and what it shows
  // at the window's resolution (that image itself, or a scaled copy of ours).
  struct Picture {
    HANDLE given = nullptr;
    bool isBitmap = true;
    HANDLE shown = nullptr;
    SIZE size = {0, 0};  // of the shown image
  };

  HWND window = nullptr;
  HWND separator = nullptr;
  bool holdCloseRequests = false;
  int dpi = kLayoutDpi;
  int systemDpi = kLayoutDpi;
  HFONT fonts[static_cast<int>(FontId::Count)] = {};  // each for `dpi`; Default may be the stock font
  HFONT viewFont = nullptr;  // the rich views', for the system's resolution: they are zoomed
  HMODULE richEdit = nullptr;
  const wchar_t* richClass = L"RichEdit20W";
  std::map<int, HWND> controls;
  std::map<HWND, int> numbers;
  std::map<int, Colour> colours;
  std::map<int, int> listExtent;  // widest line of each list, for its horizontal scroll bar
  std::map<int, Picture> pictures;
  std::deque<WizardEvent> events;
  HWND savedFocus = nullptr;  // where the focus was when the window was last left

  ~Impl() {
    std::vector<int> shown;
    for (const auto& entry : pictures) shown.push_back(entry.first);
    for (int number : shown) ShowPicture(number, nullptr);
    if (window) DestroyWindow(window);
    for (auto& entry : colours) DeleteObject(entry.second.brush);
    ReleaseFonts();
    if (viewFont) DeleteObject(viewFont);
    if (richEdit) FreeLibrary(richEdit);
  }

  HWND Control(int number) const {
    auto it = controls.find(number);
    return it == controls.end() ? nullptr : it->second;
  }

  // The number of one of our controls; 0 for any other window.
  int NumberOf(HWND h) const {
    auto it = numbers.find(h);
    return it == numbers.end() ? 0 : it->second;
  }

  bool Usable(int number) const {
    HWND h = Control(number);
    return h != nullptr && IsWindowVisible(h) && IsWindowEnabled(h);
  }

  ControlUsable UsableControls() const {
    return [this](int number) { return Usable(number); };
  }
  ControlChecked CheckedControls() const {
    return [this](int number) {
      HWND h = Control(number);
      return h != nullptr && SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED;
    };
  }

  static ControlKind KindOf(int number) {
    const ControlLayout* layout = FindWizardControl(number);
    return layout ? layout->kind : ControlKind::Panel;
  }

  // ---- Fonts ----

  void ReleaseFonts() {
    // The default font may be the stock one, which ignores DeleteObject.
    for (HFONT& f : fonts) {
      if (f) DeleteObject(f);
      f = nullptr;
    }
  }

  // New fonts for `dpi`; the old ones are the caller's to release once no
  // control uses them.
  void CreateFonts() {
    fonts[0] = static_cast<HFONT>(GuiFontForDpi(dpi));
    for (int i = 1; i < static_cast<int>(FontId::Count); ++i) {
      const FontStyle& style = FontStyleOf(static_cast<FontId>(i));
      fonts[i] = CreateFontW(FontHeightForDpi(style.points, dpi), 0, 0, 0, style.weight, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, Wide(style.face).c_str());
    }
  }

  // Gives every control its font; the rich views keep theirs (a new font
  // would reformat a document) and are zoomed instead.
  void ApplyFonts(bool redraw, bool views) {
    for (const ControlLayout& c : WizardControls()) {
      HWND h = Control(c.number);
      if (!h || c.kind == ControlKind::Panel || c.kind == ControlKind::Image) continue;
      if (c.kind == ControlKind::RichView) {
        if (views) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(viewFont), redraw);
        // The documents' own point sizes are drawn for the system's resolution.
        if (dpi == systemDpi)
          SendMessageW(h, EM_SETZOOM, 0, 0);
        else
          SendMessageW(h, EM_SETZOOM, static_cast<WPARAM>(dpi), static_cast<LPARAM>(systemDpi));
        continue;
      }
      SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(fonts[static_cast<int>(c.font)]), redraw);
    }
  }

  // ---- Pictures ----

  // A bitmap of width x height pixels (BGRA, top-down) as a DIB section of
  // `bits` (24 or 32) per pixel; nullptr when it cannot be made.
  static HBITMAP MakeBitmap(const std::vector<std::uint8_t>& pixels, int width, int height, int bits) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(bits);
    info.bmiHeader.biCompression = BI_RGB;
    void* target = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &target, nullptr, 0);
    if (bitmap == nullptr || target == nullptr) {
      if (bitmap) DeleteObject(bitmap);
      return nullptr;
    }
    GdiFlush();
    auto* out = static_cast<std::uint8_t*>(target);
    const std::size_t row = bits == 32 ? static_cast<std::size_t>(width) * 4u
                                       : (static_cast<std::size_t>(width) * 3u + 3u) & ~static_cast<std::size_t>(3);
    for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
      const std::uint8_t* in = pixels.data() + y * static_cast<std::size_t>(width) * 4u;
      std::uint8_t* line = out + y * row;
      for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
        for (std::size_t c = 0; c < (bits == 32 ? 4u : 3u); ++c) line[x * (bits == 32 ? 4u : 3u) + c] = in[x * 4u + c];
      }
    }
    return bitmap;
  }

  // A smooth copy of `bitmap` at width x height, of its own depth (32 bits
  // keep their alpha, others become 24); nullptr when it cannot be made.
  static HBITMAP ScaledBitmap(HBITMAP bitmap, int width, int height) {
    BITMAP bm;
    if (!GetObjectW(bitmap, sizeof bm, &bm) || bm.bmWidth <= 0 || bm.bmHeight == 0) return nullptr;
    const int sourceWidth = bm.bmWidth;
    const int sourceHeight = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(sourceWidth) * static_cast<std::size_t>(sourceHeight) * 4u);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = sourceWidth;
    info.bmiHeader.biHeight = -sourceHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(sourceHeight), pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != sourceHeight) return nullptr;
    const std::vector<std::uint8_t> scaled =
        ScalePicture(pixels.data(), pixels.size(), sourceWidth, sourceHeight, width, height);
    if (scaled.empty()) return nullptr;
    return MakeBitmap(scaled, width, height, bm.bmBitsPixel == 32 ? 32 : 24);
  }

  // What an image control shows for `picture` at the window's resolution.
  // Bitmaps are drawn for 96 DPI; icons are loaded for the system's
  // resolution (their size picked from the file), so only a window on a
  // monitor of another resolution stretches them.
  HANDLE DisplayImage(const Picture& picture, SIZE& size) const {
    bool isBitmap = false;
    const SIZE natural = ImageSize(picture.given, isBitmap);
    size = natural;
    if (natural.cx <= 0 || natural.cy <= 0) return picture.given;
    const int from = isBitmap ? kLayoutDpi : systemDpi;
    const SIZE want = {MulDiv(natural.cx, dpi, from), MulDiv(natural.cy, dpi, from)};
    if (want.cx == natural.cx && want.cy == natural.cy) return picture.given;
    HANDLE made = isBitmap ? static_cast<HANDLE>(ScaledBitmap(static_cast<HBITMAP>(picture.given), want.cx, want.cy))
                           : CopyImage(picture.given, IMAGE_ICON, want.cx, want.cy, 0);
    if (made == nullptr) return picture.given;  // at its own size rather than none
    size = want;
    return made;
  }

  static void ReleaseImage(HANDLE image, bool isBitmap) {
    if (image == nullptr) return;
    if (isBitmap)
      DeleteObject(image);
    else
      DestroyIcon(static_cast<HICON>(image));
  }

  // Gives an image control `image` (nullptr: none), or with `rescale` shows
  // its image again at the window's resolution. The control switches its
  // style first: a static of the other style refuses the image without a
  // word. A bitmap with alpha is copied by the version-6 control, and that
  // copy comes back from the next STM_SETIMAGE: such copies and our scaled
  // copies are deleted here; the images handed in belong to their slots.
  void ShowPicture(int number, HANDLE image, bool rescale = false) {
    HWND h = Control(number);
    if (!h) return;
    Picture& picture = pictures[number];
    const Picture before = picture;
    if (!rescale) {
      picture.given = image;
      bool isBitmap = true;
      if (image) ImageSize(image, isBitmap);
      picture.isBitmap = isBitmap;
    }
    picture.shown = picture.given ? DisplayImage(picture, picture.size) : nullptr;
    if (!picture.given) picture.size = {0, 0};
    LRESULT old = 0;
    if (picture.shown) {
      LONG_PTR style = GetWindowLongPtrW(h, GWL_STYLE) & ~static_cast<LONG_PTR>(SS_TYPEMASK);
      SetWindowLongPtrW(h, GWL_STYLE, style | (picture.isBitmap ? SS_BITMAP : SS_ICON));
      old = SendMessageW(h, STM_SETIMAGE, picture.isBitmap ? IMAGE_BITMAP : IMAGE_ICON,
                         reinterpret_cast<LPARAM>(picture.shown));
    } else {
      const LONG_PTR type = GetWindowLongPtrW(h, GWL_STYLE) & SS_TYPEMASK;
      if (type == SS_BITMAP) old = SendMessageW(h, STM_SETIMAGE, IMAGE_BITMAP, 0);
      if (type == SS_ICON) SendMessageW(h, STM_SETIMAGE, IMAGE_ICON, 0);
    }
    HANDLE previous = reinterpret_cast<HANDLE>(old);
    if (previous && previous != before.shown && previous != before.given && previous != picture.shown &&
        GetObjectType(previous) == OBJ_BITMAP)
      DeleteObject(previous);
    if (before.shown && before.shown != before.given && before.shown != picture.shown)
      ReleaseImage(before.shown, before.isBitmap);
    if (!picture.given) pictures.erase(number);
  }

  // ---- Layout ----

  // The width of a button's text in its font, in pixels.
  int ButtonTextWidth(int number) const {
    HWND h = Control(number);
    if (!h || KindOf(number) != ControlKind::Button) return 0;
    const int length = GetWindowTextLengthW(h);
    if (length <= 0) return 0;
    std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1);
    const int got = GetWindowTextW(h, text.data(), length + 1);
    HDC dc = GetDC(h);
    if (!dc) return 0;
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)));
    SIZE size = {0, 0};
    GetTextExtentPoint32W(dc, text.data(), got, &size);
    SelectObject(dc, old);
    ReleaseDC(h, dc);
    return size.cx;
  }

  // Every control to its place at the window's resolution; image controls
  // take the size of what they show.
  void ApplyLayout() {
    const WizardArrangement a = ArrangeWizard(dpi, [this](int number) { return ButtonTextWidth(number); });
    for (const auto& entry : a.controls) {
      HWND h = Control(entry.first);
      if (!h) continue;
      PixelRect r = entry.second;
      auto picture = pictures.find(entry.first);
      if (picture != pictures.end() && picture->second.size.cx > 0 && picture->second.size.cy > 0) {
        r.width = picture->second.size.cx;
        r.height = picture->second.size.cy;
      }
      SetWindowPos(h, nullptr, r.x, r.y, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (separator)
      SetWindowPos(separator, nullptr, a.separator.x, a.separator.y, a.separator.width, a.separator.height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // Sizes the window so that its client area is the layout's at `dpi`,
  // keeping its top-left corner: the frame's own size is the system's.
  void FitClientArea() {
    RECT client;
    RECT frame;
    if (!GetClientRect(window, &client) || !GetWindowRect(window, &frame)) return;
    const int width = ScaleForDpi(kWizardClientWidth, dpi);
    const int height = ScaleForDpi(kWizardClientHeight, dpi);
    if (client.right == width && client.bottom == height) return;
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left + width - client.right,
                 frame.bottom - frame.top + height - client.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // The selected radio button of a group is the one Tab arrives at.
  void MoveTabStopToSelected(int number) {
    const std::vector<ControlLayout>& all = WizardControls();
    auto at = std::find_if(all.begin(), all.end(), [&](const ControlLayout& c) { return c.number == number; });
    if (at == all.end() || at->kind != ControlKind::Radio) return;
    while (at != all.begin() && !at->groupStart && (at - 1)->kind == ControlKind::Radio) --at;
    std::vector<HWND> group;
    HWND selected = nullptr;
    for (auto it = at; it != all.end() && it->kind == ControlKind::Radio && (it == at || !it->groupStart); ++it) {
      HWND h = Control(it->number);
      if (!h) continue;
      group.push_back(h);
      if (!selected && SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED) selected = h;
    }
    // With none selected, the first.
    if (!selected && !group.empty()) selected = group.front();
    for (HWND h : group) {
      const LONG_PTR style = GetWindowLongPtrW(h, GWL_STYLE);
      SetWindowLongPtrW(h, GWL_STYLE, h == selected ? style | WS_TABSTOP : style & ~static_cast<LONG_PTR>(WS_TABSTOP));
    }
  }

  // A new resolution (another monitor): fonts, pictures and places anew,
  // inside the frame the system suggests.
  void ChangeDpi(int newDpi, const RECT* suggested) {
    if (newDpi <= 0) return;
    dpi = newDpi;
    HFONT old[static_cast<int>(FontId::Count)];
    std::copy(std::begin(fonts), std::end(fonts), std::begin(old));
    CreateFonts();
    ApplyFonts(true, false);
    for (HFONT f : old)
      if (f) DeleteObject(f);
    std::vector<int> shown;
    for (const auto& entry : pictures) shown.push_back(entry.first);
    for (int number : shown) ShowPicture(number, nullptr, true);
    if (suggested) {
      SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    FitClientArea();
    ApplyLayout();
    InvalidateRect(window, nullptr, TRUE);
  }

  // ---- Keyboard ----

  // The thick border of the button Enter presses: the focused push button,
  // else the default button of the page.
  void UpdateDefaultLook() {
    const int focused = NumberOf(GetFocus());
    const int look = KindOf(focused) == ControlKind::Button && Usable(focused) ? focused : DefaultButton(UsableControls());
    for (const auto& entry : controls) {
      if (KindOf(entry.first) != ControlKind::Button) continue;
      const LONG_PTR style = GetWindowLongPtrW(entry.second, GWL_STYLE);
      const LONG_PTR want = entry.first == look ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
      if ((style & BS_TYPEMASK) != want)
        SendMessageW(entry.second, BM_SETSTYLE, static_cast<WPARAM>(want | BS_NOTIFY), TRUE);
    }
  }

  // Presses a button (or the link) as a click would: the focus moves there
  // first, so a folder field the focus leaves is completed before the press.
  void Press(int number) {
    HWND h = Control(number);
    if (!h) return;
    SetFocus(h);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(number, BN_CLICKED), reinterpret_cast<LPARAM>(h));
  }

  // Enter and Esc are the wizard's own: Enter presses the focused button or
  // link, else the page's default button; Esc presses Cancel where it is
  // shown. Neither reaches the dialog manager, whose commands 1 and 2 would
  // name HeaderPanel and HeaderSubtitle. True when the key was taken.
  bool DialogKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || (msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE)) return false;
    if (!window || (msg.hwnd != window && !IsChild(window, msg.hwnd))) return false;
    if (msg.hwnd != window) {
      const LRESULT wants = SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
      if (wants & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;  // an open drop-down list, say
    }
    int button = 0;
    if (msg.wParam == VK_RETURN) {
      const int focused = NumberOf(GetFocus());
      const ControlKind kind = KindOf(focused);
      button = (kind == ControlKind::Button || kind == ControlKind::Hyperlink) && Usable(focused)
                   ? focused
                   : DefaultButton(UsableControls());
    } else {
      button = EscapeButton(UsableControls());
    }
    if (button != 0) Press(button);
    return true;
  }

  // Where the focus goes when the window is entered again: where it was,
  // or the page's sensible control.
  void RestoreFocus() {
    HWND target = savedFocus;
    if (!target || !IsWindow(target) || !IsWindowVisible(target) || !IsWindowEnabled(target) ||
        !IsChild(window, target)) {
      target = Control(SensibleFocus(UsableControls(), CheckedControls()));
    }
    SetFocus(target ? target : window);
  }

  void Dispatch(MSG& msg) {
    if (DialogKey(msg)) return;
    if (window && IsDialogMessageW(window, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }

  // ---- Events ----

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
        // Push buttons notify their focus (BS_NOTIFY), and report a quick
        // second click as a double click: a click too.
        if (code == BN_SETFOCUS) UpdateDefaultLook();
        if (code == BN_KILLFOCUS) PostMessageW(window, kUpdateDefaultLook, 0, 0);
        if (code == BN_CLICKED || code == BN_DOUBLECLICKED)
          events.push_back({WizardEvent::Click, WizardWindowNumber, number});
        break;
      case ControlKind::Radio:
        if (code == BN_CLICKED) {
          MoveTabStopToSelected(number);
          events.push_back({WizardEvent::Click, WizardWindowNumber, number});
        }
        break;
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

  // Width and height of a bitmap or icon, {0, 0} when unknown.
  static SIZE ImageSize(HANDLE image, bool& isBitmap) {
    SIZE size = {0, 0};
    isBitmap = GetObjectType(image) == OBJ_BITMAP;
    if (isBitmap) {
      BITMAP bm;
      if (GetObjectW(image, sizeof bm, &bm)) size = {bm.bmWidth, bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight};
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
    // As a dialog does: the focus is kept while the window is left (for a
    // message box, the chooser or another program) and comes back with it.
    case WM_ACTIVATE:
      if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd, focus)) impl->savedFocus = focus;
      } else if (!HIWORD(wp)) {
        impl->RestoreFocus();
      }
      return 0;
    case WM_SETFOCUS:
      impl->RestoreFocus();
      return 0;
    case kUpdateDefaultLook:
      impl->UpdateDefaultLook();
      return 0;
    case kDpiChanged:
      impl->ChangeDpi(HIWORD(wp), reinterpret_cast<const RECT*>(lp));
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

// Every control that takes the focus starts a group of its own, except the
// radio buttons after the first of theirs: the arrow keys move within a
// group, Tab from one to the next, in the layout's order. Labels start one
// too, so that a group of radio buttons followed by a label ends there.
ControlClass ClassFor(const ControlLayout& c, const wchar_t* richClass) {
  const DWORD base = WS_CHILD | WS_VISIBLE;
  const DWORD stop = WS_TABSTOP | WS_GROUP;
  switch (c.kind) {
    case ControlKind::Panel:
      return {kPanelClass, base | WS_CLIPSIBLINGS,
              static_cast<DWORD>(WS_EX_CONTROLPARENT | (c.sunkenEdge ? WS_EX_STATICEDGE : 0))};
    case ControlKind::Label:
      return {L"STATIC", base | WS_GROUP | SS_NOPREFIX | (c.centred ? SS_CENTER : SS_LEFT), 0};
    case ControlKind::Image:
      // Becomes SS_BITMAP or SS_ICON when it gets an image; an empty image
      // static would leave its area unpainted.
      return {L"STATIC", base | SS_LEFT, 0};
    case ControlKind::RichView:
      return {richClass,
              base | stop | ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
                  ES_NOHIDESEL,
              WS_EX_CLIENTEDGE};
    case ControlKind::Radio:
      return {L"BUTTON", base | BS_AUTORADIOBUTTON | (c.groupStart ? stop : 0), 0};
    case ControlKind::CheckBox:
      return {L"BUTTON", base | stop | BS_AUTOCHECKBOX, 0};
    case ControlKind::Edit:
      return {L"EDIT", base | stop | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::Button:
      return {L"BUTTON", base | stop | BS_PUSHBUTTON | BS_NOTIFY, 0};
    case ControlKind::ListBox:
      return {L"LISTBOX", base | stop | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE};
    case ControlKind::Hyperlink:
      return {kLinkClass, base | stop, 0};
  }
  return {L"STATIC", base, 0};
}

constexpr DWORD kWizardStyle = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
constexpr DWORD kWizardExStyle = WS_EX_CONTROLPARENT;

}  // namespace

WizardWindowSurface::WizardWindowSurface(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
WizardWindowSurface::~WizardWindowSurface() = default;

void* WizardWindowSurface::WindowHandle() const { return impl_->window; }
void* WizardWindowSurface::ControlHandle(int control) const { return impl_->Control(control); }
int WizardWindowSurface::Dpi() const { return impl_->dpi; }

void WizardWindowSurface::Show(int control) {
  if (HWND h = impl_->Control(control)) ShowWindow(h, SW_SHOWNA);
  impl_->UpdateDefaultLook();
}

void WizardWindowSurface::Hide(int control) {
  if (HWND h = impl_->Control(control)) ShowWindow(h, SW_HIDE);
  impl_->UpdateDefaultLook();
}

void WizardWindowSurface::Enable(int control) {
  if (HWND h = impl_->Control(control)) EnableWindow(h, TRUE);
  impl_->UpdateDefaultLook();
}

void WizardWindowSurface::Disable(int control) {
  if (HWND h = impl_->Control(control)) EnableWindow(h, FALSE);
  impl_->UpdateDefaultLook();
}

void WizardWindowSurface::SetText(int control, const std::string& text) {
  HWND h = impl_->Control(control);
  if (!h) return;
  SetWindowTextW(h, Wide(text).c_str());
  // A button's new text may need a wider button.
  if (Impl::KindOf(control) == ControlKind::Button) impl_->ApplyLayout();
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
      impl_->MoveTabStopToSelected(control);
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
      // The image it was given, also where it shows a scaled copy.
      auto picture = impl_->pictures.find(control);
      return picture == impl_->pictures.end() ? 0 : reinterpret_cast<std::intptr_t>(picture->second.given);
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
  impl_->ShowPicture(control, reinterpret_cast<HANDLE>(image));
  // The control takes the size of what it shows, at its place.
  auto picture = impl_->pictures.find(control);
  if (picture != impl_->pictures.end() && picture->second.size.cx > 0 && picture->second.size.cy > 0)
    SetWindowPos(h, nullptr, 0, 0, picture->second.size.cx, picture->second.size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(h, nullptr, TRUE);
}

void WizardWindowSurface::Focus(int control) {
  HWND h = impl_->Control(control);
  if (!h) return;
  // A window in the background keeps the place for when it is entered again.
  if (GetActiveWindow() == impl_->window)
    SetFocus(h);
  else
    impl_->savedFocus = h;
}

int WizardWindowSurface::FocusedControl() const {
  if (GetActiveWindow() == impl_->window) return impl_->NumberOf(GetFocus());
  return impl_->NumberOf(impl_->savedFocus);
}

void WizardWindowSurface::RegisterControlColour(int control, std::uint32_t text, std::uint32_t background) {
  HBRUSH brush = CreateSolidBrush(background);
  auto it = impl_->colours.find(control);
  if (it != impl_->colours.end()) DeleteObject(it->second.brush);
  impl_->colours[control] = Impl::Colour{text, background, brush};
  if (HWND h = impl_->Control(control)) InvalidateRect(h, nullptr, TRUE);
}

void WizardWindowSurface::AddSeparator() {
  if (!impl_->window || impl_->separator) return;
  impl_->separator = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_ETCHEDHORZ, 0, 0, 0, 0,
                                     impl_->window, nullptr, GetModuleHandleW(nullptr), nullptr);
  impl_->ApplyLayout();
}

bool WizardWindowSurface::WaitForEvent(WizardEvent& event) {
  while (impl_->events.empty()) {
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    impl_->Dispatch(msg);
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
    impl_->Dispatch(msg);
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

  // Rich edit 2.0 when it loads, else 1.0.
  impl->richEdit = LoadSystemLibrary(L"RICHED20.DLL");
  if (!impl->richEdit) {
    impl->richEdit = LoadSystemLibrary(L"RICHED32.DLL");
    impl->richClass = L"RichEdit";
  }

  // 2. The window, hidden, caption only; sized for its monitor's resolution
  // once it exists, centred (cut to the screen when larger).
  const std::string title = WizardWindowTitle(titel, version);
  impl->window = CreateWindowExW(kWizardExStyle, kWindowClass, Wide(title).c_str(), kWizardStyle, 0, 0,
                                 kWizardClientWidth, kWizardClientHeight, nullptr, nullptr, instance, impl.get());
  if (!impl->window) return nullptr;
  impl->systemDpi = SystemDpi();
  impl->dpi = WindowDpi(impl->window);
  const PixelRect frame = FrameForClient(ScaleForDpi(kWizardClientWidth, impl->dpi),
                                         ScaleForDpi(kWizardClientHeight, impl->dpi), kWizardStyle, kWizardExStyle,
                                         impl->dpi);
  int width = frame.width;
  int height = frame.height;
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  int x = (screenWidth - width) / 2;
  int y = (screenHeight - height) / 2;
  const bool cut = width > screenWidth || height > screenHeight;
  if (cut) {
    width = width > screenWidth ? screenWidth : width;
    height = height > screenHeight ? screenHeight : height;
    x = 0;
    y = 0;
  }
  SetWindowPos(impl->window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  if (!cut) impl->FitClientArea();

  // 1. Fonts, sized for the window's resolution.
  impl->CreateFonts();
  impl->viewFont = static_cast<HFONT>(GuiFontForDpi(impl->systemDpi));

  // 3. The controls in table order; a panel's children follow it directly.
  for (const ControlLayout& c : WizardControls()) {
    HWND parent = c.parent == 0 ? impl->window : impl->Control(c.parent);
    if (!parent) continue;
    const ControlClass cls = ClassFor(c, impl->richClass);
    const std::string text = InitialControlText(c, texts);
    const PixelRect r = ScaleRectForDpi({c.x, c.y, c.width, c.height}, impl->dpi);
    HWND h = CreateWindowExW(cls.exStyle, cls.className, Wide(text).c_str(), cls.style, r.x, r.y, r.width, r.height,
                             parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.number)), instance, nullptr);
    if (!h) continue;
    impl->controls[c.number] = h;
    impl->numbers[h] = c.number;
    if (c.kind == ControlKind::Panel && c.white) SetWindowLongPtrW(h, GWLP_USERDATA, kPanelWhite);
    // 4. Rich views wrap at their own width, and hand Tab on.
    if (c.kind == ControlKind::RichView) {
      SendMessageW(h, EM_SETTARGETDEVICE, 0, 0);
      SetWindowSubclass(h, ReadOnlyViewProc, 0, 0);
    }
  }
  impl->ApplyFonts(false, true);
  impl->ApplyLayout();  // the buttons measured in their fonts

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

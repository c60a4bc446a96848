// Builds the real wizard window (under Wine and a virtual display) and reads
// every control back from the system.
#include "ui/wizard_window.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ui/button_row.h"
#include "ui/dpi_scale.h"
#include "ui/wizard_arrangement.h"
#include "ui/wizard_layout.h"

namespace brindorel {
namespace {

class WizardWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    texts_ = DefaultInterfaceTexts("Acme Tool", "2.1");
    window_ = BuildWizardWindow(texts_, "Acme Tool", "2.1", 0);
    ASSERT_NE(window_, nullptr);
  }
  HWND Window() const { return static_cast<HWND>(window_->WindowHandle()); }
  HWND Control(int n) const { return static_cast<HWND>(window_->ControlHandle(n)); }
  static bool OwnVisible(HWND h) { return (GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE) != 0; }

  InterfaceTexts texts_;
  std::unique_ptr<WizardWindowSurface> window_;
};

TEST_F(WizardWindowTest, WindowIsCaptionOnlyWithTitleAndClientSize) {
  char title[256];
  GetWindowTextA(Window(), title, sizeof title);
  EXPECT_STREQ(title, " Acme Tool  2.1");
  RECT client;
  GetClientRect(Window(), &client);
  EXPECT_EQ(client.right, kWizardClientWidth);
  EXPECT_EQ(client.bottom, kWizardClientHeight);
  const LONG style = GetWindowLongA(Window(), GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_FALSE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_TRUE(IsWindowVisible(Window()));
}

TEST_F(WizardWindowTest, EveryControlHasItsRectangleTextAndVisibility) {
  const auto& hidden = InitiallyHiddenControls();
  for (const ControlLayout& c : WizardControls()) {
    SCOPED_TRACE("control " + std::to_string(c.number));
    HWND h = Control(c.number);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GetDlgCtrlID(h), c.number);
    HWND parent = c.parent == 0 ? Window() : Control(c.parent);
    EXPECT_EQ(GetParent(h), parent);
    RECT rc;
    GetWindowRect(h, &rc);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_EQ(rc.left, c.x);
    EXPECT_EQ(rc.top, c.y);
    EXPECT_EQ(rc.right - rc.left, c.width);
    EXPECT_EQ(rc.bottom - rc.top, c.height);
    const bool shouldHide = std::find(hidden.begin(), hidden.end(), c.number) != hidden.end();
    EXPECT_EQ(OwnVisible(h), !shouldHide);
    if (c.kind != ControlKind::RichView && c.kind != ControlKind::Image) {
      EXPECT_EQ(window_->GetText(c.number), InitialControlText(c, texts_));
    }
  }
  char cls[64];
  GetClassNameA(Control(LicenceView), cls, sizeof cls);
  EXPECT_STREQ(cls, "RichEdit20W");  // the system folder's rich edit 2.0, wide
  EXPECT_TRUE(GetWindowLongA(Control(ReadmeView), GWL_STYLE) & ES_READONLY);
  EXPECT_TRUE(GetWindowLongA(Control(LicencePage), GWL_EXSTYLE) & WS_EX_STATICEDGE);
  EXPECT_EQ(window_->GetText(BackButton), "< Back");
  EXPECT_EQ(window_->GetText(NextButton), "Next >");
  EXPECT_EQ(window_->GetText(WelcomeTitle), "Welcome to the installation of 'Acme Tool'");
}

TEST_F(WizardWindowTest, FontsFollowTheScreenResolution) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  LOGFONTA lf;
  ASSERT_TRUE(GetObjectA(reinterpret_cast<HFONT>(SendMessageA(Control(WelcomeTitle), WM_GETFONT, 0, 0)),
                         sizeof lf, &lf));
  EXPECT_EQ(lf.lfHeight, -MulDiv(12, dpi, 72));
  EXPECT_EQ(lf.lfWeight, 700);
  EXPECT_STREQ(lf.lfFaceName, "Arial");
  ASSERT_TRUE(GetObjectA(reinterpret_cast<HFONT>(SendMessageA(Control(InstallButton), WM_GETFONT, 0, 0)),
                         sizeof lf, &lf));
  EXPECT_STREQ(lf.lfFaceName, "MS Sans Serif");
  EXPECT_EQ(SendMessageA(Control(NextButton), WM_GETFONT, 0, 0),
            reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT)));
}

TEST_F(WizardWindowTest, SurfaceOperationsReachTheControls) {
  window_->SetText(InstallDirField, "C:\\Acme\\");
  EXPECT_EQ(window_->GetText(InstallDirField), "C:\\Acme\\");
  window_->SetState(DesktopIconBox, 1);
  EXPECT_EQ(window_->GetState(DesktopIconBox), 1);
  window_->SetState(AcceptOption, 1);
  SendMessageA(Control(DeclineOption), BM_CLICK, 0, 0);
  EXPECT_EQ(window_->GetState(AcceptOption), 0);  // one radio group
  EXPECT_EQ(window_->GetState(DeclineOption), 1);

  window_->AddListLine(ProgressList, -1, "first");
  window_->AddListLine(ProgressList, -1, "third");
  window_->AddListLine(ProgressList, 1, "second");
  window_->SetListLine(ProgressList, 2, "last");
  window_->SetListLine(ProgressList, 7, "ignored");
  HWND list = Control(ProgressList);
  ASSERT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 3);
  char line[64];
  SendMessageA(list, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(line));
  EXPECT_STREQ(line, "second");
  SendMessageA(list, LB_GETTEXT, 2, reinterpret_cast<LPARAM>(line));
  EXPECT_STREQ(line, "last");
  EXPECT_EQ(window_->GetState(ProgressList), -1);

  window_->Disable(MenuFolderField);
  EXPECT_FALSE(IsWindowEnabled(Control(MenuFolderField)));
  window_->Show(InstallPage);
  window_->Hide(WelcomePage);
  EXPECT_TRUE(OwnVisible(Control(InstallPage)));
  EXPECT_FALSE(OwnVisible(Control(WelcomePage)));
  // Unknown numbers are ignored.
  window_->SetText(99, "x");
  EXPECT_EQ(window_->GetText(99), "");
}

TEST_F(WizardWindowTest, ClicksFocusLossAndCloseBecomeEvents) {
  window_->ProcessPendingMessages();
  SendMessageA(Control(NextButton), BM_CLICK, 0, 0);
  SendMessageA(Control(WebLink), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  SetFocus(Control(InstallDirField));
  SetFocus(Control(NextButton));
  PostMessageA(Window(), WM_CLOSE, 0, 0);

  WizardEvent e{};
  ASSERT_TRUE(window_->WaitForEvent(e));
  EXPECT_EQ(e.kind, WizardEvent::Click);
  EXPECT_EQ(e.control, NextButton);
  ASSERT_TRUE(window_->WaitForEvent(e));
  EXPECT_EQ(e.kind, WizardEvent::Click);
  EXPECT_EQ(e.control, WebLink);
  ASSERT_TRUE(window_->WaitForEvent(e));
  EXPECT_EQ(e.kind, WizardEvent::FocusLost);
  EXPECT_EQ(e.control, InstallDirField);
  ASSERT_TRUE(window_->WaitForEvent(e));
  EXPECT_EQ(e.kind, WizardEvent::CloseRequest);
  EXPECT_EQ(e.window, WizardWindowNumber);
  EXPECT_TRUE(IsWindow(Window()));  // a close request does not close by itself
}

TEST_F(WizardWindowTest, PumpingDropsClicksAndKeepsACloseRequestOnlyWhileHeld) {
  window_->ProcessPendingMessages();
  for (bool hold : {false, true}) {
    SCOPED_TRACE(hold ? "held" : "not held");
    window_->HoldCloseRequests(hold);
    PostMessageA(Window(), WM_CLOSE, 0, 0);
    SendMessageA(Control(NextButton), BM_CLICK, 0, 0);
    PostMessageA(Window(), WM_CLOSE, 0, 0);
    window_->ProcessPendingMessages();
    window_->ProcessPendingMessages();  // a second pump keeps it, once
    window_->HoldCloseRequests(false);
    // A marker click shows what is queued in front of it.
    SendMessageA(Control(BackButton), BM_CLICK, 0, 0);
    WizardEvent e{};
    ASSERT_TRUE(window_->WaitForEvent(e));
    if (hold) {
      EXPECT_EQ(e.kind, WizardEvent::CloseRequest);
      ASSERT_TRUE(window_->WaitForEvent(e));
    }
    EXPECT_EQ(e.kind, WizardEvent::Click);
    EXPECT_EQ(e.control, BackButton);
  }
}

TEST_F(WizardWindowTest, ImagesResizeTheirControl) {
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 120, 280);
  ReleaseDC(nullptr, screen);
  window_->SetImage(SideImage, reinterpret_cast<ImageHandle>(bitmap));
  EXPECT_EQ(window_->GetState(SideImage), reinterpret_cast<std::intptr_t>(bitmap));
  RECT rc;
  GetWindowRect(Control(SideImage), &rc);
  EXPECT_EQ(rc.right - rc.left, 120);
  EXPECT_EQ(rc.bottom - rc.top, 280);

  HICON icon = LoadIcon(nullptr, IDI_APPLICATION);
  window_->SetImage(HeaderIcon, reinterpret_cast<ImageHandle>(icon));
  EXPECT_EQ(window_->GetState(HeaderIcon), reinterpret_cast<std::intptr_t>(icon));
  GetWindowRect(Control(HeaderIcon), &rc);
  EXPECT_EQ(rc.right - rc.left, GetSystemMetrics(SM_CXICON));
  window_->SetImage(SideImage, 0);
  DeleteObject(bitmap);
}

TEST_F(WizardWindowTest, TabMovesTheFocusThroughVisibleControls) {
  SetForegroundWindow(Window());
  SetFocus(Control(NextButton));
  ASSERT_EQ(GetFocus(), Control(NextButton));
  PostMessageA(Control(NextButton), WM_KEYDOWN, VK_TAB, 0);
  window_->ProcessPendingMessages();
  EXPECT_EQ(GetFocus(), Control(CancelButton));  // InstallButton is hidden
}

// ---- The keyboard ----

class WizardKeyboardTest : public WizardWindowTest {
 protected:
  void SetUp() override {
    WizardWindowTest::SetUp();
    SetForegroundWindow(Window());
    window_->ProcessPendingMessages();
  }
  // A key as the keyboard delivers it to the focused control, Shift held
  // or not (the thread's key state is what the dialog keys read).
  void Key(WPARAM key, bool shift = false) {
    BYTE state[256];
    GetKeyboardState(state);
    state[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(state);
    HWND target = GetFocus() ? GetFocus() : Window();
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
    // Dispatched as the wizard's loop does it; a close request behind the
    // keys (which never make one) shows where their events end.
    PostMessageW(Window(), WM_CLOSE, 0, 0);
    WizardEvent e{};
    while (window_->WaitForEvent(e) && e.kind != WizardEvent::CloseRequest) events_.push_back(e);
    state[VK_SHIFT] = 0;
    SetKeyboardState(state);
  }
  int Focused() const { return GetDlgCtrlID(GetFocus()); }
  std::vector<int> Clicks() {
    std::vector<int> clicks;
    for (const WizardEvent& e : events_)
      if (e.kind == WizardEvent::Click) clicks.push_back(e.control);
    events_.clear();
    return clicks;
  }
  void ShowSettingsPage() {
    for (int n : {WelcomePage, SideImage}) window_->Hide(n);
    for (int n : {HeaderPanel, SettingsPage, BackButton}) window_->Show(n);
  }

  std::vector<WizardEvent> events_;
};

TEST_F(WizardKeyboardTest, TabAndShiftTabWalkTheShownControlsInLayoutOrder) {
  ShowSettingsPage();
  window_->Focus(InstallDirField);
  ASSERT_EQ(window_->FocusedControl(), InstallDirField);
  const int forward[] = {InstallDirChange, MenuFolderField, MenuFolderChange, DesktopIconBox, WebLink,
                         BackButton,       NextButton,      CancelButton,     InstallDirField};
  for (int expected : forward) {
    Key(VK_TAB);
    EXPECT_EQ(Focused(), expected);
  }
  for (int i = 7; i >= 0; --i) {
    Key(VK_TAB, true);
    EXPECT_EQ(Focused(), forward[i]);
  }
  EXPECT_TRUE(Clicks().empty());
}

TEST_F(WizardKeyboardTest, TheLicenceViewTakesTheFocusAndHandsItOn) {
  for (int n : {WelcomePage, SideImage}) window_->Hide(n);
  for (int n : {HeaderPanel, LicencePage, BackButton}) window_->Show(n);
  window_->SetState(DeclineOption, 1);
  window_->Focus(LicenceView);
  EXPECT_FALSE(SendMessageW(Control(LicenceView), WM_GETDLGCODE, 0, 0) & (DLGC_WANTTAB | DLGC_WANTALLKEYS));
  Key(VK_DOWN);  // scrolls, stays
  EXPECT_EQ(Focused(), LicenceView);
  Key(VK_TAB);
  EXPECT_EQ(Focused(), DeclineOption);  // the group's selected button
  // The arrows move within the group and select as they go.
  Key(VK_UP);
  EXPECT_EQ(Focused(), AcceptOption);
  EXPECT_EQ(window_->GetState(AcceptOption), 1);
  EXPECT_EQ(window_->GetState(DeclineOption), 0);
  EXPECT_EQ(Clicks(), std::vector<int>{AcceptOption});
  Key(VK_TAB, true);
  EXPECT_EQ(Focused(), LicenceView);
  Key(VK_ESCAPE);  // the view's own Esc would close its panel
  EXPECT_TRUE(IsWindow(Control(LicencePage)));
  EXPECT_EQ(Clicks(), std::vector<int>{CancelButton});
}

TEST_F(WizardKeyboardTest, EnterPressesTheDefaultButtonAndEscCancelNeverHeaderControls) {
  window_->Focus(NextButton);
  Key(VK_RETURN);
  EXPECT_EQ(Clicks(), std::vector<int>{NextButton});
  // From a field, Enter presses Next after the field has let go of the focus.
  ShowSettingsPage();
  window_->Focus(InstallDirField);
  Key(VK_RETURN);
  ASSERT_EQ(events_.size(), 2u);
  EXPECT_EQ(events_[0].kind, WizardEvent::FocusLost);
  EXPECT_EQ(events_[0].control, InstallDirField);
  EXPECT_EQ(Clicks(), std::vector<int>{NextButton});
  EXPECT_EQ(Focused(), NextButton);
  // A focused button is the one Enter presses, and wears the default border.
  window_->Focus(BackButton);
  EXPECT_EQ(GetWindowLongW(Control(BackButton), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  EXPECT_EQ(GetWindowLongW(Control(NextButton), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
  Key(VK_RETURN);
  EXPECT_EQ(Clicks(), std::vector<int>{BackButton});
  Key(VK_ESCAPE);
  EXPECT_EQ(Clicks(), std::vector<int>{CancelButton});
  // Disabled Next: Enter presses nothing; page 5: Install, and Esc nothing.
  window_->Focus(InstallDirField);
  window_->Disable(NextButton);
  Key(VK_RETURN);
  EXPECT_TRUE(Clicks().empty());
  window_->Enable(NextButton);
  for (int n : {HeaderPanel, SettingsPage, NextButton, CancelButton}) window_->Hide(n);
  for (int n : {InstallPage, InstallButton, FinishButton}) window_->Show(n);
  window_->Focus(InstallButton);
  Key(VK_ESCAPE);
  EXPECT_TRUE(Clicks().empty());
  window_->Focus(WebLink);
  Key(VK_RETURN);
  EXPECT_EQ(Clicks(), std::vector<int>{WebLink});
  window_->Focus(RunProgramBox);
  Key(VK_RETURN);
  EXPECT_EQ(Clicks(), std::vector<int>{InstallButton});
  for (const WizardEvent& e : events_) EXPECT_TRUE(e.control != HeaderPanel && e.control != HeaderSubtitle);
}

TEST_F(WizardKeyboardTest, TheFocusComesBackWhenTheWindowIsEnteredAgain) {
  window_->Focus(CancelButton);
  HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                               nullptr, nullptr);
  SetActiveWindow(other);
  EXPECT_EQ(window_->FocusedControl(), CancelButton);  // kept while away
  window_->Focus(NextButton);                          // and moved while away
  SetActiveWindow(Window());
  EXPECT_EQ(Focused(), NextButton);
  DestroyWindow(other);
}

// ---- Other resolutions ----

// The texts' widths as the window measures them, for the arrangement.
ControlTextWidth MeasureButtons(WizardWindowSurface& window) {
  return [&window](int control) {
    HWND h = static_cast<HWND>(window.ControlHandle(control));
    const ControlLayout* layout = FindWizardControl(control);
    if (!h || !layout || layout->kind != ControlKind::Button) return 0;
    const std::wstring text = [&] {
      wchar_t buffer[256] = {};
      GetWindowTextW(h, buffer, 256);
      return std::wstring(buffer);
    }();
    HDC dc = GetDC(h);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)));
    SIZE size = {};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(h, dc);
    return static_cast<int>(size.cx);
  };
}

TEST_F(WizardWindowTest, AMoveToAScreenOfAnotherResolutionLaysEverythingOutAgain) {
  HDC screen = GetDC(nullptr);
  HBITMAP side = CreateCompatibleBitmap(screen, 130, 300);
  ReleaseDC(nullptr, screen);
  window_->SetImage(SideImage, reinterpret_cast<ImageHandle>(side));
  const int systemDpi = SystemDpi();
  for (int dpi : {144, 192, 120, systemDpi}) {
    SCOPED_TRACE(dpi);
    RECT frame;
    GetWindowRect(Window(), &frame);
    const PixelRect size = FrameForClient(ScaleForDpi(kWizardClientWidth, dpi), ScaleForDpi(kWizardClientHeight, dpi),
                                          GetWindowLongW(Window(), GWL_STYLE), GetWindowLongW(Window(), GWL_EXSTYLE), dpi);
    RECT suggested = {frame.left, frame.top, frame.left + size.width, frame.top + size.height};
    SendMessageW(Window(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(window_->Dpi(), dpi);
    RECT client;
    GetClientRect(Window(), &client);
    EXPECT_EQ(client.right, ScaleForDpi(kWizardClientWidth, dpi));
    EXPECT_EQ(client.bottom, ScaleForDpi(kWizardClientHeight, dpi));
    const WizardArrangement want = ArrangeWizard(dpi, MeasureButtons(*window_));
    for (const ControlLayout& c : WizardControls()) {
      if (c.number == HeaderIcon) continue;  // empty: keeps the layout's place
      RECT rc;
      GetWindowRect(Control(c.number), &rc);
      MapWindowPoints(nullptr, GetParent(Control(c.number)), reinterpret_cast<POINT*>(&rc), 2);
      const PixelRect& r = want.controls.at(c.number);
      EXPECT_TRUE(rc.left == r.x && rc.top == r.y && rc.right - rc.left == r.width && rc.bottom - rc.top == r.height)
          << "control " << c.number << " at " << rc.left << "," << rc.top << " " << rc.right - rc.left << "x"
          << rc.bottom - rc.top;
    }
    // The English buttons keep the layout's widths at every resolution.
    for (int button : {BackButton, NextButton, CancelButton, InstallButton, FinishButton, InstallDirChange}) {
      const ControlLayout& c = *FindWizardControl(button);
      EXPECT_EQ(want.controls.at(button).width, ScaleRectForDpi({c.x, c.y, c.width, c.height}, dpi).width) << button;
    }
    LOGFONTW lf;
    ASSERT_TRUE(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Control(WelcomeTitle), WM_GETFONT, 0, 0)), sizeof lf, &lf));
    EXPECT_EQ(lf.lfHeight, -MulDiv(12, dpi, 72));
    ASSERT_TRUE(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Control(NextButton), WM_GETFONT, 0, 0)), sizeof lf, &lf));
    EXPECT_EQ(lf.lfHeight, -MulDiv(8, dpi, 72));
    // The side image shows scaled, the slot's image stays as it was given.
    RECT rc;
    GetWindowRect(Control(SideImage), &rc);
    EXPECT_EQ(rc.right - rc.left, ScaleForDpi(130, dpi));
    EXPECT_EQ(rc.bottom - rc.top, ScaleForDpi(300, dpi));
    EXPECT_EQ(window_->GetState(SideImage), reinterpret_cast<std::intptr_t>(side));
  }
  window_->SetImage(SideImage, 0);
  DeleteObject(side);
}

// Black beside white, doubled: the edge between them is blended, not a
// sharp step of doubled pixels.
TEST_F(WizardWindowTest, TheSideImageIsScaledSmoothly) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = 4;
  info.bmiHeader.biHeight = -2;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP side = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(side, nullptr);
  auto* rows = static_cast<unsigned char*>(bits);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      for (int c = 0; c < 3; ++c) rows[y * 12 + x * 3 + c] = x < 2 ? 0 : 255;
  window_->SetImage(SideImage, reinterpret_cast<ImageHandle>(side));
  RECT frame;
  GetWindowRect(Window(), &frame);
  SendMessageW(Window(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&frame));
  RedrawWindow(Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  window_->ProcessPendingMessages();
  HDC dc = GetDC(Control(SideImage));
  const int left = GetRValue(GetPixel(dc, 0, 1));
  const int edgeLeft = GetRValue(GetPixel(dc, 3, 1));
  const int edgeRight = GetRValue(GetPixel(dc, 4, 1));
  const int right = GetRValue(GetPixel(dc, 7, 1));
  ReleaseDC(Control(SideImage), dc);
  EXPECT_EQ(left, 0);
  EXPECT_EQ(right, 255);
  EXPECT_GT(edgeLeft, 20);
  EXPECT_LT(edgeLeft, 128);
  EXPECT_GT(edgeRight, 128);
  EXPECT_LT(edgeRight, 235);
  window_->SetImage(SideImage, 0);
  DeleteObject(side);
}

TEST_F(WizardWindowTest, LongButtonTextsWidenTheirButtonsAndShortenTheLink) {
  window_->SetText(WebLink, "https://acme.invalid/a/rather/long/address/that/the/buttons/will/cover");
  window_->SetText(BackButton, "< Edellinen sivu");
  window_->SetText(NextButton, "Seuraava sivu >");
  const auto place = [&](int n) {
    RECT rc;
    GetWindowRect(Control(n), &rc);
    MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
  };
  const RECT back = place(BackButton), next = place(NextButton), cancel = place(CancelButton), link = place(WebLink);
  const int dpi = window_->Dpi();
  EXPECT_EQ(cancel.right, ScaleForDpi(475, dpi));  // the rightmost stays
  EXPECT_GT(next.right - next.left, ScaleForDpi(60, dpi));
  EXPECT_GT(back.right - back.left, ScaleForDpi(60, dpi));
  EXPECT_EQ(cancel.left - next.right, ScaleForDpi(415, dpi) - ScaleForDpi(395, dpi));
  EXPECT_LE(link.right, back.left - (ScaleForDpi(270, dpi) - ScaleForDpi(250, dpi)));
  EXPECT_LT(link.right - link.left, ScaleForDpi(240, dpi));
  for (int n : {BackButton, NextButton}) {
    const int text = MeasureButtons(*window_)(n);
    const RECT r = place(n);
    EXPECT_GE(r.right - r.left, text + ScaleForDpi(kButtonTextPadding, dpi)) << n;
  }
}

TEST_F(WizardWindowTest, RunProgramBoxIsPaintedBlackOnWhite) {
  HWND box = Control(RunProgramBox);
  HDC dc = GetDC(box);
  const LRESULT brush = SendMessageA(GetParent(box), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(box));
  EXPECT_NE(brush, 0);
  EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
  EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
  // Registering again replaces the entry.
  window_->RegisterControlColour(RunProgramBox, RGB(1, 2, 3), RGB(4, 5, 6));
  SendMessageA(GetParent(box), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(box));
  EXPECT_EQ(GetBkColor(dc), RGB(4, 5, 6));
  EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));
  ReleaseDC(box, dc);
}

}  // namespace
}  // namespace brindorel

// Builds the real wizard window (under Wine and a virtual display) and reads
// every control back from the system.
#include "ui/wizard_window.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

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

// The side image and header icon of the real wizard window under Wine, built
// with the installer's manifest (version-6 controls): pictures loaded by
// content into their slots and controls, hostile files refused, and the
// pixels on the screen.
#include "ui/image_slots.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "tests/host/picture_writer.h"
#include "tests/host/tga_writer.h"
#include "ui/wizard_window.h"

namespace brindorel {
namespace {

using testing_pictures::Bytes;

class PicturesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "brindorel_pictures_" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
    builtIn_ = LoadIcon(nullptr, IDI_APPLICATION);
    ImageSlot icon;
    icon.handle = reinterpret_cast<ImageHandle>(CopyIcon(builtIn_));
    icon.icon = true;
    slots_.Put(kHeaderIconSlot, icon);
    texts_ = DefaultInterfaceTexts("Acme Tool", "2.1");
    window_ = BuildWizardWindow(texts_, "Acme Tool", "2.1", slots_.Get(kHeaderIconSlot).handle);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    window_.reset();
    DeleteFileA((folder_ + "splash.tga").c_str());
    DeleteFileA((folder_ + "header.ico").c_str());
    RemoveDirectoryA(folder_.c_str());
  }

  void Write(const char* name, const Bytes& bytes) {
    HANDLE f = CreateFileA((folder_ + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD put = 0;
    WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    CloseHandle(f);
  }
  HWND Control(int n) const { return static_cast<HWND>(window_->ControlHandle(n)); }
  LONG ImageStyle(int n) const { return GetWindowLongA(Control(n), GWL_STYLE) & SS_TYPEMASK; }
  RECT Placement(int n) const {
    RECT rc;
    GetWindowRect(Control(n), &rc);
    MapWindowPoints(nullptr, GetParent(Control(n)), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
  }
  COLORREF ScreenPixel(int x, int y) {
    RedrawWindow(static_cast<HWND>(window_->WindowHandle()), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    window_->ProcessPendingMessages();
    HDC dc = GetDC(static_cast<HWND>(window_->WindowHandle()));
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(static_cast<HWND>(window_->WindowHandle()), dc);
    return c;
  }

  std::string folder_;
  HICON builtIn_ = nullptr;
  ImageSlots slots_;  // outlives the window, as in the wizard run
  InterfaceTexts texts_;
  std::unique_ptr<WizardWindowSurface> window_;
};

using testing_pictures::Cut;
using testing_tga::WriteTga;

enum class Shown { Bitmap, Icon, Nothing };

struct PictureCase {
  const char* name;
  const char* file;
  std::function<Bytes()> make;
  Shown shown;
  int width, height;
};

void PrintTo(const PictureCase& c, std::ostream* os) { *os << c.name; }

class PictureByContentTest : public PicturesTest, public ::testing::WithParamInterface<PictureCase> {};

TEST_P(PictureByContentTest, LoadsIntoTheSlotAndControlOfItsKind) {
  const PictureCase& c = GetParam();
  Write(c.file, c.make());
  const bool side = std::string(c.file) == "splash.tga";
  const int control = side ? SideImage : HeaderIcon;
  const int slot = side ? kSideImageSlot : kHeaderIconSlot;
  const ImageHandle before = slots_.Get(slot).handle;
  LoadPackagePictures(slots_, *window_, folder_);

  const ImageSlot& image = slots_.Get(slot);
  if (c.shown == Shown::Nothing) {
    // The slot and the control keep what they had: nothing for the side
    // image, the built-in icon in the header.
    EXPECT_EQ(image.handle, before);
    EXPECT_EQ(static_cast<ImageHandle>(window_->GetState(control)), before);
    if (!side) {
      EXPECT_EQ(ImageStyle(HeaderIcon), SS_ICON);
    }
    return;
  }
  ASSERT_NE(image.handle, 0u);
  EXPECT_EQ(image.icon, c.shown == Shown::Icon);
  EXPECT_EQ(ImageStyle(control), c.shown == Shown::Icon ? SS_ICON : SS_BITMAP);
  EXPECT_EQ(GetObjectType(reinterpret_cast<HANDLE>(image.handle)) == OBJ_BITMAP, c.shown == Shown::Bitmap);
  EXPECT_EQ(image.width, c.width);
  EXPECT_EQ(image.height, c.height);
  // The control takes the image's size and keeps its place.
  const RECT rc = Placement(control);
  EXPECT_EQ(rc.left, side ? 0 : 440);
  EXPECT_EQ(rc.top, side ? 0 : 9);
  EXPECT_EQ(rc.right - rc.left, c.width);
  EXPECT_EQ(rc.bottom - rc.top, c.height);
  // The header's built-in icon was released once the new image showed.
  if (!side) {
    ICONINFO info;
    EXPECT_FALSE(GetIconInfo(reinterpret_cast<HICON>(before), &info));
  }
}

INSTANTIATE_TEST_SUITE_P(Files, PictureByContentTest, ::testing::Values(
    PictureCase{"tga_side_image", "splash.tga", [] { return WriteTga(130, 300); }, Shown::Bitmap, 130, 300},
    PictureCase{"tga_run_length_width_3", "splash.tga", [] { return WriteTga(3, 5, 10, true); }, Shown::Bitmap, 3, 5},
    PictureCase{"bitmap_named_tga", "splash.tga",
                [] { return testing_pictures::Bitmap(200, 300, 24, 0x3366CC); }, Shown::Bitmap, 200, 300},
    PictureCase{"bitmap_8_bits", "splash.tga", [] { return testing_pictures::Bitmap(20, 30, 8, 0x3366CC); },
                Shown::Bitmap, 20, 30},
    PictureCase{"icon_named_tga_at_natural_size", "splash.tga", [] { return testing_pictures::Icon(48); },
                Shown::Icon, 48, 48},
    PictureCase{"header_icon", "header.ico", [] { return testing_pictures::Icon(32, 2); }, Shown::Icon, 32, 32},
    PictureCase{"tga_named_ico", "header.ico", [] { return WriteTga(32, 32, 10); }, Shown::Bitmap, 32, 32},
    // A cut pixel stream still loads; the missing pixels are black.
    PictureCase{"tga_pixels_cut", "splash.tga", [] { Bytes b = WriteTga(130, 300); return Cut(b, b.size() / 2); },
                Shown::Bitmap, 130, 300},
    PictureCase{"bitmap_first_100_bytes", "splash.tga",
                [] { return Cut(testing_pictures::Bitmap(130, 300, 24), 100); }, Shown::Nothing, 0, 0},
    PictureCase{"tga_huge_sides", "splash.tga", [] {
      Bytes b = WriteTga(1, 1); testing_pictures::Put(b, 12, 0xFFFF, 2); testing_pictures::Put(b, 14, 0xFFFF, 2);
      return b; }, Shown::Nothing, 0, 0},
    PictureCase{"tga_header_cut", "splash.tga", [] { return Cut(WriteTga(130, 300), 10); }, Shown::Nothing, 0, 0},
    PictureCase{"tga_greyscale", "splash.tga", [] { return WriteTga(4, 4, 3); }, Shown::Nothing, 0, 0},
    PictureCase{"icon_cut_keeps_built_in", "header.ico", [] { return Cut(testing_pictures::Icon(32), 300); },
                Shown::Nothing, 0, 0},
    PictureCase{"bitmap_cut_keeps_built_in", "header.ico",
                [] { return Cut(testing_pictures::Bitmap(32, 32, 24), 100); }, Shown::Nothing, 0, 0}),
    [](const ::testing::TestParamInfo<PictureCase>& p) { return std::string(p.param.name); });

TEST_F(PicturesTest, EightBitBitmapsAreReloadedWithTheirPalette) {
  Write("splash.tga", testing_pictures::Bitmap(20, 30, 8, 0x3366CC));
  const ImageHandle image = slots_.LoadImageFile(kSideImageSlot, folder_ + "splash.tga", nullptr);
  ASSERT_NE(image, 0u);
  // The kept bitmap is the plain load, not the DIB section of the first one.
  DIBSECTION dib;
  EXPECT_NE(GetObjectA(reinterpret_cast<HANDLE>(image), sizeof dib, &dib), static_cast<int>(sizeof dib));
}

TEST_F(PicturesTest, TheControlGetsTheNewImageBeforeTheOldIsReleased) {
  Write("splash.tga", WriteTga(10, 10));
  const ImageHandle first =
      slots_.LoadImageFile(kSideImageSlot, folder_ + "splash.tga", [&](ImageHandle h) { window_->SetImage(SideImage, h); });
  ASSERT_NE(first, 0u);
  Write("splash.tga", WriteTga(20, 20));
  bool oldAliveAtHandOver = false;
  const ImageHandle second = slots_.LoadImageFile(kSideImageSlot, folder_ + "splash.tga", [&](ImageHandle h) {
    oldAliveAtHandOver = GetObjectType(reinterpret_cast<HANDLE>(first)) == OBJ_BITMAP;
    window_->SetImage(SideImage, h);
  });
  ASSERT_NE(second, 0u);
  EXPECT_TRUE(oldAliveAtHandOver);
  EXPECT_EQ(static_cast<ImageHandle>(window_->GetState(SideImage)), second);
  EXPECT_NE(GetObjectType(reinterpret_cast<HANDLE>(first)), static_cast<DWORD>(OBJ_BITMAP));
}

TEST_F(PicturesTest, TheScreenShowsTheSideImageAndWhiteAroundTheHeaderIcon) {
  Write("splash.tga", WriteTga(130, 300));
  Write("header.ico", testing_pictures::Icon(32, 1, 0xC03020, 8));
  LoadPackagePictures(slots_, *window_, folder_);
  SetForegroundWindow(static_cast<HWND>(window_->WindowHandle()));

  // Page 1: the side image upright at 0, 0.
  for (const POINT p : {POINT{0, 0}, POINT{129, 0}, POINT{7, 150}, POINT{100, 299}}) {
    const testing_tga::Bgr want = testing_tga::ReferencePixel(static_cast<std::uint32_t>(p.x),
                                                              static_cast<std::uint32_t>(p.y), 130);
    EXPECT_EQ(ScreenPixel(p.x, p.y), RGB(want.r, want.g, want.b)) << p.x << ", " << p.y;
  }

  // Pages 2 to 4: the header panel with the icon, white through its
  // transparent border, the colour inside.
  window_->Hide(WelcomePage);
  window_->Hide(SideImage);
  window_->Show(HeaderPanel);
  EXPECT_EQ(ScreenPixel(440 + 2, 9 + 2), RGB(255, 255, 255));
  EXPECT_EQ(ScreenPixel(440 + 29, 9 + 16), RGB(255, 255, 255));
  EXPECT_EQ(ScreenPixel(440 + 16, 9 + 16), RGB(0xC0, 0x30, 0x20));
}

}  // namespace
}  // namespace brindorel

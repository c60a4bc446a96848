#include "ui/image_slots.h"

#include <windows.h>

#include <vector>

#include "services/file_system.h"
#include "services/wide_win.h"
#include "ui/dpi_scale.h"
#include "ui/image_file.h"
#include "ui/tga_decoder.h"

namespace brindorel {
namespace {

ImageSlot BitmapSlot(HBITMAP bitmap) {
  ImageSlot slot;
  BITMAP bm;
  if (bitmap == nullptr || !GetObjectW(bitmap, sizeof bm, &bm)) {
    if (bitmap) DeleteObject(bitmap);
    return slot;
  }
  slot.handle = reinterpret_cast<ImageHandle>(bitmap);
  slot.width = bm.bmWidth;
  slot.height = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
  slot.bits = bm.bmBitsPixel;
  return slot;
}

ImageSlot LoadBitmapFile(const std::string& path) {
  HANDLE first = LoadImageW(nullptr, WidePath(path).c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
  ImageSlot slot = BitmapSlot(static_cast<HBITMAP>(first));
  if (slot.handle == 0 || slot.bits > 8) return slot;
  // A DIB section of 8 bits or fewer shows without its palette; the plain
  // load keeps it. The first bitmap goes once the second exists.
  HANDLE again = LoadImageW(nullptr, WidePath(path).c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
  if (again == nullptr) return slot;
  ImageSlot reloaded = BitmapSlot(static_cast<HBITMAP>(again));
  if (reloaded.handle == 0) return slot;
  DeleteObject(reinterpret_cast<HBITMAP>(slot.handle));
  return reloaded;
}

ImageSlot LoadIconFile(const std::string& path) {
  ImageSlot slot;
  // Natural size: no size and no default-size flag take the file's first image.
  HICON icon = static_cast<HICON>(LoadImageW(nullptr, WidePath(path).c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE));
  if (icon == nullptr) return slot;
  ICONINFO info;
  if (!GetIconInfo(icon, &info)) {
    DestroyIcon(icon);
    return slot;
  }
  BITMAP bm;
  if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bm, &bm)) {
    slot.width = bm.bmWidth;
    slot.height = bm.bmHeight;
    slot.bits = bm.bmBitsPixel;
  } else if (info.hbmMask && GetObjectW(info.hbmMask, sizeof bm, &bm)) {
    slot.width = bm.bmWidth;
    slot.height = bm.bmHeight / 2;  // a monochrome icon's mask holds both halves
    slot.bits = 1;
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  // Above 96 DPI the icon is loaded again at its scaled size: the system
  // picks the file's image closest to it. The slot keeps the natural size.
  const int dpi = SystemDpi();
  if (dpi != kLayoutDpi && slot.width > 0 && slot.height > 0) {
    HICON scaled = static_cast<HICON>(LoadImageW(nullptr, WidePath(path).c_str(), IMAGE_ICON,
                                                 ScaleForDpi(slot.width, dpi), ScaleForDpi(slot.height, dpi),
                                                 LR_LOADFROMFILE));
    if (scaled != nullptr) {
      DestroyIcon(icon);
      icon = scaled;
    }
  }
  slot.handle = reinterpret_cast<ImageHandle>(icon);
  slot.icon = true;
  return slot;
}

ImageSlot DecodeTga(const std::vector<std::uint8_t>& bytes) {
  ImageSlot slot;
  const TgaDecoder decoder(bytes.data(), bytes.size());
  if (!decoder.IsTga()) return slot;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = static_cast<LONG>(decoder.width());
  info.bmiHeader.biHeight = -static_cast<LONG>(decoder.height());  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (bitmap == nullptr || pixels == nullptr) {
    if (bitmap) DeleteObject(bitmap);
    return slot;
  }
  // The sizes are at most kTgaMaxPixels, so the products fit.
  const std::size_t row = static_cast<std::size_t>(TgaRowSize(decoder.width()));
  const std::size_t size = row * decoder.height();
  GdiFlush();
  if (!decoder.Decode(static_cast<std::uint8_t*>(pixels), size, row)) {
    DeleteObject(bitmap);
    return slot;
  }
  slot.handle = reinterpret_cast<ImageHandle>(bitmap);
  slot.width = static_cast<int>(decoder.width());
  slot.height = static_cast<int>(decoder.height());
  slot.bits = 24;
  return slot;
}

}  // namespace

ImageSlot LoadPicture(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, kImageMaxFileSize, bytes)) return ImageSlot();
  switch (ClassifyImageFile(bytes.data(), bytes.size())) {
    case ImageFileKind::Bitmap: return LoadBitmapFile(path);
    case ImageFileKind::Icon: return LoadIconFile(path);
    case ImageFileKind::Tga: return DecodeTga(bytes);
    case ImageFileKind::None: break;
  }
  return ImageSlot();
}

void ReleasePicture(const ImageSlot& image) {
  if (image.handle == 0) return;
  if (image.icon)
    DestroyIcon(reinterpret_cast<HICON>(image.handle));
  else
    DeleteObject(reinterpret_cast<HBITMAP>(image.handle));
}

ImageSlots::~ImageSlots() {
  for (const ImageSlot& slot : slots_) ReleasePicture(slot);
}

const ImageSlot& ImageSlots::Get(int slot) const {
  static const ImageSlot kEmpty;
  return slot >= 0 && slot < kCount ? slots_[slot] : kEmpty;
}

void ImageSlots::Put(int slot, const ImageSlot& image, const ShowImage& show) {
  if (slot < 0 || slot >= kCount) {
    ReleasePicture(image);
    return;
  }
  const ImageSlot old = slots_[slot];
  slots_[slot] = image;
  if (show) show(image.handle);
  if (old.handle != image.handle) ReleasePicture(old);
}

ImageHandle ImageSlots::LoadImageFile(int slot, const std::string& path, const ShowImage& show) {
  if (slot < 0 || slot >= kCount) return 0;
  const ImageSlot image = LoadPicture(path);
  if (image.handle == 0) return 0;
  Put(slot, image, show);
  return image.handle;
}

void LoadPackagePictures(ImageSlots& slots, ControlSurface& surface, const std::string& workFolder) {
  const std::string splash = workFolder + "splash.tga";
  if (PathExists(splash))
    slots.LoadImageFile(kSideImageSlot, splash, [&](ImageHandle image) { surface.SetImage(SideImage, image); });
  const std::string header = workFolder + "header.ico";
  if (PathExists(header))
    slots.LoadImageFile(kHeaderIconSlot, header, [&](ImageHandle image) { surface.SetImage(HeaderIcon, image); });
}

}  // namespace brindorel

// The wizard's pictures: numbered image slots (3 the header icon, 4 the side
// image), each holding one bitmap or icon with its size, and LoadImageFile,
// which fills a slot from a file judged by its content. Windows only.
#pragma once

#include <functional>
#include <string>

#include "ui/control_surface.h"

namespace brindorel {

constexpr int kHeaderIconSlot = 3;
constexpr int kSideImageSlot = 4;

struct ImageSlot {
  ImageHandle handle = 0;  // HBITMAP or HICON; 0: empty
  bool icon = false;       // decides how the image is released
  int width = 0;
  int height = 0;
  int bits = 0;  // bits per pixel
};

// Loads a picture by its bytes (ClassifyImageFile): a bitmap through the
// system's loader, again without a DIB section at 8 bits or fewer so that it
// keeps its palette; an icon at its natural size (the file's first image),
// on a screen above 96 DPI at that size scaled (the file's closest image,
// the slot keeping the natural size); a TGA decoded into a 24-bit top-down
// bitmap. Bitmaps stay at their size: the window scales them. Files above kImageMaxFileSize
// are not read. An empty slot when nothing could be loaded.
ImageSlot LoadPicture(const std::string& path);
void ReleasePicture(const ImageSlot& image);

// Hands a slot's new image (or 0) to the control that shows it.
using ShowImage = std::function<void(ImageHandle)>;

class ImageSlots {
 public:
  static constexpr int kCount = 5;

  ImageSlots() = default;
  ~ImageSlots();
  ImageSlots(const ImageSlots&) = delete;
  ImageSlots& operator=(const ImageSlots&) = delete;

  // The slot's image; an empty one for numbers out of range.
  const ImageSlot& Get(int slot) const;

  // Makes `image` the slot's image. `show` (may be empty) gets the new handle
  // before the old image is released, so no control ever draws a released
  // image. Out-of-range slots release `image` at once.
  void Put(int slot, const ImageSlot& image, const ShowImage& show = ShowImage());

  // Loads `path` into `slot` and hands it to `show`, then releases the old
  // image; returns the new handle. A file that cannot be loaded changes
  // nothing (an empty slot stays empty, the built-in header icon stays) and
  // gives 0.
  ImageHandle LoadImageFile(int slot, const std::string& path, const ShowImage& show);

 private:
  ImageSlot slots_[kCount];
};

// The package's pictures in `workFolder`, when the files exist:
// "splash.tga" into the side-image slot shown by SideImage, "header.ico" into
// the header-icon slot shown by HeaderIcon.
void LoadPackagePictures(ImageSlots& slots, ControlSurface& surface, const std::string& workFolder);

}  // namespace brindorel

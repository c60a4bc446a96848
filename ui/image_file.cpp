#include "ui/image_file.h"

#include "ui/bitmap_check.h"

namespace brindorel {

ImageFileKind ClassifyImageFile(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size > kImageMaxFileSize) return ImageFileKind::None;
  // "BM" decides: such a file is a bitmap or nothing.
  if (size >= 2 && data[0] == 'B' && data[1] == 'M')
    return BitmapFileIsSound(data, size) ? ImageFileKind::Bitmap : ImageFileKind::None;
  if (IconFileIsSound(data, size)) return ImageFileKind::Icon;
  if (TgaDecoder(data, size).IsTga()) return ImageFileKind::Tga;
  return ImageFileKind::None;
}

}  // namespace brindorel

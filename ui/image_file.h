// What a picture file holds, judged by its bytes rather than its name: a
// Windows bitmap, a Windows icon or a TGA picture whose headers fit the file,
// or nothing that may be handed to the system or the decoder.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ui/tga_decoder.h"

namespace brindorel {

enum class ImageFileKind { None, Bitmap, Icon, Tga };

// Picture files above this size are refused before they are read. It is the
// largest TGA the decoder accepts (kTgaMaxPixels, every pixel its own packet,
// the longest ID and colour map), about 21 MiB; the largest accepted bitmap,
// kBitmapMaxPixels at 32 bits, needs 16 MiB plus its headers. Side images
// (130 x 300, 117 KB as a 24-bit TGA) and header icons (a few KB) are far
// below it.
constexpr std::uint64_t kImageMaxFileSize = kTgaMaxFileSize;

// A file that starts with "BM" is a bitmap when its headers fit the file and
// None otherwise (the system's loader reads past a bitmap that promises more
// bytes than it has). Any other file is an icon when its directory and images
// fit the file, else a TGA when the decoder accepts its header, else None.
ImageFileKind ClassifyImageFile(const std::uint8_t* data, std::size_t size);

}  // namespace brindorel

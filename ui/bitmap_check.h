// Header checks for Windows bitmap (.bmp) and icon (.ico) files held in
// memory, so that a file whose headers promise more bytes than it has is
// refused before the system is asked to load it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brindorel {

// Largest bitmap accepted, each side and in all.
constexpr std::uint32_t kBitmapMaxSide = 8192;
constexpr std::uint64_t kBitmapMaxPixels = 4u * 1024u * 1024u;

// True when `data` is a whole .bmp file: "BM" file header (14 bytes), a core
// (12) or info (40, 52, 56, 108, 124) header inside the file, width and height
// 1..kBitmapMaxSide (height may be negative for a top-down uncompressed
// bitmap), one plane, a bit count and compression that go together, the
// palette and colour masks inside the file, and the pixel array (computed
// from the size for uncompressed bitmaps, the header's image size for
// run-length ones) between the pixel offset and the end of the file.
bool BitmapFileIsSound(const std::uint8_t* data, std::size_t size);

// True when `data` is a whole .ico file: reserved 0, type 1, at least one
// entry, the directory inside the file, and every image inside the file after
// the directory. An image is a PNG or a bitmap whose info header, palette,
// colour and mask arrays fit the bytes the entry gives it.
bool IconFileIsSound(const std::uint8_t* data, std::size_t size);

}  // namespace brindorel

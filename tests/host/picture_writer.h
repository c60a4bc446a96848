// Writes Windows bitmap (.bmp) and icon (.ico) files for the tests: whole
// files of one colour that the checks accept and the system loads, which the
// tests then cut or corrupt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brindorel {
namespace testing_pictures {

using Bytes = std::vector<std::uint8_t>;

inline void Put(Bytes& b, std::size_t at, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The first `size` bytes of a file.
inline Bytes Cut(Bytes b, std::size_t size) {
  b.resize(size);
  return b;
}

// BITMAPINFOHEADER at `at`.
inline void PutInfo(Bytes& b, std::size_t at, std::int32_t width, std::int32_t height, int bits,
                    std::uint32_t compression, std::uint32_t imageSize = 0, std::uint32_t colours = 0) {
  Put(b, at, 40, 4);
  Put(b, at + 4, static_cast<std::uint32_t>(width), 4);
  Put(b, at + 8, static_cast<std::uint32_t>(height), 4);
  Put(b, at + 12, 1, 2);
  Put(b, at + 14, static_cast<std::uint32_t>(bits), 2);
  Put(b, at + 16, compression, 4);
  Put(b, at + 20, imageSize, 4);
  Put(b, at + 32, colours, 4);
}

inline std::size_t RowBytes(std::int32_t width, int bits) {
  return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 31) / 32 * 4;
}

// A complete .bmp of one colour (0xRRGGBB): file header, info header, a
// palette for <= 8 bits (entry 0 the colour, every pixel index 0), pixels.
// At 32 bits the fourth byte is 0, so the picture has no alpha.
inline Bytes Bitmap(std::int32_t width, std::int32_t height, int bits, std::uint32_t rgb = 0) {
  const std::size_t palette = bits <= 8 ? (4u << bits) : 0;
  const std::size_t row = RowBytes(width, bits);
  const std::size_t rows = static_cast<std::size_t>(height < 0 ? -height : height);
  const std::size_t offset = 14 + 40 + palette;
  Bytes b(offset + row * rows, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put(b, 2, static_cast<std::uint32_t>(b.size()), 4);
  Put(b, 10, static_cast<std::uint32_t>(offset), 4);
  PutInfo(b, 14, width, height, bits, 0);
  const std::uint8_t blue = static_cast<std::uint8_t>(rgb), green = static_cast<std::uint8_t>(rgb >> 8),
                     red = static_cast<std::uint8_t>(rgb >> 16);
  if (bits <= 8) {
    b[54] = blue;
    b[55] = green;
    b[56] = red;
  } else if (bits >= 24) {
    const std::size_t step = static_cast<std::size_t>(bits) / 8;
    for (std::size_t y = 0; y < rows; ++y)
      for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
        std::uint8_t* p = &b[offset + row * y + step * x];
        p[0] = blue;
        p[1] = green;
        p[2] = red;
      }
  }
  return b;
}

// An icon file with `count` bitmap images of `side` pixels at 32 bits: the
// pixels at least `border` pixels from the edge are opaque in the colour
// (0xRRGGBB), the border is transparent (alpha 0, mask bit set).
inline Bytes Icon(int side, int count = 1, std::uint32_t rgb = 0, int border = 0) {
  const std::size_t colour = static_cast<std::size_t>(side * side * 4);
  const std::size_t mask_row = RowBytes(side, 1);
  const std::size_t image = 40 + colour + mask_row * static_cast<std::size_t>(side);
  const std::size_t directory = 6 + 16 * static_cast<std::size_t>(count);
  Bytes b(directory + image * static_cast<std::size_t>(count), 0);
  Put(b, 2, 1, 2);
  Put(b, 4, static_cast<std::uint32_t>(count), 2);
  for (int i = 0; i < count; ++i) {
    const std::size_t entry = 6 + 16 * static_cast<std::size_t>(i);
    const std::size_t at = directory + image * static_cast<std::size_t>(i);
    b[entry] = static_cast<std::uint8_t>(side);
    b[entry + 1] = static_cast<std::uint8_t>(side);
    Put(b, entry + 4, 1, 2);
    Put(b, entry + 6, 32, 2);
    Put(b, entry + 8, static_cast<std::uint32_t>(image), 4);
    Put(b, entry + 12, static_cast<std::uint32_t>(at), 4);
    PutInfo(b, at, side, 2 * side, 32, 0);
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) {
        const bool opaque = x >= border && y >= border && x < side - border && y < side - border;
        std::uint8_t* p = &b[at + 40 + static_cast<std::size_t>(y * side + x) * 4];
        if (opaque) {
          p[0] = static_cast<std::uint8_t>(rgb);
          p[1] = static_cast<std::uint8_t>(rgb >> 8);
          p[2] = static_cast<std::uint8_t>(rgb >> 16);
          p[3] = 0xFF;
        } else {
          b[at + 40 + colour + mask_row * static_cast<std::size_t>(y) + static_cast<std::size_t>(x) / 8] |=
              static_cast<std::uint8_t>(0x80u >> (x % 8));
        }
      }
  }
  return b;
}

}  // namespace testing_pictures
}  // namespace brindorel

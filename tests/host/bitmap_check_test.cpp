#include "ui/bitmap_check.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

namespace brindorel {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& b, std::size_t at, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// BITMAPINFOHEADER at `at`.
void PutInfo(Bytes& b, std::size_t at, std::int32_t width, std::int32_t height, int bits, std::uint32_t compression,
             std::uint32_t image_size = 0, std::uint32_t colours = 0) {
  Put(b, at, 40, 4);
  Put(b, at + 4, static_cast<std::uint32_t>(width), 4);
  Put(b, at + 8, static_cast<std::uint32_t>(height), 4);
  Put(b, at + 12, 1, 2);
  Put(b, at + 14, static_cast<std::uint32_t>(bits), 2);
  Put(b, at + 16, compression, 4);
  Put(b, at + 20, image_size, 4);
  Put(b, at + 32, colours, 4);
}

// A complete .bmp: file header, info header, palette for <= 8 bits, pixels.
Bytes Bitmap(std::int32_t width, std::int32_t height, int bits) {
  const std::size_t palette = bits <= 8 ? (4u << bits) : 0;
  const std::size_t row = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
  const std::size_t rows = static_cast<std::size_t>(height < 0 ? -height : height);
  const std::size_t offset = 14 + 40 + palette;
  Bytes b(offset + row * rows, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put(b, 2, static_cast<std::uint32_t>(b.size()), 4);
  Put(b, 10, static_cast<std::uint32_t>(offset), 4);
  PutInfo(b, 14, width, height, bits, 0);
  return b;
}

struct BitmapCase {
  const char* name;
  std::function<Bytes()> make;
  bool sound;
};

void PrintTo(const BitmapCase& c, std::ostream* os) { *os << c.name; }

class BitmapCheckTest : public ::testing::TestWithParam<BitmapCase> {};

TEST_P(BitmapCheckTest, Checks) {
  const Bytes b = GetParam().make();
  EXPECT_EQ(BitmapFileIsSound(b.data(), b.size()), GetParam().sound);
}

INSTANTIATE_TEST_SUITE_P(Files, BitmapCheckTest, ::testing::Values(
    BitmapCase{"rgb24", [] { return Bitmap(130, 300, 24); }, true},
    BitmapCase{"rgb24_top_down", [] { return Bitmap(5, -3, 24); }, true},
    BitmapCase{"pal1_odd_width", [] { return Bitmap(33, 2, 1); }, true},
    BitmapCase{"pal4", [] { return Bitmap(3, 3, 4); }, true},
    BitmapCase{"pal8", [] { return Bitmap(7, 2, 8); }, true},
    BitmapCase{"rgb32", [] { return Bitmap(2, 2, 32); }, true},
    BitmapCase{"core_header_24", [] {
      Bytes b(14 + 12 + 8, 0);
      b[0] = 'B'; b[1] = 'M';
      Put(b, 10, 26, 4); Put(b, 14, 12, 4); Put(b, 18, 2, 2); Put(b, 20, 1, 2); Put(b, 22, 1, 2); Put(b, 24, 24, 2);
      return b; }, true},
    BitmapCase{"rle8", [] {
      Bytes b = Bitmap(4, 4, 8);
      b.resize(14 + 40 + 1024 + 6);
      Put(b, 14 + 16, 1, 4);
      Put(b, 14 + 20, 6, 4);
      return b; }, true},
    BitmapCase{"bitfields16_masks_present", [] {
      Bytes b = Bitmap(2, 2, 16);
      Put(b, 14 + 16, 3, 4);
      b.insert(b.begin() + 54, 12, 0);
      Put(b, 10, 66, 4);
      return b; }, true},
    BitmapCase{"empty", [] { return Bytes(); }, false},
    BitmapCase{"file_header_only", [] { Bytes b = Bitmap(1, 1, 24); b.resize(14); return b; }, false},
    BitmapCase{"info_header_cut", [] { Bytes b = Bitmap(1, 1, 24); b.resize(40); return b; }, false},
    BitmapCase{"not_bm", [] { Bytes b = Bitmap(1, 1, 24); b[1] = 'A'; return b; }, false},
    BitmapCase{"pixels_one_byte_short", [] { Bytes b = Bitmap(5, 3, 24); b.pop_back(); return b; }, false},
    BitmapCase{"palette_cut", [] { Bytes b = Bitmap(1, 1, 8); b.resize(14 + 40 + 500); return b; }, false},
    BitmapCase{"offset_past_end", [] { Bytes b = Bitmap(1, 1, 24); Put(b, 10, 0xFFFFFFF0u, 4); return b; }, false},
    BitmapCase{"offset_inside_header", [] { Bytes b = Bitmap(1, 1, 24); Put(b, 10, 20, 4); return b; }, false},
    BitmapCase{"width_0", [] { Bytes b = Bitmap(1, 1, 24); Put(b, 18, 0, 4); return b; }, false},
    BitmapCase{"width_negative", [] { Bytes b = Bitmap(1, 1, 24); Put(b, 18, 0xFFFFFFFFu, 4); return b; }, false},
    BitmapCase{"height_min_int", [] { Bytes b = Bitmap(1, 1, 24); Put(b, 22, 0x80000000u, 4); return b; }, false},
    BitmapCase{"huge_sides_overflowing_32_bits", [] {
      Bytes b = Bitmap(1, 1, 24); Put(b, 18, 0x10000, 4); Put(b, 22, 0x10000, 4); return b; }, false},
    BitmapCase{"too_many_pixels", [] { Bytes b = Bitmap(1, 1, 24); Put(b, 18, 4096, 4); Put(b, 22, 4096, 4); return b; }, false},
    BitmapCase{"bit_count_7", [] { Bytes b = Bitmap(1, 1, 24); Put(b, 28, 7, 2); return b; }, false},
    BitmapCase{"planes_2", [] { Bytes b = Bitmap(1, 1, 24); Put(b, 26, 2, 2); return b; }, false},
    BitmapCase{"colours_used_above_palette", [] { Bytes b = Bitmap(1, 1, 1); Put(b, 46, 3, 4); return b; }, false},
    BitmapCase{"rle8_with_24_bits", [] { Bytes b = Bitmap(1, 1, 24); Put(b, 30, 1, 4); Put(b, 34, 4, 4); return b; }, false},
    BitmapCase{"rle8_top_down", [] { Bytes b = Bitmap(4, -4, 8); Put(b, 30, 1, 4); Put(b, 34, 4, 4); return b; }, false},
    BitmapCase{"rle8_image_size_past_end", [] {
      Bytes b = Bitmap(4, 4, 8); Put(b, 30, 1, 4); Put(b, 34, 1000, 4); return b; }, false},
    BitmapCase{"jpeg", [] { Bytes b = Bitmap(1, 1, 24); Put(b, 30, 4, 4); return b; }, false},
    BitmapCase{"header_size_odd", [] { Bytes b = Bitmap(1, 1, 24); Put(b, 14, 41, 4); return b; }, false}),
    [](const ::testing::TestParamInfo<BitmapCase>& p) { return std::string(p.param.name); });

// ---- icons ----

// An icon file with one bitmap image of `side` pixels, 32 bits.
Bytes Icon(int side, int count = 1) {
  const std::size_t image = 40 + static_cast<std::size_t>(side * side * 4) +
                            static_cast<std::size_t>((side + 31) / 32 * 4 * side);
  const std::size_t directory = 6 + 16 * static_cast<std::size_t>(count);
  Bytes b(directory + image * count, 0);
  Put(b, 2, 1, 2);
  Put(b, 4, static_cast<std::uint32_t>(count), 2);
  for (int i = 0; i < count; ++i) {
    const std::size_t entry = 6 + 16 * static_cast<std::size_t>(i);
    const std::size_t at = directory + image * i;
    b[entry] = static_cast<std::uint8_t>(side);
    b[entry + 1] = static_cast<std::uint8_t>(side);
    Put(b, entry + 8, static_cast<std::uint32_t>(image), 4);
    Put(b, entry + 12, static_cast<std::uint32_t>(at), 4);
    PutInfo(b, at, side, 2 * side, 32, 0);
  }
  return b;
}

struct IconCase {
  const char* name;
  std::function<Bytes()> make;
  bool sound;
};

void PrintTo(const IconCase& c, std::ostream* os) { *os << c.name; }

class IconCheckTest : public ::testing::TestWithParam<IconCase> {};

TEST_P(IconCheckTest, Checks) {
  const Bytes b = GetParam().make();
  EXPECT_EQ(IconFileIsSound(b.data(), b.size()), GetParam().sound);
}

INSTANTIATE_TEST_SUITE_P(Files, IconCheckTest, ::testing::Values(
    IconCase{"one_image", [] { return Icon(32); }, true},
    IconCase{"two_images", [] { return Icon(16, 2); }, true},
    IconCase{"png_image", [] {
      Bytes b(6 + 16 + 20, 0);
      Put(b, 2, 1, 2); Put(b, 4, 1, 2); Put(b, 14, 20, 4); Put(b, 18, 22, 4);
      const std::uint8_t sig[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
      std::copy(sig, sig + 8, b.begin() + 22);
      return b; }, true},
    IconCase{"empty", [] { return Bytes(); }, false},
    IconCase{"cursor_type", [] { Bytes b = Icon(32); Put(b, 2, 2, 2); return b; }, false},
    IconCase{"no_images", [] { Bytes b = Icon(32); Put(b, 4, 0, 2); return b; }, false},
    IconCase{"directory_past_end", [] { Bytes b = Icon(16); Put(b, 4, 0xFFFF, 2); return b; }, false},
    IconCase{"image_one_byte_short", [] { Bytes b = Icon(16); b.pop_back(); return b; }, false},
    IconCase{"second_image_past_end", [] { Bytes b = Icon(16, 2); b.resize(b.size() - 10); return b; }, false},
    IconCase{"offset_wraps_32_bits", [] { Bytes b = Icon(16); Put(b, 18, 0xFFFFFFF0u, 4); return b; }, false},
    IconCase{"offset_inside_directory", [] { Bytes b = Icon(16); Put(b, 18, 4, 4); return b; }, false},
    IconCase{"size_0", [] { Bytes b = Icon(16); Put(b, 14, 0, 4); return b; }, false},
    IconCase{"inner_header_claims_more", [] { Bytes b = Icon(16); Put(b, 22 + 4, 64, 4); Put(b, 22 + 8, 128, 4); return b; }, false},
    IconCase{"inner_header_not_bitmap", [] { Bytes b = Icon(16); Put(b, 22, 12345, 4); return b; }, false}),
    [](const ::testing::TestParamInfo<IconCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace brindorel

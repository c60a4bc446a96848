#include "ui/bitmap_check.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

#include "tests/host/picture_writer.h"

namespace brindorel {
namespace {

using namespace testing_pictures;

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

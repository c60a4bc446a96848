#include "ui/image_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "tests/host/picture_writer.h"
#include "tests/host/tga_writer.h"

namespace brindorel {
namespace {

using testing_pictures::Bytes;
using testing_pictures::Put;

using testing_pictures::Cut;
using testing_tga::WriteTga;

struct KindCase {
  const char* name;
  std::function<Bytes()> make;
  ImageFileKind kind;
};

void PrintTo(const KindCase& c, std::ostream* os) { *os << c.name; }

class ImageFileKindTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(ImageFileKindTest, JudgesByContent) {
  const Bytes b = GetParam().make();
  EXPECT_EQ(ClassifyImageFile(b.data(), b.size()), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(Files, ImageFileKindTest, ::testing::Values(
    KindCase{"bitmap_24", [] { return testing_pictures::Bitmap(130, 300, 24); }, ImageFileKind::Bitmap},
    KindCase{"bitmap_8", [] { return testing_pictures::Bitmap(9, 4, 8); }, ImageFileKind::Bitmap},
    KindCase{"icon", [] { return testing_pictures::Icon(32, 2); }, ImageFileKind::Icon},
    KindCase{"tga_raw", [] { return WriteTga(130, 300); }, ImageFileKind::Tga},
    KindCase{"tga_run_length", [] { return WriteTga(3, 7, 10); }, ImageFileKind::Tga},
    // The first 100 bytes of a good bitmap crash the system's loader.
    KindCase{"bitmap_first_100_bytes", [] { return Cut(testing_pictures::Bitmap(32, 32, 24), 100); }, ImageFileKind::None},
    // A cut "BM" file whose third byte reads as TGA type 10 is no TGA either.
    KindCase{"bitmap_cut_looking_like_tga", [] {
      Bytes b = Cut(testing_pictures::Bitmap(32, 32, 24), 100); b[2] = 10; return b; }, ImageFileKind::None},
    KindCase{"icon_cut", [] { return Cut(testing_pictures::Icon(32), 500); }, ImageFileKind::None},
    KindCase{"tga_header_cut", [] { return Cut(WriteTga(4, 4), 17); }, ImageFileKind::None},
    KindCase{"tga_greyscale", [] { return WriteTga(4, 4, 3); }, ImageFileKind::None},
    KindCase{"tga_huge_sides", [] {
      Bytes b = WriteTga(1, 1); Put(b, 12, 0xFFFF, 2); Put(b, 14, 0xFFFF, 2); return b; }, ImageFileKind::None},
    KindCase{"tga_width_0", [] { Bytes b = WriteTga(1, 1); Put(b, 12, 0, 2); return b; }, ImageFileKind::None},
    KindCase{"tga_map_past_end", [] { Bytes b = WriteTga(1, 1); Put(b, 5, 0xFFFF, 2); b[7] = 32; return b; }, ImageFileKind::None},
    KindCase{"empty", [] { return Bytes(); }, ImageFileKind::None},
    KindCase{"text", [] { const std::string words = "This is no picture at all, only text."; return Bytes(words.begin(), words.end()); },
             ImageFileKind::None}),
    [](const ::testing::TestParamInfo<KindCase>& p) { return std::string(p.param.name); });

TEST(ImageFileLimitTest, EveryAcceptedPictureFitsTheFileLimit) {
  // The largest bitmap the checks pass: kBitmapMaxPixels at 32 bits with the
  // biggest header and palette.
  EXPECT_GE(kImageMaxFileSize, 14u + 124u + 1024u + 4u * kTgaMaxPixels);
  // A side image as a 24-bit TGA is a small part of it.
  EXPECT_LT(WriteTga(130, 300).size() * 100, kImageMaxFileSize);
  // A file above the limit is refused before a byte of it is looked at.
  const Bytes b = testing_pictures::Bitmap(1, 1, 24);
  EXPECT_EQ(ClassifyImageFile(b.data(), static_cast<std::size_t>(kImageMaxFileSize) + 1), ImageFileKind::None);
}

}  // namespace
}  // namespace brindorel

#include "ui/picture_scale.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace brindorel {
namespace {

using Pixels = std::vector<std::uint8_t>;

Pixels Solid(int w, int h, std::uint8_t b, std::uint8_t g, std::uint8_t r, std::uint8_t a) {
  Pixels p;
  for (int i = 0; i < w * h; ++i) p.insert(p.end(), {b, g, r, a});
  return p;
}

std::uint8_t At(const Pixels& p, int width, int x, int y, int channel) {
  return p[static_cast<std::size_t>((y * width + x) * 4 + channel)];
}

TEST(PictureScale, AFlatPictureStaysFlatAtEverySize) {
  const Pixels source = Solid(13, 30, 10, 20, 30, 255);
  for (const auto& size : {std::make_pair(20, 45), std::make_pair(26, 60), std::make_pair(7, 11), std::make_pair(1, 1)}) {
    const Pixels scaled = ScalePicture(source.data(), source.size(), 13, 30, size.first, size.second);
    ASSERT_EQ(scaled.size(), static_cast<std::size_t>(size.first * size.second * 4));
    EXPECT_EQ(scaled, Solid(size.first, size.second, 10, 20, 30, 255)) << size.first << " x " << size.second;
  }
}

TEST(PictureScale, GrowingBlendsNeighboursInsteadOfDoublingThem) {
  // Black beside white, one row, to four pixels: the edges held, the middle mixed.
  Pixels source = Solid(2, 1, 0, 0, 0, 255);
  for (int c = 0; c < 3; ++c) source[static_cast<std::size_t>(4 + c)] = 255;
  const Pixels scaled = ScalePicture(source.data(), source.size(), 2, 1, 4, 1);
  ASSERT_EQ(scaled.size(), 16u);
  const int expected[] = {0, 64, 191, 255};  // centres at -0.25, 0.25, 0.75, 1.25
  for (int x = 0; x < 4; ++x) {
    EXPECT_NEAR(At(scaled, 4, x, 0, 1), expected[x], 1) << x;
    EXPECT_EQ(At(scaled, 4, x, 0, 3), 255) << x;
  }
  // A checker board halved averages to grey, instead of picking black or white.
  Pixels checker;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const std::uint8_t v = (x + y) % 2 ? 255 : 0;
      checker.insert(checker.end(), {v, v, v, v});
    }
  const Pixels half = ScalePicture(checker.data(), checker.size(), 4, 4, 2, 2);
  for (std::uint8_t v : half) EXPECT_NEAR(v, 128, 10);
}

TEST(PictureScale, RefusesWhatDoesNotAddUp) {
  const Pixels source = Solid(4, 4, 1, 2, 3, 4);
  EXPECT_TRUE(ScalePicture(source.data(), source.size() - 1, 4, 4, 8, 8).empty());
  EXPECT_TRUE(ScalePicture(nullptr, 0, 4, 4, 8, 8).empty());
  EXPECT_TRUE(ScalePicture(source.data(), source.size(), 0, 4, 8, 8).empty());
  EXPECT_TRUE(ScalePicture(source.data(), source.size(), 4, 4, -8, 8).empty());
  EXPECT_TRUE(ScalePicture(source.data(), source.size(), 4, 4, 8, 0).empty());
  EXPECT_TRUE(ScalePicture(source.data(), source.size(), 4, 4, 4096, 4096).empty());
  EXPECT_TRUE(ScalePicture(source.data(), source.size(), 4, 4, 1 << 30, 1 << 30).empty());
  EXPECT_EQ(ScalePicture(source.data(), source.size(), 4, 4, 2048, 2048).size(), 2048u * 2048u * 4u);
}

}  // namespace
}  // namespace brindorel

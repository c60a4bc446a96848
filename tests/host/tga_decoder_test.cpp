#include "ui/tga_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tga_writer.h"

namespace brindorel {
namespace {

using testing_tga::ExpectedBitmap;
using testing_tga::TgaVariant;
using testing_tga::WriteTga;

constexpr std::uint8_t kCanary = 0xA5;
constexpr std::size_t kCanaryBytes = 16;

// Decodes into a buffer of exactly rowSize * height bytes (or `size` when
// given) followed by a canary; returns the pixels and checks the canary.
struct Decoded {
  bool ok = false;
  std::vector<std::uint8_t> pixels;
};

Decoded DecodeWithCanary(const std::vector<std::uint8_t>& file, std::size_t size, std::size_t rowSize) {
  TgaDecoder decoder(file.data(), file.size());
  std::vector<std::uint8_t> buffer(size + kCanaryBytes, kCanary);
  Decoded d;
  d.ok = decoder.Decode(buffer.data(), size, rowSize);
  for (std::size_t i = size; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], kCanary) << "canary at " << i - size;
  buffer.resize(size);
  d.pixels = buffer;
  return d;
}

Decoded DecodeFile(const std::vector<std::uint8_t>& file) {
  TgaDecoder decoder(file.data(), file.size());
  EXPECT_TRUE(decoder.IsTga());
  const std::size_t row = static_cast<std::size_t>(TgaRowSize(decoder.width()));
  return DecodeWithCanary(file, row * decoder.height(), row);
}

// ---- every layout decodes to the reference picture ----

class TgaVariantTest : public ::testing::TestWithParam<TgaVariant> {};

TEST_P(TgaVariantTest, DecodesToReference) {
  const TgaVariant& v = GetParam();
  const std::vector<std::uint8_t> file = WriteTga(v);
  TgaDecoder decoder(file.data(), file.size());
  ASSERT_TRUE(decoder.IsTga());
  EXPECT_EQ(decoder.width(), v.width);
  EXPECT_EQ(decoder.height(), v.height);
  const Decoded d = DecodeFile(file);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.pixels, ExpectedBitmap(v.width, v.height));
}

std::vector<TgaVariant> AllVariants() {
  std::vector<TgaVariant> all;
  for (std::uint8_t type : {2, 10})
    for (std::uint8_t depth : {16, 24, 32}) {
      if (type == 10 && depth == 16) continue;
      for (bool top : {false, true})
        for (std::uint32_t width : {1u, 3u, 4u, 5u, 130u}) {
          TgaVariant v;
          v.type = type;
          v.depth = depth;
          v.top_first = top;
          v.width = width;
          v.height = width == 130 ? 300 : 7;
          all.push_back(v);
        }
      TgaVariant odd;
      odd.type = type;
      odd.depth = depth;
      odd.width = 3;
      odd.height = 5;
      odd.id_length = 255;
      odd.noise = true;
      all.push_back(odd);
      for (std::uint8_t bits : {15, 16, 24, 32}) {
        TgaVariant mapped = odd;
        mapped.id_length = 3;
        mapped.map_entry_bits = bits;
        mapped.map_length = 3;
        mapped.top_first = bits % 2 != 0;
        all.push_back(mapped);
      }
    }
  return all;
}

INSTANTIATE_TEST_SUITE_P(Layouts, TgaVariantTest, ::testing::ValuesIn(AllVariants()),
                         [](const ::testing::TestParamInfo<TgaVariant>& p) { return p.param.Name(); });

// ---- single pixel rules ----

std::vector<std::uint8_t> Header(std::uint8_t type, std::uint32_t width, std::uint32_t height, std::uint8_t depth,
                                 std::uint8_t descriptor = 0x20) {
  return {0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0,
          static_cast<std::uint8_t>(width), static_cast<std::uint8_t>(width >> 8),
          static_cast<std::uint8_t>(height), static_cast<std::uint8_t>(height >> 8), depth, descriptor};
}

std::vector<std::uint8_t> With(std::vector<std::uint8_t> bytes, std::initializer_list<std::uint8_t> more) {
  bytes.insert(bytes.end(), more);
  return bytes;
}

TEST(TgaDecoderTest, SixteenBitWhiteIsF8) {
  const Decoded d = DecodeFile(With(Header(2, 1, 1, 16), {0xFF, 0x7F}));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.pixels, (std::vector<std::uint8_t>{0xF8, 0xF8, 0xF8, 0}));
}

TEST(TgaDecoderTest, RunPacketLengths) {
  // 0x80 writes one pixel; the literal after it shows where it stopped.
  Decoded d = DecodeFile(With(Header(10, 4, 1, 24), {0x80, 1, 2, 3, 0x02, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.pixels, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));

  // 0xFF writes 128 pixels.
  d = DecodeFile(With(Header(10, 129, 1, 24), {0xFF, 9, 8, 7, 0x00, 1, 2, 3}));
  ASSERT_TRUE(d.ok);
  for (std::size_t x = 0; x < 128; ++x) EXPECT_EQ(d.pixels[3 * x], 9) << x;
  EXPECT_EQ(d.pixels[3 * 128], 1);

  // A run longer than the picture is cut at its last pixel.
  d = DecodeFile(With(Header(10, 1, 2, 32), {0xFF, 9, 8, 7, 6}));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.pixels, (std::vector<std::uint8_t>{9, 8, 7, 0, 9, 8, 7, 0}));
}

TEST(TgaDecoderTest, UnsupportedDepthDecodesBlack) {
  for (const auto& file : {With(Header(2, 2, 1, 8), {1, 2}), With(Header(10, 2, 1, 16), {0x81, 0xFF, 0x7F})}) {
    const Decoded d = DecodeFile(file);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.pixels, std::vector<std::uint8_t>(8, 0));
  }
}

TEST(TgaDecoderTest, DecodingIsDeterministicOverDirtyBuffers) {
  TgaVariant v;
  v.type = 10;
  v.width = 5;
  v.height = 3;
  const std::vector<std::uint8_t> file = WriteTga(v);
  TgaDecoder decoder(file.data(), file.size());
  const std::size_t row = static_cast<std::size_t>(TgaRowSize(5));
  std::vector<std::uint8_t> dirty(row * 3, 0xEE);
  ASSERT_TRUE(decoder.Decode(dirty.data(), dirty.size(), row));
  EXPECT_EQ(dirty, ExpectedBitmap(5, 3));
}

TEST(TgaDecoderTest, WiderRowSizeKeepsPictureAligned) {
  TgaVariant v;
  v.type = 10;
  v.depth = 32;
  v.width = 3;
  v.height = 4;
  const std::vector<std::uint8_t> file = WriteTga(v);
  const std::size_t row = 20;
  const Decoded d = DecodeWithCanary(file, row * 4, row);
  ASSERT_TRUE(d.ok);
  const std::vector<std::uint8_t> expected = ExpectedBitmap(3, 4);
  for (std::size_t y = 0; y < 4; ++y) {
    EXPECT_TRUE(std::equal(expected.begin() + 12 * y, expected.begin() + 12 * y + 9, d.pixels.begin() + row * y));
    for (std::size_t i = 9; i < row; ++i) EXPECT_EQ(d.pixels[row * y + i], 0);
  }
}

TEST(TgaDecoderTest, MaxFileSizeCoversLargestStream) {
  EXPECT_GE(kTgaMaxFileSize, kTgaHeaderSize + 255u + 65535u * 32u + kTgaMaxPixels * 5u);
  EXPECT_LE(kTgaMaxFileSize, 64u * 1024u * 1024u);
}

// ---- malformed files ----

struct BadCase {
  const char* name;
  std::vector<std::uint8_t> file;
  bool is_tga;
  bool decodes;                       // when is_tga
  std::vector<std::uint8_t> pixels;   // expected output when it decodes
  std::size_t short_by = 0;           // buffer this much smaller than needed
};

void PrintTo(const BadCase& c, std::ostream* os) { *os << c.name; }

class TgaMalformedTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(TgaMalformedTest, RefusedOrDecodedSafely) {
  const BadCase& c = GetParam();
  TgaDecoder decoder(c.file.data(), c.file.size());
  ASSERT_EQ(decoder.IsTga(), c.is_tga);
  if (!c.is_tga) {
    EXPECT_EQ(decoder.width(), 0u);
    std::vector<std::uint8_t> buffer(64 + kCanaryBytes, kCanary);
    EXPECT_FALSE(decoder.Decode(buffer.data(), 64, 16));
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(64 + kCanaryBytes, kCanary));
    return;
  }
  const std::size_t row = static_cast<std::size_t>(TgaRowSize(decoder.width()));
  const std::size_t size = row * decoder.height() - c.short_by;
  const Decoded d = DecodeWithCanary(c.file, size, row);
  ASSERT_EQ(d.ok, c.decodes);
  if (c.decodes)
    EXPECT_EQ(d.pixels, c.pixels);
  else
    EXPECT_EQ(d.pixels, std::vector<std::uint8_t>(size, kCanary));
}

std::vector<BadCase> BadCases() {
  std::vector<BadCase> all;
  const auto header = Header(2, 1, 1, 24);
  all.push_back({"empty", {}, false, false, {}});
  all.push_back({"header_17_bytes", std::vector<std::uint8_t>(header.begin(), header.end() - 1), false, false, {}});
  for (std::uint8_t type : {0, 1, 3, 9, 11}) {
    auto file = With(Header(type, 1, 1, 24), {1, 2, 3});
    all.push_back({"type", file, false, false, {}});
  }
  auto id = header;
  id[0] = 255;
  all.push_back({"id_past_end", With(id, {1, 2, 3}), false, false, {}});
  auto map = header;
  map[5] = 0xFF;
  map[6] = 0xFF;
  map[7] = 32;
  all.push_back({"colour_map_past_end", With(map, {1, 2, 3}), false, false, {}});
  auto map15 = header;  // one 15-bit entry takes two bytes, not one
  map15[5] = 1;
  map15[7] = 15;
  all.push_back({"15_bit_entry_is_two_bytes", With(map15, {0xAA}), false, false, {}});
  all.push_back({"15_bit_entry_then_pixel", With(map15, {0xAA, 0xBB, 1, 2, 3}), true, true, {1, 2, 3, 0}});
  all.push_back({"pixel_data_at_end", header, true, true, {0, 0, 0, 0}});
  all.push_back({"width_0", Header(2, 0, 5, 24), false, false, {}});
  all.push_back({"height_0", Header(10, 5, 0, 24), false, false, {}});
  all.push_back({"width_too_big", Header(2, kTgaMaxSide + 1, 1, 24), false, false, {}});
  all.push_back({"height_too_big", Header(2, 1, kTgaMaxSide + 1, 24), false, false, {}});
  all.push_back({"too_many_pixels", Header(2, kTgaMaxSide, kTgaMaxSide, 24), false, false, {}});
  all.push_back({"product_past_32_bits", Header(10, 65535, 65535, 32), false, false, {}});
  all.push_back({"raw_truncated_mid_pixel", With(Header(2, 2, 2, 24), {1, 2, 3, 4, 5, 6, 7, 8}), true, true,
                 {1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}});
  all.push_back({"raw_truncated_bottom_first", With(Header(2, 1, 2, 16, 0), {0xFF, 0x7F}), true, true,
                 {0, 0, 0, 0, 0xF8, 0xF8, 0xF8, 0}});
  all.push_back({"run_header_only", With(Header(10, 2, 1, 24), {0x81}), true, true, std::vector<std::uint8_t>(8, 0)});
  all.push_back({"run_pixel_cut", With(Header(10, 2, 1, 24), {0x81, 1, 2}), true, true,
                 std::vector<std::uint8_t>(8, 0)});
  all.push_back({"literal_cut", With(Header(10, 3, 1, 32), {0x02, 1, 2, 3, 4, 5, 6, 7}), true, true,
                 {1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0}});
  all.push_back({"rle_truncated_bottom_first", With(Header(10, 1, 2, 24, 0), {0x00, 1, 2, 3}), true, true,
                 {0, 0, 0, 0, 1, 2, 3, 0}});
  all.push_back({"buffer_one_byte_short", With(Header(2, 3, 2, 24), {}), true, false, {}, 1});
  all.push_back({"rle_buffer_one_row_short", With(Header(10, 5, 2, 24), {0xFF, 1, 2, 3}), true, false, {}, 16});
  return all;
}

INSTANTIATE_TEST_SUITE_P(Files, TgaMalformedTest, ::testing::ValuesIn(BadCases()),
                         [](const ::testing::TestParamInfo<BadCase>& p) {
                           return std::string(p.param.name) + "_" + std::to_string(p.index);
                         });

TEST(TgaDecoderTest, RowSizeSmallerThanPixelsRefused) {
  const auto file = With(Header(2, 4, 1, 24), std::initializer_list<std::uint8_t>{});
  TgaDecoder decoder(file.data(), file.size());
  std::vector<std::uint8_t> buffer(64, kCanary);
  EXPECT_FALSE(decoder.Decode(buffer.data(), buffer.size(), 11));
  EXPECT_FALSE(decoder.Decode(nullptr, 64, 12));
  EXPECT_EQ(buffer, std::vector<std::uint8_t>(64, kCanary));
}

}  // namespace
}  // namespace brindorel

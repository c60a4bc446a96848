#include "ui/tga_decoder.h"

#include <algorithm>
#include <cstring>

namespace brindorel {
namespace {

std::uint32_t Word(const std::uint8_t* p) { return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8; }

constexpr std::uint8_t kUncompressed = 2;
constexpr std::uint8_t kRunLength = 10;

// Writes one source pixel of `bytes` bytes (2, 3 or 4) as blue, green, red.
void PutPixel(std::uint8_t* out, const std::uint8_t* in, unsigned bytes) {
  if (bytes == 2) {
    const std::uint32_t v = Word(in);
    out[0] = static_cast<std::uint8_t>((v & 0x1Fu) << 3);
    out[1] = static_cast<std::uint8_t>(((v >> 5) & 0x1Fu) << 3);
    out[2] = static_cast<std::uint8_t>(((v >> 10) & 0x1Fu) << 3);
  } else {
    out[0] = in[0];
    out[1] = in[1];
    out[2] = in[2];
  }
}

// Decodes a run-length stream of `pixels` pixels of `bytes` bytes each into
// packed BGR triples. Packets may cross row ends; whatever a packet holds
// beyond the last pixel is dropped, and a stream that ends early leaves the
// rest of `out` as it is.
void UnpackStream(const std::uint8_t* in, std::size_t left, unsigned bytes, std::size_t pixels,
                  std::uint8_t* out) {
  while (pixels != 0 && left != 0) {
    const unsigned header = *in++;
    --left;
    std::size_t count = (header & 0x7Fu) + 1u;
    if (count > pixels) count = pixels;
    if (header & 0x80u) {
      if (left < bytes) return;
      for (std::size_t i = 0; i < count; ++i, out += 3) PutPixel(out, in, bytes);
      in += bytes;
      left -= bytes;
    } else {
      for (std::size_t i = 0; i < count; ++i, out += 3) {
        if (left < bytes) return;
        PutPixel(out, in, bytes);
        in += bytes;
        left -= bytes;
      }
    }
    pixels -= count;
  }
}

}  // namespace

TgaDecoder::TgaDecoder(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < kTgaHeaderSize) return;
  const std::uint8_t type = data[2];
  if (type != kUncompressed && type != kRunLength) return;
  const std::uint32_t width = Word(data + 12);
  const std::uint32_t height = Word(data + 14);
  if (width == 0 || height == 0 || width > kTgaMaxSide || height > kTgaMaxSide) return;
  if (std::uint64_t{width} * height > kTgaMaxPixels) return;
  // A 15-bit colour-map entry takes two bytes, like a 16-bit one.
  const std::uint64_t mapBytes = std::uint64_t{Word(data + 5)} * ((data[7] + 7u) / 8u);
  const std::uint64_t offset = kTgaHeaderSize + data[0] + mapBytes;
  if (offset > size) return;

  pixels_ = data + offset;
  pixelBytes_ = size - static_cast<std::size_t>(offset);
  width_ = width;
  height_ = height;
  type_ = type;
  depth_ = data[16];
  topFirst_ = (data[17] & 0x20u) != 0;
}

bool TgaDecoder::Decode(std::uint8_t* dest, std::size_t destSize, std::size_t rowSize) const {
  if (!IsTga() || dest == nullptr) return false;
  if (rowSize < 3u * std::uint64_t{width_}) return false;
  if (std::uint64_t{rowSize} * height_ > destSize) return false;
  std::memset(dest, 0, rowSize * height_);
  if (type_ == kUncompressed)
    DecodeUncompressed(dest, rowSize);
  else
    DecodeRunLength(dest, rowSize);
  return true;
}

void TgaDecoder::DecodeUncompressed(std::uint8_t* dest, std::size_t rowSize) const {
  if (depth_ != 16 && depth_ != 24 && depth_ != 32) return;
  const unsigned bytes = depth_ / 8u;
  const std::uint8_t* in = pixels_;
  std::size_t left = pixelBytes_;
  for (std::uint32_t j = 0; j < height_; ++j) {
    std::uint8_t* out = dest + rowSize * (topFirst_ ? j : height_ - 1 - j);
    for (std::uint32_t x = 0; x < width_; ++x, out += 3) {
      if (left < bytes) return;  // truncated: the rest stays black
      PutPixel(out, in, bytes);
      in += bytes;
      left -= bytes;
    }
  }
}

void TgaDecoder::DecodeRunLength(std::uint8_t* dest, std::size_t rowSize) const {
  if (depth_ != 24 && depth_ != 32) return;
  UnpackStream(pixels_, pixelBytes_, depth_ / 8u, std::size_t{width_} * height_, dest);

  // Spread the packed rows to the padded row size, last row first so that no
  // row is overwritten before it has moved, then clear the padding.
  const std::size_t packedRow = 3u * std::size_t{width_};
  if (rowSize != packedRow) {
    for (std::uint32_t row = height_; row-- > 0;)
      std::memmove(dest + rowSize * row, dest + packedRow * row, packedRow);
    for (std::uint32_t row = 0; row < height_; ++row)
      std::memset(dest + rowSize * row + packedRow, 0, rowSize - packedRow);
  }

  if (!topFirst_) {
    for (std::uint32_t top = 0, bottom = height_ - 1; top < bottom; ++top, --bottom)
      std::swap_ranges(dest + rowSize * top, dest + rowSize * top + packedRow, dest + rowSize * bottom);
  }
}

}  // namespace brindorel

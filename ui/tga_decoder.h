// Truevision TGA pictures of image type 2 (uncompressed true-colour) and 10
// (run-length true-colour), decoded into a 24-bit top-down BGR bitmap whose
// rows are padded to 4 bytes (row size 3 * width + width mod 4).
//
// File layout (little-endian):
//   0  ID length           5  colour-map length (2)   12  width (2)
//   1  colour-map type     7  colour-map entry bits   14  height (2)
//   2  image type          8  x origin (2)            16  pixel depth
//   3  first entry (2)    10  y origin (2)            17  descriptor
//   18 image ID, then the colour map (length * whole bytes per entry), then
//   the pixel data. Nothing after the pixel data is read.
//
// Depths: 16 (5-5-5, top bit ignored), 24, 32 (alpha ignored); run-length
// images only 24 and 32. Other depths decode to a black picture. Descriptor
// bits 0x30 = 0x20 or 0x30 mean the first row is the top row; bit 4
// (right-to-left) is ignored.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brindorel {

// Largest picture accepted: each side at most kTgaMaxSide pixels and at most
// kTgaMaxPixels in all (a 12 MiB bitmap). Side images and header icons are a
// few hundred pixels each way.
constexpr std::uint32_t kTgaMaxSide = 8192;
constexpr std::uint64_t kTgaMaxPixels = 4u * 1024u * 1024u;
constexpr std::size_t kTgaHeaderSize = 18;

// No accepted picture needs more file bytes than this: header, the longest ID,
// the largest colour map (65535 entries of 255 bits) and the largest pixel
// stream (every pixel its own run-length packet of 1 + 4 bytes). A loader may
// refuse bigger files before it allocates anything.
constexpr std::uint64_t kTgaMaxFileSize =
    kTgaHeaderSize + 255u + 65535u * 32u + kTgaMaxPixels * 5u;

// Row size of the bitmap a picture of this width is decoded into.
constexpr std::uint64_t TgaRowSize(std::uint32_t width) { return 3u * std::uint64_t{width} + width % 4u; }

class TgaDecoder {
 public:
  // Reads the header of a file held in memory; the bytes must outlive the
  // decoder.
  TgaDecoder(const std::uint8_t* data, std::size_t size);

  // True for a picture of type 2 or 10 whose header is complete, whose pixel
  // data starts inside the file and whose sides are 1..kTgaMaxSide with at
  // most kTgaMaxPixels. width() and height() are 0 otherwise.
  bool IsTga() const { return width_ != 0; }
  std::uint32_t width() const { return width_; }
  std::uint32_t height() const { return height_; }

  // Fills `dest` (destSize bytes, rows of rowSize bytes, top row first).
  // Fails, writing nothing, when this is no TGA, rowSize < 3 * width or the
  // buffer holds fewer than rowSize * height bytes. Otherwise the whole
  // rowSize * height bytes are written: pixels the file does not supply
  // (truncated data, unsupported depth) and row padding are zero.
  bool Decode(std::uint8_t* dest, std::size_t destSize, std::size_t rowSize) const;

 private:
  void DecodeUncompressed(std::uint8_t* dest, std::size_t rowSize) const;
  void DecodeRunLength(std::uint8_t* dest, std::size_t rowSize) const;

  const std::uint8_t* pixels_ = nullptr;  // start of the pixel data
  std::size_t pixelBytes_ = 0;           // bytes from there to the end of the file
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::uint8_t type_ = 0;
  std::uint8_t depth_ = 0;
  bool topFirst_ = false;
};

}  // namespace brindorel

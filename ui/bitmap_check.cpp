#include "ui/bitmap_check.h"

#include <cstring>

namespace brindorel {
namespace {

std::uint32_t U16(const std::uint8_t* p) { return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8; }
std::uint32_t U32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}
std::int64_t S32(const std::uint8_t* p) {
  const std::uint32_t v = U32(p);
  return v >= 0x80000000u ? std::int64_t{v} - 0x100000000LL : std::int64_t{v};
}

constexpr std::size_t kFileHeader = 14;
constexpr std::uint32_t kCoreHeader = 12;
constexpr std::uint32_t kInfoHeader = 40;

enum Compression : std::uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3 };

bool SidesSane(std::int64_t width, std::int64_t height) {
  return width >= 1 && width <= kBitmapMaxSide && height >= 1 && height <= kBitmapMaxSide &&
         static_cast<std::uint64_t>(width * height) <= kBitmapMaxPixels;
}

// Bytes of an uncompressed pixel array: rows padded to 4 bytes.
std::uint64_t ArrayBytes(std::int64_t width, std::int64_t height, std::uint32_t bits) {
  return (static_cast<std::uint64_t>(width) * bits + 31u) / 32u * 4u * static_cast<std::uint64_t>(height);
}

bool BitCountValid(std::uint32_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// The parts of a DIB header that say how many bytes the bitmap needs.
struct DibLayout {
  std::uint64_t headerBytes = 0;  // header, masks and palette
  std::int64_t width = 0;
  std::int64_t height = 0;         // > 0; topDown tells the sign
  bool topDown = false;
  std::uint32_t bits = 0;
  std::uint32_t compression = kRgb;
  std::uint32_t imageSize = 0;
};

// Reads a core or info header at `p`, `size` bytes available. False when the
// header is not complete or its fields do not go together.
bool ReadDib(const std::uint8_t* p, std::size_t size, DibLayout& dib) {
  if (size < 4) return false;
  const std::uint32_t header = U32(p);
  if (header == kCoreHeader) {
    if (size < kCoreHeader) return false;
    dib.width = U16(p + 4);
    dib.height = U16(p + 6);
    dib.bits = U16(p + 10);
    if (U16(p + 8) != 1) return false;
    if (dib.bits != 1 && dib.bits != 4 && dib.bits != 8 && dib.bits != 24) return false;
    dib.headerBytes = kCoreHeader + (dib.bits <= 8 ? 3u << dib.bits : 0u);
    return SidesSane(dib.width, dib.height);
  }
  if (header != kInfoHeader && header != 52 && header != 56 && header != 108 && header != 124) return false;
  if (size < header) return false;
  dib.width = S32(p + 4);
  dib.height = S32(p + 8);
  dib.bits = U16(p + 14);
  dib.compression = U32(p + 16);
  dib.imageSize = U32(p + 20);
  const std::uint32_t coloursUsed = U32(p + 32);
  if (U16(p + 12) != 1 || !BitCountValid(dib.bits)) return false;
  if (dib.height < 0) {
    dib.topDown = true;
    dib.height = -dib.height;
  }
  if (!SidesSane(dib.width, dib.height)) return false;

  switch (dib.compression) {
    case kRgb: break;
    case kRle8: if (dib.bits != 8 || dib.topDown) return false; break;
    case kRle4: if (dib.bits != 4 || dib.topDown) return false; break;
    case kBitFields: if (dib.bits != 16 && dib.bits != 32) return false; break;
    default: return false;  // JPEG, PNG and others are not loaded from files
  }
  std::uint64_t palette = coloursUsed;
  if (dib.bits <= 8) {
    if (palette > (1u << dib.bits)) return false;
    if (palette == 0) palette = 1u << dib.bits;
  }
  // An info header of 40 bytes is followed by its three colour masks.
  const std::uint64_t masks = dib.compression == kBitFields && header == kInfoHeader ? 12u : 0u;
  dib.headerBytes = header + masks + palette * 4u;
  return true;
}

}  // namespace

bool BitmapFileIsSound(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < kFileHeader || data[0] != 'B' || data[1] != 'M') return false;
  const std::uint64_t pixelOffset = U32(data + 10);
  DibLayout dib;
  if (!ReadDib(data + kFileHeader, size - kFileHeader, dib)) return false;
  if (kFileHeader + dib.headerBytes > size) return false;
  if (pixelOffset < kFileHeader + std::uint64_t{U32(data + kFileHeader)}) return false;
  const std::uint64_t pixels = dib.compression == kRle8 || dib.compression == kRle4
                                   ? dib.imageSize
                                   : ArrayBytes(dib.width, dib.height, dib.bits);
  if (pixels == 0) return false;
  return pixelOffset <= size && pixels <= size - pixelOffset;
}

bool IconFileIsSound(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kDirectory = 6;
  constexpr std::size_t kEntry = 16;
  if (data == nullptr || size < kDirectory) return false;
  if (U16(data) != 0 || U16(data + 2) != 1) return false;
  const std::uint32_t count = U16(data + 4);
  if (count == 0) return false;
  const std::uint64_t imagesStart = kDirectory + std::uint64_t{count} * kEntry;
  if (imagesStart > size) return false;

  static const std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* entry = data + kDirectory + i * kEntry;
    const std::uint64_t bytes = U32(entry + 8);
    const std::uint64_t offset = U32(entry + 12);
    if (bytes == 0 || offset < imagesStart || offset > size || bytes > size - offset) return false;
    const std::uint8_t* image = data + offset;
    if (bytes >= sizeof kPng && std::memcmp(image, kPng, sizeof kPng) == 0) continue;

    // A bitmap image: info header with the doubled height of colour plus
    // mask, palette, colour array, then the 1-bit mask array.
    DibLayout dib;
    if (bytes < kInfoHeader || U32(image) != kInfoHeader) return false;
    if (!ReadDib(image, static_cast<std::size_t>(bytes), dib)) return false;
    if (dib.compression != kRgb || dib.topDown || dib.height < 2) return false;
    const std::int64_t rows = dib.height / 2;
    const std::uint64_t need =
        dib.headerBytes + ArrayBytes(dib.width, rows, dib.bits) + ArrayBytes(dib.width, rows, 1);
    if (need > bytes) return false;
  }
  return true;
}

}  // namespace brindorel

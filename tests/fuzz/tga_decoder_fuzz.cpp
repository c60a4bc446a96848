// TGA decoding: test the header, then decode twice, into buffers of the size
// the header asks for but filled differently beforehand; both must come out
// identical, so every byte is written and nothing depends on what was there.
// The same bytes also go through the bitmap and icon header checks and the
// loader's judgement by content, which must agree with them.
//
// Input: one control byte (low two bits: extra row bytes beyond the bitmap's
// row size; bit 2: make the buffer one byte short, which must be refused),
// then the file bytes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "ui/bitmap_check.h"
#include "ui/image_file.h"
#include "ui/tga_decoder.h"

#include "tests/fuzz/fuzz_verdict.h"

namespace {

// Keeps each run fast: pictures above this many bitmap bytes are only tested.
constexpr std::uint64_t kMaxBitmapBytes = 4u * 1024u * 1024u;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brindorel;
  if (size == 0) return 0;
  const unsigned control = data[0];
  const std::uint8_t* file = data + 1;
  const std::size_t file_size = size - 1;

  const bool bitmap = BitmapFileIsSound(file, file_size);
  const bool icon = IconFileIsSound(file, file_size);

  const TgaDecoder decoder(file, file_size);
  const ImageFileKind kind = ClassifyImageFile(file, file_size);
  if ((kind == ImageFileKind::Bitmap && !bitmap) || (kind == ImageFileKind::Icon && !icon) ||
      (kind == ImageFileKind::Tga && !decoder.IsTga()))
    std::abort();
  if (!decoder.IsTga()) {
    if (decoder.width() != 0 || decoder.height() != 0) std::abort();
    std::uint8_t probe[16] = {};
    if (decoder.Decode(probe, sizeof probe, 4)) std::abort();
    return 0;
  }
  if (decoder.width() == 0 || decoder.width() > kTgaMaxSide || decoder.height() == 0 ||
      decoder.height() > kTgaMaxSide || std::uint64_t{decoder.width()} * decoder.height() > kTgaMaxPixels)
    std::abort();

  const std::uint64_t row = TgaRowSize(decoder.width()) + (control & 3u);
  const std::uint64_t bytes = row * decoder.height();
  if (bytes > kMaxBitmapBytes) return 0;
  const bool short_buffer = (control & 4u) != 0;
  const std::size_t buffer_size = static_cast<std::size_t>(bytes) - (short_buffer ? 1u : 0u);

  std::vector<std::uint8_t> first(buffer_size, 0x00);
  std::vector<std::uint8_t> second(buffer_size, 0xFF);
  const bool ok_first = decoder.Decode(first.data(), first.size(), static_cast<std::size_t>(row));
  const bool ok_second = decoder.Decode(second.data(), second.size(), static_cast<std::size_t>(row));
  if (ok_first != !short_buffer || ok_second != ok_first) std::abort();
  if (!ok_first) {
    // A refused decode writes nothing.
    for (std::size_t i = 0; i < buffer_size; ++i)
      if (first[i] != 0x00 || second[i] != 0xFF) std::abort();
    return 0;
  }
  if (first != second) std::abort();
  // Row padding is zero.
  const std::size_t pixels = 3u * std::size_t{decoder.width()};
  for (std::uint32_t y = 0; y < decoder.height(); ++y)
    for (std::size_t i = pixels; i < row; ++i)
      if (first[static_cast<std::size_t>(row) * y + i] != 0) std::abort();
  return 0;
}

// A picture the installer would show: a TGA file it decodes, or a sound
// bitmap or icon for the system to load.
bool FuzzInputAccepted(const std::uint8_t* data, std::size_t size) {
  using namespace brindorel;
  if (size == 0) return false;
  const std::uint8_t* file = data + 1;
  const std::size_t fileSize = size - 1;
  switch (ClassifyImageFile(file, fileSize)) {
    case ImageFileKind::Bitmap: return BitmapFileIsSound(file, fileSize);
    case ImageFileKind::Icon: return IconFileIsSound(file, fileSize);
    case ImageFileKind::Tga: {
      const TgaDecoder decoder(file, fileSize);
      const std::uint64_t row = TgaRowSize(decoder.width());
      if (row * decoder.height() > kMaxBitmapBytes) return false;
      std::vector<std::uint8_t> pixels(static_cast<std::size_t>(row * decoder.height()));
      return decoder.Decode(pixels.data(), pixels.size(), static_cast<std::size_t>(row));
    }
    default: return false;
  }
}

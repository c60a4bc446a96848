// Smooth resizing of a picture held as 32-bit pixels (blue, green, red,
// alpha; rows top-down, no padding), so that the side image keeps its look
// on screens above 96 DPI instead of showing doubled pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brindorel {

// The largest picture made by scaling, in pixels, and the largest step on the
// way (target width x source height): a side image at 400 % is far below it.
constexpr std::uint64_t kScaledPictureMaxPixels = 4u * 1024u * 1024u;

// `pixels` (width x height, 4 bytes each) resized to target width x height:
// each channel, alpha included, is interpolated linearly between the
// neighbouring source pixels when growing, and averaged over the pixels a
// target pixel covers when shrinking; the edges are held, not wrapped. Empty
// when a size is 0 or negative, the source holds fewer bytes than its size
// says, or the target is above kScaledPictureMaxPixels.
std::vector<std::uint8_t> ScalePicture(const std::uint8_t* pixels, std::size_t size, int width, int height,
                                       int targetWidth, int targetHeight);

}  // namespace brindorel

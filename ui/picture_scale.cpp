#include "ui/picture_scale.h"

#include <algorithm>
#include <cmath>

namespace brindorel {

namespace {

// The source pixels one target pixel of an axis draws from, with weights
// that sum to 1 (a tent filter, widened to the covered span when shrinking).
struct Tap {
  int first = 0;
  std::vector<float> weights;
};

std::vector<Tap> Taps(int from, int to) {
  std::vector<Tap> taps(static_cast<std::size_t>(to));
  const double scale = static_cast<double>(to) / from;
  const double support = scale >= 1.0 ? 1.0 : 1.0 / scale;  // the filter's half width in source pixels
  for (int i = 0; i < to; ++i) {
    const double centre = (i + 0.5) / scale - 0.5;
    const int first = std::max(0, static_cast<int>(std::floor(centre - support)) + 1);
    const int last = std::min(from - 1, static_cast<int>(std::ceil(centre + support)) - 1);
    Tap& tap = taps[static_cast<std::size_t>(i)];
    tap.first = first;
    double total = 0;
    for (int s = first; s <= last; ++s) {
      const double w = std::max(0.0, 1.0 - std::fabs(s - centre) / support);
      tap.weights.push_back(static_cast<float>(w));
      total += w;
    }
    if (tap.weights.empty() || total <= 0) {
      // Beyond an edge: the nearest pixel.
      tap.first = std::min(std::max(static_cast<int>(std::lround(centre)), 0), from - 1);
      tap.weights.assign(1, 1.0f);
      total = 1;
    }
    for (float& w : tap.weights) w = static_cast<float>(w / total);
  }
  return taps;
}

}  // namespace

std::vector<std::uint8_t> ScalePicture(const std::uint8_t* pixels, std::size_t size, int width, int height,
                                       int targetWidth, int targetHeight) {
  if (pixels == nullptr || width <= 0 || height <= 0 || targetWidth <= 0 || targetHeight <= 0) return {};
  const std::uint64_t sourceBytes = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 4u;
  if (sourceBytes > size) return {};
  const std::uint64_t targetPixels = static_cast<std::uint64_t>(targetWidth) * static_cast<std::uint64_t>(targetHeight);
  if (targetPixels > kScaledPictureMaxPixels) return {};
  // The intermediate picture (target width x source height) is no larger
  // than the source or the target times the other's side; both are bounded.
  const std::uint64_t middlePixels = static_cast<std::uint64_t>(targetWidth) * static_cast<std::uint64_t>(height);
  if (middlePixels > kScaledPictureMaxPixels) return {};

  const std::vector<Tap> across = Taps(width, targetWidth);
  const std::vector<Tap> down = Taps(height, targetHeight);
  const std::size_t tw = static_cast<std::size_t>(targetWidth);
  // The step between the passes in 1/256 of a level.
  std::vector<std::uint16_t> middle(static_cast<std::size_t>(middlePixels) * 4u);
  for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
    const std::uint8_t* row = pixels + y * static_cast<std::size_t>(width) * 4u;
    for (std::size_t x = 0; x < tw; ++x) {
      const Tap& tap = across[x];
      float sum[4] = {0, 0, 0, 0};
      for (std::size_t k = 0; k < tap.weights.size(); ++k) {
        const std::uint8_t* p = row + (static_cast<std::size_t>(tap.first) + k) * 4u;
        for (int c = 0; c < 4; ++c) sum[c] += tap.weights[k] * p[c];
      }
      for (int c = 0; c < 4; ++c)
        middle[(y * tw + x) * 4u + static_cast<std::size_t>(c)] =
            static_cast<std::uint16_t>(std::min(65280.0f, std::max(0.0f, sum[c] * 256.0f + 0.5f)));
    }
  }
  std::vector<std::uint8_t> out(static_cast<std::size_t>(targetPixels) * 4u);
  for (std::size_t y = 0; y < static_cast<std::size_t>(targetHeight); ++y) {
    const Tap& tap = down[y];
    for (std::size_t x = 0; x < tw; ++x) {
      float sum[4] = {0, 0, 0, 0};
      for (std::size_t k = 0; k < tap.weights.size(); ++k) {
        const std::uint16_t* p = &middle[((static_cast<std::size_t>(tap.first) + k) * tw + x) * 4u];
        for (int c = 0; c < 4; ++c) sum[c] += tap.weights[k] * p[c];
      }
      for (int c = 0; c < 4; ++c)
        out[(y * tw + x) * 4u + static_cast<std::size_t>(c)] =
            static_cast<std::uint8_t>(std::min(255.0f, std::max(0.0f, sum[c] / 256.0f + 0.5f)));
    }
  }
  return out;
}

}  // namespace brindorel

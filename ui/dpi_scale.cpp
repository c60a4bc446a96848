#include "ui/dpi_scale.h"

#include <cstdint>
#include <limits>

namespace brindorel {

int ScaleForDpi(int value, int dpi) {
  if (dpi <= 0) return value;
  const std::int64_t product = static_cast<std::int64_t>(value) * dpi;
  const std::int64_t half = kLayoutDpi / 2;
  const std::int64_t scaled = product >= 0 ? (product + half) / kLayoutDpi : (product - half) / kLayoutDpi;
  if (scaled > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (scaled < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(scaled);
}

PixelRect ScaleRectForDpi(const PixelRect& rect, int dpi) {
  const std::int64_t right = static_cast<std::int64_t>(rect.x) + rect.width;
  const std::int64_t bottom = static_cast<std::int64_t>(rect.y) + rect.height;
  PixelRect scaled;
  scaled.x = ScaleForDpi(rect.x, dpi);
  scaled.y = ScaleForDpi(rect.y, dpi);
  // Edges beyond the int range cannot come from a layout; they are held.
  const auto clamp = [](std::int64_t v) {
    return static_cast<int>(v > std::numeric_limits<int>::max()   ? std::numeric_limits<int>::max()
                            : v < std::numeric_limits<int>::min() ? std::numeric_limits<int>::min()
                                                                  : v);
  };
  scaled.width = clamp(static_cast<std::int64_t>(ScaleForDpi(clamp(right), dpi)) - scaled.x);
  scaled.height = clamp(static_cast<std::int64_t>(ScaleForDpi(clamp(bottom), dpi)) - scaled.y);
  return scaled;
}

}  // namespace brindorel

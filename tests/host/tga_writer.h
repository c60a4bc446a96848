// Writes TGA files of every layout the decoder reads, all showing the same
// asymmetric reference picture, and gives the bitmap they must decode to.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace brindorel {
namespace testing_tga {

struct TgaVariant {
  std::uint8_t type = 2;        // 2 uncompressed, 10 run-length
  std::uint8_t depth = 24;      // 16, 24, 32
  bool top_first = false;       // descriptor 0x20
  std::uint32_t width = 5;
  std::uint32_t height = 4;
  std::uint8_t id_length = 0;
  std::uint8_t map_entry_bits = 0;  // colour-map entry size; 0: no map
  std::uint16_t map_length = 0;
  bool noise = false;  // set every field and bit the decoder must ignore

  std::string Name() const {
    std::string n = "t" + std::to_string(type) + "_d" + std::to_string(depth) + (top_first ? "_top" : "_bottom") +
                    "_" + std::to_string(width) + "x" + std::to_string(height);
    if (id_length) n += "_id" + std::to_string(id_length);
    if (map_length) n += "_map" + std::to_string(map_entry_bits);
    if (noise) n += "_noise";
    return n;
  }
};

inline void PrintTo(const TgaVariant& v, std::ostream* os) { *os << v.Name(); }

struct Bgr {
  std::uint8_t b, g, r;
};

// The picture, by column and row from the top. Bands of one colour run across
// row ends (in top-first order) so that run-length packets cross rows too.
inline Bgr ReferencePixel(std::uint32_t x, std::uint32_t y, std::uint32_t width) {
  const std::uint32_t index = y * width + x;
  if (index / 5 % 3 == 1) return Bgr{0x18, 0x50, 0xA8};
  return Bgr{static_cast<std::uint8_t>(x * 8 + 16), static_cast<std::uint8_t>(y * 24),
             static_cast<std::uint8_t>(0xF8 - ((x + 3 * y) % 31) * 8)};
}

inline void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// Appends one pixel in the file's depth. All reference colours are
// multiples of 8, so a 16-bit file holds them exactly.
inline void PutPixel(std::vector<std::uint8_t>& out, Bgr p, std::uint8_t depth, bool noise) {
  if (depth == 16) {
    Put16(out, (p.b >> 3) | (p.g >> 3) << 5 | (p.r >> 3) << 10 | (noise ? 0x8000u : 0u));
    return;
  }
  out.push_back(p.b);
  out.push_back(p.g);
  out.push_back(p.r);
  if (depth == 32) out.push_back(noise ? 0x7F : 0xFF);
}

inline bool Same(Bgr a, Bgr b) { return a.b == b.b && a.g == b.g && a.r == b.r; }

inline std::vector<std::uint8_t> WriteTga(const TgaVariant& v) {
  std::vector<std::uint8_t> out;
  out.push_back(v.id_length);
  out.push_back(v.noise ? 1 : 0);
  out.push_back(v.type);
  Put16(out, v.noise ? 7 : 0);
  Put16(out, v.map_length);
  out.push_back(v.map_entry_bits);
  Put16(out, v.noise ? 33 : 0);
  Put16(out, v.noise ? 44 : 0);
  Put16(out, v.width);
  Put16(out, v.height);
  out.push_back(v.depth);
  out.push_back(static_cast<std::uint8_t>((v.top_first ? 0x20 : 0) | (v.noise ? 0x18 : 0)));
  for (unsigned i = 0; i < v.id_length; ++i) out.push_back(static_cast<std::uint8_t>('A' + i % 26));
  const unsigned entry_bytes = (v.map_entry_bits + 7u) / 8u;
  for (unsigned i = 0; i < v.map_length * entry_bytes; ++i) out.push_back(static_cast<std::uint8_t>(0xC0 + i));

  std::vector<Bgr> stream;  // pixels in file order
  for (std::uint32_t j = 0; j < v.height; ++j) {
    const std::uint32_t y = v.top_first ? j : v.height - 1 - j;
    for (std::uint32_t x = 0; x < v.width; ++x) stream.push_back(ReferencePixel(x, y, v.width));
  }
  if (v.type == 2) {
    for (Bgr p : stream) PutPixel(out, p, v.depth, v.noise);
  } else {
    // Runs of two or more become run packets, the rest literal packets, each
    // at most 128 pixels long, regardless of row ends.
    std::size_t i = 0;
    while (i < stream.size()) {
      std::size_t run = 1;
      while (i + run < stream.size() && run < 128 && Same(stream[i + run], stream[i])) ++run;
      if (run >= 2) {
        out.push_back(static_cast<std::uint8_t>(0x80 | (run - 1)));
        PutPixel(out, stream[i], v.depth, v.noise);
        i += run;
        continue;
      }
      std::size_t literal = 1;
      while (i + literal < stream.size() && literal < 128 &&
             !(i + literal + 1 < stream.size() && Same(stream[i + literal], stream[i + literal + 1])))
        ++literal;
      out.push_back(static_cast<std::uint8_t>(literal - 1));
      for (std::size_t k = 0; k < literal; ++k) PutPixel(out, stream[i + k], v.depth, v.noise);
      i += literal;
    }
  }
  if (v.noise) {  // a footer is never read
    const char footer[] = "\0\0\0\0\0\0\0\0TRUEVISION-XFILE.";
    out.insert(out.end(), footer, footer + sizeof footer);
  }
  return out;
}

// The reference picture as a plain file of one type and row order.
inline std::vector<std::uint8_t> WriteTga(std::uint32_t width, std::uint32_t height, std::uint8_t type = 2,
                                          bool top_first = false) {
  TgaVariant v;
  v.type = type;
  v.width = width;
  v.height = height;
  v.top_first = top_first;
  return WriteTga(v);
}

inline std::uint64_t RowSizeOf(std::uint32_t width) { return 3u * std::uint64_t{width} + width % 4u; }

// The top-down bitmap the decoder must produce: padding bytes zero.
inline std::vector<std::uint8_t> ExpectedBitmap(std::uint32_t width, std::uint32_t height) {
  const std::size_t row = static_cast<std::size_t>(RowSizeOf(width));
  std::vector<std::uint8_t> out(row * height, 0);
  for (std::uint32_t y = 0; y < height; ++y)
    for (std::uint32_t x = 0; x < width; ++x) {
      const Bgr p = ReferencePixel(x, y, width);
      std::uint8_t* q = &out[row * y + 3 * x];
      q[0] = p.b;
      q[1] = p.g;
      q[2] = p.r;
    }
  return out;
}

}  // namespace testing_tga
}  // namespace brindorel

// Four 64-bit lanes take 32-byte stripes (multiply, rotate, multiply); the
// lanes are then merged, the tail added and the result avalanched, so that
// every input bit reaches every output bit.
#include "package/content_hash.h"

#include <cstring>

namespace brindorel {
namespace {

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9ull;
constexpr std::uint64_t kPrime4 = 0x85EBCA77C2B2AE63ull;
constexpr std::uint64_t kPrime5 = 0x27D4EB2F165667C5ull;

inline std::uint64_t Rotl(std::uint64_t v, unsigned n) { return (v << n) | (v >> (64 - n)); }

inline std::uint64_t Load64(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

inline std::uint32_t Load32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}

inline std::uint64_t Round(std::uint64_t lane, std::uint64_t word) {
  return Rotl(lane + word * kPrime2, 31) * kPrime1;
}

inline std::uint64_t Merge(std::uint64_t hash, std::uint64_t lane) {
  return (hash ^ Round(0, lane)) * kPrime1 + kPrime4;
}

}  // namespace

ContentHash::ContentHash()
    : lanes_{kPrime1 + kPrime2, kPrime2, 0, 0 - kPrime1} {}

void ContentHash::Add(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;
  total_ += size;
  if (pendingSize_ != 0) {
    const std::size_t take = size < 32 - pendingSize_ ? size : 32 - pendingSize_;
    std::memcpy(pending_ + pendingSize_, data, take);
    pendingSize_ += take;
    data += take;
    size -= take;
    if (pendingSize_ < 32) return;
    for (int i = 0; i < 4; ++i) lanes_[i] = Round(lanes_[i], Load64(pending_ + 8 * i));
    pendingSize_ = 0;
  }
  std::uint64_t v0 = lanes_[0], v1 = lanes_[1], v2 = lanes_[2], v3 = lanes_[3];
  while (size >= 32) {
    v0 = Round(v0, Load64(data));
    v1 = Round(v1, Load64(data + 8));
    v2 = Round(v2, Load64(data + 16));
    v3 = Round(v3, Load64(data + 24));
    data += 32;
    size -= 32;
  }
  lanes_[0] = v0;
  lanes_[1] = v1;
  lanes_[2] = v2;
  lanes_[3] = v3;
  std::memcpy(pending_, data, size);
  pendingSize_ = size;
}

std::uint64_t ContentHash::Finish() const {
  std::uint64_t h;
  if (total_ >= 32) {
    h = Rotl(lanes_[0], 1) + Rotl(lanes_[1], 7) + Rotl(lanes_[2], 12) + Rotl(lanes_[3], 18);
    for (int i = 0; i < 4; ++i) h = Merge(h, lanes_[i]);
  } else {
    h = kPrime5;
  }
  h += total_;
  const std::uint8_t* p = pending_;
  std::size_t rest = pendingSize_;
  for (; rest >= 8; p += 8, rest -= 8) h = Rotl(h ^ Round(0, Load64(p)), 27) * kPrime1 + kPrime4;
  if (rest >= 4) {
    h = Rotl(h ^ (std::uint64_t(Load32(p)) * kPrime1), 23) * kPrime2 + kPrime3;
    p += 4;
    rest -= 4;
  }
  for (; rest > 0; ++p, --rest) h = Rotl(h ^ (std::uint64_t(*p) * kPrime5), 11) * kPrime1;
  h ^= h >> 33;
  h *= kPrime2;
  h ^= h >> 29;
  h *= kPrime3;
  h ^= h >> 32;
  return h == 0 ? 1 : h;
}

std::uint64_t HashBytes(const std::uint8_t* data, std::size_t size) {
  ContentHash hash;
  hash.Add(data, size);
  return hash.Finish();
}

}  // namespace brindorel

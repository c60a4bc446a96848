// A 64-bit hash of content, for telling damaged bytes from sound ones where
// the block checksum is too weak (it misses changes that repeat, such as a
// damaged literal that later matches copy again). Fed in pieces of any size,
// it gives the same value as for the whole. Never 0, so that 0 can stand for
// "not hashed".
#pragma once

#include <cstddef>
#include <cstdint>

namespace brindorel {

class ContentHash {
 public:
  ContentHash();
  void Add(const std::uint8_t* data, std::size_t size);
  std::uint64_t Finish() const;

 private:
  std::uint64_t lanes_[4];
  std::uint8_t pending_[32];
  std::size_t pendingSize_ = 0;
  std::uint64_t total_ = 0;
};

std::uint64_t HashBytes(const std::uint8_t* data, std::size_t size);

}  // namespace brindorel

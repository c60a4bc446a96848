// Block decoder: one compressed block of a package, decoded from memory into a
// caller-supplied buffer in a single pass.
//
// Block layout (integers little-endian):
//
//   offset 0   2 bytes  magic "JC"
//   offset 2   4 bytes  decoded size
//   offset 6   4 bytes  checksum of the decoded bytes (0: not checked)
//   offset 10  ...      bit stream, consumed as 32-bit little-endian words,
//                       bits taken from the most significant down
//
// No allocation, no system calls; the same code runs in the installer and natively.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brindorel {

constexpr std::size_t kBlockHeaderSize = 10;

// Decodes `block` (blockSize bytes) into `out` (capacity bytes). Returns the
// number of bytes written, or 0 on failure: a missing block or buffer, no "JC"
// magic, a stream that would read past blockSize or write past capacity, a
// literal before any literal-width code, or a checksum mismatch (the bytes
// written so far then stay in `out`). Never reads or writes out of bounds;
// bytes of `out` past the returned count may have been changed.
std::size_t DecompressBlock(const std::uint8_t* block, std::size_t blockSize,
                            std::uint8_t* out, std::size_t capacity);

// The block checksum of `size` bytes (0 for fewer than 4 bytes).
std::uint32_t BlockChecksum(const std::uint8_t* data, std::size_t size);

// The decoded size a block's header announces; 0 when blockSize is below the
// header size or the magic is missing.
std::uint32_t BlockDecodedSize(const std::uint8_t* block, std::size_t blockSize);

}  // namespace brindorel

// Block decoder (the format is in block_format.h), in two forms over one core:
//  - DecompressBlock: a whole block from memory into a caller-supplied buffer;
//  - the block stream: a block fed in pieces, decoded into a window of recent
//    output that the caller drains; it stops when the window or the caller's
//    limit is full and goes on where it stopped, so memory stays bounded
//    whatever the block's size.
// No allocation, no system calls; the same code runs in the installer and natively.
#pragma once

#include <cstddef>
#include <cstdint>

#include "package/block_format.h"

namespace brindorel {

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

// ---- block stream ----

// The window the installer decodes large entries with: a match reaching
// further back than this is served from the output already written (slow).
// The builder keeps its matches within kBlockWindowReach for such entries.
constexpr std::size_t kBlockWindowSize = std::size_t(32) << 20;  // 32 MiB
// The bytes of the window that are history (the rest is room for writing).
constexpr std::size_t kBlockWindowSlack = 64;
constexpr std::size_t kBlockWindowReach = kBlockWindowSize - kBlockWindowSlack;

// Reads `size` bytes of the block's output from `position` (counted from its
// first decoded byte) into `to`. Only bytes handed out by earlier calls are
// asked for. Returns false when it cannot; decoding then fails.
using BlockHistoryReader = bool (*)(void* context, std::uint64_t position, std::uint8_t* to,
                                    std::size_t size);

enum class BlockStreamStatus {
  kNeedsInput,   // give the unused input again with more behind it
  kOutputFull,   // the window's end or the call's output limit was reached
  kFinished,     // the end code came; the size and checksum are right
  kFailed,       // corrupt block, or the history reader failed (sticky)
};

struct BlockStreamResult {
  BlockStreamStatus status;
  std::size_t inputUsed;     // bytes of the input consumed (whole words)
  std::size_t outputOffset;  // new output: window[outputOffset, +outputSize)
  std::size_t outputSize;
};

// The decoder's state between calls; its fields belong to the decoder.
struct BlockStream {
  std::uint8_t* window;
  std::size_t windowSize;
  std::size_t writePos;  // where the next byte goes in the window
  bool wrapped;          // the window holds a full lap of older output
  BlockHistoryReader reader;
  void* readerContext;
  std::uint64_t total;        // bytes produced so far
  std::uint64_t outputLimit;  // bytes the block may produce at most
  std::uint32_t decodedSize, checksum;
  std::uint32_t sum, tail;    // running checksum; the last four bytes, little-endian
  unsigned bitOffset;         // bits of the next input word already taken
  std::uint64_t lastIndex;
  unsigned indexWidth, literalWidth, literalOffset;
  unsigned rawLeft;           // bytes still to come in the current raw run
  std::uint8_t pendingKind;   // output decoded but not yet written
  std::uint8_t pendingByte;
  std::uint64_t pendingDistance, pendingLength;
  std::uint8_t phase;
};

// Starts a block from its header (the first kBlockHeaderSize bytes of the
// block; the stream that follows is given to DecodeBlockStream). `window`
// (windowSize >= 1 bytes, kBlockWindowSize in the installer) belongs to the
// stream until it ends. `reader` may be null: matches past the window then
// fail. Returns false, and leaves the stream failed, for a missing or
// unmarked header or a missing window.
bool BeginBlockStream(BlockStream& stream, const std::uint8_t* header, std::size_t headerSize,
                      std::uint8_t* window, std::size_t windowSize, BlockHistoryReader reader,
                      void* readerContext);

// Decodes from `input` (the stream's next unused bytes, starting with the
// first byte after the header; `inputEnds` when they run to the block's end)
// and produces at most `maxOutput` bytes into the window. The new output
// (window[outputOffset, +outputSize)) must be taken before the next call; it
// may come with any status. inputUsed bytes (whole words) are consumed: the
// next call gets the input from there. Before the input ends the decoder
// stops (kNeedsInput) when fewer than 32 bytes lie ahead of it, so pieces of
// a few KiB keep it busy. Finished means that exactly the header's decoded
// size was produced and its checksum matched. A typical loop: read a piece, call,
// write the new output to the file, keep the unused input, repeat until
// kFinished or kFailed.
BlockStreamResult DecodeBlockStream(BlockStream& stream, const std::uint8_t* input, std::size_t inputSize,
                                    bool inputEnds, std::size_t maxOutput);

}  // namespace brindorel

// Finding embedded files in a loaded image buffer.
//
// A block (1024 bytes) starts an embedded file when its first six
// little-endian words pass the signature test. The file runs for up to twelve
// blocks and ends at the first block, counting from w5 / 1024 blocks on, whose
// last three bytes are zero.
#ifndef VORBEX_TOOL_EMBEDDED_SCAN_H
#define VORBEX_TOOL_EMBEDDED_SCAN_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vorbex {

constexpr std::size_t kScanBlockSize = 1024;
constexpr std::size_t kMaxFileBlocks = 12;

struct EmbeddedFile {
    std::size_t offset;  // byte offset of the starting block
    std::size_t length;  // whole blocks, 1024 to 12288 bytes
};

// Header word k (0 to 5) of a block: bytes 2k and 2k + 1, little-endian.
unsigned HeaderWord(const std::uint8_t* block, int k);

// True when the last three bytes of the 1024-byte block are zero.
bool TailIsZero(const std::uint8_t* block);

// True when the twelve bytes at `header` are six ascending words, the first a
// multiple of 16 below 4096.
bool PassesSignature(const std::uint8_t* header);

// Every embedded file in the `size` bytes at `data`, in ascending block order.
// Starting blocks run up to the ninth block from the end of the buffer. The
// blocks of a file found are scanned too, so files may overlap. A candidate
// whose end search would have to look past the end of the buffer is dropped:
// only bytes that are in the buffer are ever reported.
std::vector<EmbeddedFile> FindEmbeddedFiles(const std::uint8_t* data, std::size_t size);

}  // namespace vorbex

#endif  // VORBEX_TOOL_EMBEDDED_SCAN_H

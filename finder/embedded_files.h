// Finding the embedded files in a loaded buffer.
//
// A block (1024 bytes) starts an embedded file when its first six
// little-endian words pass the signature test. The file runs for up to twelve
// blocks and ends at the first block, counting from w5 / 1024 blocks on, whose
// last three bytes are zero.
#ifndef VORBEX_FINDER_EMBEDDED_FILES_H
#define VORBEX_FINDER_EMBEDDED_FILES_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vorbex {

inline constexpr std::size_t kBlockSize = 1024;
inline constexpr std::size_t kMaxFileBlocks = 12;
inline constexpr std::size_t kSignatureSize = 12;

struct EmbeddedFile {
    std::size_t offset;  // byte offset of the starting block
    std::size_t length;  // whole blocks, 1024 to 12288 bytes
};

// True when the six words of `header` rise strictly and the first is a
// multiple of 16 below 4096.
[[nodiscard]] bool PassesSignature(std::span<const std::uint8_t, kSignatureSize> header);

// Every embedded file in `buffer`, in ascending block order. Starting blocks
// run up to the ninth block from the end of the buffer. The blocks of a file
// found are scanned too, so files may overlap. A candidate whose end search
// would have to look past the end of the buffer is dropped: only bytes that
// are in the buffer are ever reported.
[[nodiscard]] std::vector<EmbeddedFile> FindEmbeddedFiles(std::span<const std::uint8_t> buffer);

}  // namespace vorbex

#endif  // VORBEX_FINDER_EMBEDDED_FILES_H

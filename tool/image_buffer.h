// The memory area that one disk's tracks are gathered into before the scan.
#ifndef VORBEX_TOOL_IMAGE_BUFFER_H
#define VORBEX_TOOL_IMAGE_BUFFER_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vorbex {

// 1232 blocks of 1024 bytes: 154 tracks of eight 1024-byte sectors. Zero when
// made; a load writes from the start and leaves everything past its last byte
// as it was, so a second disk still shows the first disk's later data there.
struct ImageBuffer {
    static constexpr std::size_t kBlockSize = 1024;
    static constexpr std::size_t kBlockCount = 1232;
    static constexpr std::size_t kSize = kBlockSize * kBlockCount;

    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(kSize);
};

}  // namespace vorbex

#endif  // VORBEX_TOOL_IMAGE_BUFFER_H

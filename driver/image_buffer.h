// The memory area that one disk's tracks are gathered into before the scan.
#ifndef VORBEX_DRIVER_IMAGE_BUFFER_H
#define VORBEX_DRIVER_IMAGE_BUFFER_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "embedded_files.h"

namespace vorbex {

// 1232 blocks: 154 tracks of eight 1024-byte sectors. Zero when made; a load
// writes from the start and leaves everything past its last byte as it was,
// so a second disk still shows the first disk's later data there.
class ImageBuffer {
  public:
    static constexpr std::size_t kBlockCount = 1232;
    static constexpr std::size_t kSize = kBlockSize * kBlockCount;

    std::span<std::uint8_t, kSize> Bytes() { return std::span<std::uint8_t, kSize>(bytes_); }
    std::span<const std::uint8_t, kSize> Bytes() const {
        return std::span<const std::uint8_t, kSize>(bytes_);
    }

  private:
    std::vector<std::uint8_t> bytes_ = std::vector<std::uint8_t>(kSize);
};

}  // namespace vorbex

#endif  // VORBEX_DRIVER_IMAGE_BUFFER_H

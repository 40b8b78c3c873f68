// The memory area that one disk's tracks are gathered into before the scan.
#ifndef VORBEX_DRIVER_IMAGE_BUFFER_H
#define VORBEX_DRIVER_IMAGE_BUFFER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "embedded_files.h"
#include "page_memory.h"

namespace vorbex {

// 1232 blocks: 154 tracks of eight 1024-byte sectors. Zero when made; a load
// writes from the start and leaves everything past its last byte as it was,
// so a second disk still shows the first disk's later data there.
class ImageBuffer {
  public:
    static constexpr std::size_t kBlockCount = 1232;
    static constexpr std::size_t kSize = kBlockSize * kBlockCount;

    // A zeroed buffer, or nullptr when its memory cannot be had.
    [[nodiscard]] static std::unique_ptr<ImageBuffer> Create() {
        std::unique_ptr<ImageBuffer> buffer(new ImageBuffer);
        return buffer->memory_.data() != nullptr ? std::move(buffer) : nullptr;
    }

    std::span<std::uint8_t, kSize> Bytes() {
        return std::span<std::uint8_t, kSize>(memory_.data(), kSize);
    }
    std::span<const std::uint8_t, kSize> Bytes() const {
        return std::span<const std::uint8_t, kSize>(memory_.data(), kSize);
    }

  private:
    ImageBuffer() : memory_(kSize) {}

    PageMemory memory_;
};

}  // namespace vorbex

#endif  // VORBEX_DRIVER_IMAGE_BUFFER_H

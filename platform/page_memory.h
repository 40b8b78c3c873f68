// Memory taken from the system in one piece, for the image buffer and the
// reader's cache.
#ifndef VORBEX_PLATFORM_PAGE_MEMORY_H
#define VORBEX_PLATFORM_PAGE_MEMORY_H

#include <cstddef>
#include <cstdint>

namespace vorbex {

// `bytes` bytes that read as zeros and cost nothing until they are used;
// data() is null when they cannot be had. A run lasts a millisecond or two,
// and a page fault for every 4 KiB of the buffers took a third of that, so
// on Linux they come in 2 MiB huge pages where the kernel has them.
class PageMemory {
  public:
    explicit PageMemory(std::size_t bytes);
    ~PageMemory();
    PageMemory(const PageMemory&) = delete;
    PageMemory& operator=(const PageMemory&) = delete;

    std::uint8_t* data() const { return data_; }

  private:
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace vorbex

#endif  // VORBEX_PLATFORM_PAGE_MEMORY_H

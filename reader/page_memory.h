// Memory for the reader's pages, taken from the system in one piece.
#ifndef VORBEX_READER_PAGE_MEMORY_H
#define VORBEX_READER_PAGE_MEMORY_H

#include <cstddef>
#include <cstdint>

namespace vorbex {

class PageMemory {
  public:
    // `bytes` bytes that read as zeros and stay untouched until used; no
    // memory when they cannot be had.
    explicit PageMemory(std::size_t bytes);
    ~PageMemory();
    PageMemory(const PageMemory&) = delete;
    PageMemory& operator=(const PageMemory&) = delete;

    std::uint8_t* data() const { return data_; }

  private:
    std::uint8_t* data_ = nullptr;
    void* mapping_ = nullptr;
    std::size_t mapped_ = 0;
};

}  // namespace vorbex

#endif  // VORBEX_READER_PAGE_MEMORY_H

#include <windows.h>

#include "page_memory.h"

namespace vorbex {

// Committed pages read as zeros and take memory only once touched.
PageMemory::PageMemory(std::size_t bytes)
    : data_(static_cast<std::uint8_t*>(
          VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE))),
      size_(bytes) {}

PageMemory::~PageMemory() {
    if (data_ != nullptr) {
        VirtualFree(data_, 0, MEM_RELEASE);
    }
}

}  // namespace vorbex

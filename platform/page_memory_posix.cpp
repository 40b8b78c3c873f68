#include <sys/mman.h>

#include "page_memory.h"

namespace vorbex {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

}  // namespace

// A huge page must start at a multiple of its size, so the mapping takes a
// huge page more than it needs and gives back what lies outside the aligned
// part.
PageMemory::PageMemory(std::size_t bytes) : size_((bytes + kHugePage - 1) / kHugePage * kHugePage) {
    void* area = mmap(nullptr, size_ + kHugePage, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED) {
        size_ = 0;
        return;
    }
    auto* begin = static_cast<std::uint8_t*>(area);
    const auto address = reinterpret_cast<std::uintptr_t>(area);
    data_ = begin + ((kHugePage - address % kHugePage) % kHugePage);
    if (data_ > begin) {
        munmap(begin, static_cast<std::size_t>(data_ - begin));
    }
    munmap(data_ + size_, static_cast<std::size_t>(begin + size_ + kHugePage - (data_ + size_)));
#ifdef MADV_HUGEPAGE
    madvise(data_, size_, MADV_HUGEPAGE);
#endif
}

PageMemory::~PageMemory() {
    if (data_ != nullptr) {
        munmap(data_, size_);
    }
}

}  // namespace vorbex

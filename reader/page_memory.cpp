#include "page_memory.h"

#include <cstdlib>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace vorbex {

#ifdef __linux__
// A mapping rather than the heap: a fault for every 4 KiB of an image read
// once would cost as much as reading it, so the pages come in huge pages
// where the kernel has them, which needs an aligned start; and the memory
// goes straight back to the system.
PageMemory::PageMemory(std::size_t bytes) {
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    mapped_ = bytes + kHugePage;
    mapping_ = mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping_ == MAP_FAILED) {
        mapping_ = nullptr;
        return;
    }
    const auto start = reinterpret_cast<std::uintptr_t>(mapping_);
    data_ = reinterpret_cast<std::uint8_t*>((start + kHugePage - 1) & ~(kHugePage - 1));
    madvise(data_, bytes, MADV_HUGEPAGE);
}

PageMemory::~PageMemory() {
    if (mapping_ != nullptr) {
        munmap(mapping_, mapped_);
    }
}
#else
PageMemory::PageMemory(std::size_t bytes)
    : data_(static_cast<std::uint8_t*>(std::calloc(bytes, 1))) {}

PageMemory::~PageMemory() {
    std::free(data_);
}
#endif

}  // namespace vorbex

#include "image_buffer.h"

#include <cstdlib>
#include <new>

#ifdef __linux__
#include <sys/mman.h>

#include <cstdint>
#endif

namespace vorbex {

namespace {

#ifdef __linux__
// A run lasts a few milliseconds, and touching the buffer's 300-odd pages for
// the first time took a third of that. In one huge page, aligned as the
// kernel needs, the buffer costs one fault; where the kernel gives no huge
// pages it is an ordinary mapping.
constexpr std::size_t kHugePage = std::size_t{2} << 20;
static_assert(ImageBuffer::kSize <= kHugePage);

std::uint8_t* MapHugePage() {
    void* area =
        mmap(nullptr, 2 * kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED) {
        return nullptr;
    }
    const auto begin = reinterpret_cast<std::uintptr_t>(area);
    const std::uintptr_t aligned = (begin + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > begin) {
        munmap(area, aligned - begin);
    }
    munmap(reinterpret_cast<void*>(aligned + kHugePage), begin + kHugePage - aligned);
    auto* bytes = reinterpret_cast<std::uint8_t*>(aligned);
    madvise(bytes, kHugePage, MADV_HUGEPAGE);
    return bytes;
}
#endif

}  // namespace

std::unique_ptr<ImageBuffer> ImageBuffer::Create() {
    std::uint8_t* bytes = nullptr;
    std::size_t mapped = 0;
#ifdef __linux__
    // A fresh anonymous mapping reads as zeros.
    bytes = MapHugePage();
    mapped = bytes != nullptr ? kHugePage : 0;
#endif
    if (bytes == nullptr) {
        bytes = static_cast<std::uint8_t*>(std::calloc(kSize, 1));
    }
    if (bytes == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<ImageBuffer>(new ImageBuffer(bytes, mapped));
}

ImageBuffer::~ImageBuffer() {
#ifdef __linux__
    if (mapped_ != 0) {
        munmap(bytes_, mapped_);
        return;
    }
#endif
    std::free(bytes_);
}

}  // namespace vorbex

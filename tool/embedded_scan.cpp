#include "embedded_scan.h"

namespace vorbex {

namespace {

// Blocks this close to the end of the buffer are never starting blocks.
constexpr std::size_t kTrailingNonStartBlocks = 8;

}  // namespace

unsigned HeaderWord(const std::uint8_t* block, int k) {
    return static_cast<unsigned>(block[2 * k]) | static_cast<unsigned>(block[2 * k + 1]) << 8;
}

bool TailIsZero(const std::uint8_t* block) {
    return block[kScanBlockSize - 3] == 0 && block[kScanBlockSize - 2] == 0 &&
           block[kScanBlockSize - 1] == 0;
}

bool PassesSignature(const std::uint8_t* header) {
    if ((HeaderWord(header, 0) & 0xF00Fu) != 0) {
        return false;
    }
    for (int k = 1; k < 6; ++k) {
        if (HeaderWord(header, k - 1) >= HeaderWord(header, k)) {
            return false;
        }
    }
    return true;
}

std::vector<EmbeddedFile> FindEmbeddedFiles(const std::uint8_t* data, std::size_t size) {
    std::vector<EmbeddedFile> files;
    const std::size_t blockCount = size / kScanBlockSize;
    if (blockCount <= kTrailingNonStartBlocks) {
        return files;
    }
    const std::size_t startLimit = blockCount - kTrailingNonStartBlocks;
    for (std::size_t b = 0; b < startLimit; ++b) {
        const std::uint8_t* block = data + b * kScanBlockSize;
        if (!PassesSignature(block)) {
            continue;
        }
        std::size_t k = HeaderWord(block, 5) / kScanBlockSize;
        bool beyondBuffer = false;
        while (k < kMaxFileBlocks) {
            if (b + k >= blockCount) {
                beyondBuffer = true;
                break;
            }
            if (TailIsZero(data + (b + k) * kScanBlockSize)) {
                break;
            }
            ++k;
        }
        if (k < kMaxFileBlocks && !beyondBuffer) {
            files.push_back({b * kScanBlockSize, (k + 1) * kScanBlockSize});
        }
    }
    return files;
}

}  // namespace vorbex

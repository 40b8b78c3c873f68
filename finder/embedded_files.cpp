#include "embedded_files.h"

namespace vorbex {

namespace {

using Block = std::span<const std::uint8_t, kBlockSize>;

// Blocks this close to the end of the buffer are never starting blocks.
constexpr std::size_t kTrailingNonStartBlocks = 8;

unsigned HeaderWord(std::span<const std::uint8_t, kSignatureSize> header, std::size_t k) {
    return static_cast<unsigned>(header[2 * k]) | static_cast<unsigned>(header[2 * k + 1]) << 8;
}

bool TailIsZero(Block block) {
    return block[kBlockSize - 3] == 0 && block[kBlockSize - 2] == 0 && block[kBlockSize - 1] == 0;
}

}  // namespace

bool PassesSignature(std::span<const std::uint8_t, kSignatureSize> header) {
    if ((HeaderWord(header, 0) & 0xF00Fu) != 0) {
        return false;
    }
    for (std::size_t k = 1; k < 6; ++k) {
        if (HeaderWord(header, k - 1) >= HeaderWord(header, k)) {
            return false;
        }
    }
    return true;
}

std::vector<EmbeddedFile> FindEmbeddedFiles(std::span<const std::uint8_t> buffer) {
    std::vector<EmbeddedFile> files;
    const std::size_t blockCount = buffer.size() / kBlockSize;
    const auto block = [&](std::size_t b) {
        return Block(buffer.subspan(b * kBlockSize, kBlockSize));
    };
    for (std::size_t b = 0; b + kTrailingNonStartBlocks < blockCount; ++b) {
        const auto header = block(b).first<kSignatureSize>();
        if (!PassesSignature(header)) {
            continue;
        }
        // The end search starts w5 / 1024 blocks on and may not leave the
        // buffer: such a candidate is dropped rather than padded.
        std::size_t k = HeaderWord(header, 5) / kBlockSize;
        while (k < kMaxFileBlocks && b + k < blockCount && !TailIsZero(block(b + k))) {
            ++k;
        }
        if (k < kMaxFileBlocks && b + k < blockCount) {
            files.push_back({b * kBlockSize, (k + 1) * kBlockSize});
        }
    }
    return files;
}

}  // namespace vorbex

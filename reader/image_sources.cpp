#include "image_sources.h"

#include <algorithm>
#include <array>

#include "vorbex/d88_reader.h"

namespace vorbex {

namespace {

// What one read of the stream takes.
constexpr std::size_t kStreamChunk = 64 * 1024;

}  // namespace

std::error_code StreamSource::TakeAll() {
    std::error_code error;
    spool_ = SystemFile::CreateTemporary(error);
    if (error) {
        return error;
    }
    std::array<std::uint8_t, kStreamChunk> chunk;
    for (;;) {
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), limit_ - taken_));
        if (want == 0) {
            // At the limit: the stream is too long unless it ends right here.
            // The byte that tells is not kept.
            std::uint8_t probe = 0;
            const ReadResult got = stream_.Read(std::span(&probe, 1));
            if (got.error) {
                return got.error;
            }
            return got.count > 0 ? make_error_code(ReaderErrc::kStreamTooLong) : std::error_code();
        }
        const ReadResult got = stream_.Read(std::span(chunk).first(want));
        if (const std::error_code failed =
                spool_.WriteAt(taken_, std::span(chunk).first(got.count))) {
            return failed;
        }
        taken_ += got.count;
        if (got.error) {
            return got.error;
        }
        if (got.count < want) {
            return {};
        }
    }
}

ReadResult StreamSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) {
    if (!taken_all_) {
        failure_ = TakeAll();
        taken_all_ = true;
    }
    // A stream that could not be taken whole is not read at all: what it
    // gave is not the image.
    if (failure_) {
        return {0, failure_};
    }
    if (offset >= taken_) {
        return {};
    }
    return spool_.ReadAt(offset, dest.first(static_cast<std::size_t>(
                                     std::min<std::uint64_t>(dest.size(), taken_ - offset))));
}

OpenedImage OpenImageFile(const char* path, std::uint64_t streamLimit) {
    OpenedImage opened;
    SystemFile file = SystemFile::OpenForReading(path, opened.error);
    if (opened.error) {
        return opened;
    }
    if (file.IsRandomAccess()) {
        opened.source = std::make_unique<FileSource>(std::move(file));
    } else {
        opened.source = std::make_unique<StreamSource>(std::move(file), streamLimit);
    }
    return opened;
}

}  // namespace vorbex

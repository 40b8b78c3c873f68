#include "image_file.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace vorbex {

namespace {

// std::fseek takes a long, which is 32 bits on Windows; images may place
// tracks past 2 GiB, so use the 64-bit variant of each platform.
int Seek64(std::FILE* stream, std::int64_t pos) {
#ifdef _WIN32
    return _fseeki64(stream, pos, SEEK_SET);
#else
    if (pos > static_cast<std::int64_t>(std::numeric_limits<off_t>::max())) {
        return -1;
    }
    return fseeko(stream, static_cast<off_t>(pos), SEEK_SET);
#endif
}

// A miss less than this far past the end of the window slides the window
// forward, keeping this much of what it holds: the reader goes back to the
// start of the track for every sector, and a track is a few KiB.
constexpr std::size_t kKeptOnSlide = ImageFile::kWindowSize / 2;

// What a miss anywhere else reads. Such a jump says nothing about what comes
// next (counting the disks reads a lone header of each), so it earns only a
// small read; reading on from there slides the window as usual.
constexpr std::size_t kJumpRead = 4096;

}  // namespace

std::unique_ptr<ImageFile> ImageFile::Open(const char* path) {
    if (path == nullptr || *path == '\0') {
        return nullptr;
    }
    std::FILE* stream = std::fopen(path, "rb");
    if (stream == nullptr) {
        return nullptr;
    }
    // The window is the only buffer; a stdio buffer on top would only copy
    // every byte twice.
    std::setvbuf(stream, nullptr, _IONBF, 0);
    return std::unique_ptr<ImageFile>(new ImageFile(stream));
}

ImageFile::ImageFile(std::FILE* stream) : stream_(stream), window_(new std::uint8_t[kWindowSize]) {}

ImageFile::~ImageFile() {
    std::fclose(stream_);
}

bool ImageFile::SeekTo(std::int64_t pos) {
    if (streamPos_ == pos) {
        return true;
    }
    if (Seek64(stream_, pos) != 0) {
        streamPos_ = -1;
        return false;
    }
    streamPos_ = pos;
    return true;
}

std::size_t ImageFile::ReadDirect(std::int64_t pos, std::uint8_t* dest, std::size_t n) {
    if (!SeekTo(pos)) {
        return 0;
    }
    const std::size_t got = std::fread(dest, 1, n, stream_);
    streamPos_ = pos + static_cast<std::int64_t>(got);
    if (got < n) {
        if (std::ferror(stream_) != 0) {
            error_ = true;
            std::clearerr(stream_);
            streamPos_ = -1;
        } else {
            endOfFile_ = streamPos_;
            std::clearerr(stream_);
        }
    }
    return got;
}

bool ImageFile::Fill(std::int64_t pos) {
    const std::int64_t windowEnd = windowStart_ + static_cast<std::int64_t>(windowLength_);
    if (windowLength_ > 0 && pos >= windowEnd &&
        pos - windowEnd < static_cast<std::int64_t>(kKeptOnSlide)) {
        // Only the bytes past the window are new; what it keeps is not
        // fetched again.
        const std::size_t keep = std::min(windowLength_, kKeptOnSlide);
        std::memmove(window_.get(), window_.get() + (windowLength_ - keep), keep);
        windowStart_ = windowEnd - static_cast<std::int64_t>(keep);
        windowLength_ = keep + ReadDirect(windowEnd, window_.get() + keep, kWindowSize - keep);
    } else {
        windowStart_ = pos;
        windowLength_ = ReadDirect(pos, window_.get(), kJumpRead);
    }
    return pos < windowStart_ + static_cast<std::int64_t>(windowLength_);
}

std::size_t ImageFile::ReadAt(std::int64_t pos, std::uint8_t* dest, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        if (pos < 0 || (endOfFile_ >= 0 && pos >= endOfFile_)) {
            break;
        }
        const std::int64_t windowEnd = windowStart_ + static_cast<std::int64_t>(windowLength_);
        if (pos >= windowStart_ && pos < windowEnd) {
            const auto offset = static_cast<std::size_t>(pos - windowStart_);
            const std::size_t take = std::min(n - done, windowLength_ - offset);
            std::memcpy(dest + done, window_.get() + offset, take);
            done += take;
            pos += static_cast<std::int64_t>(take);
            continue;
        }
        if (n - done >= kWindowSize) {
            // Large requests go straight to the caller's memory.
            const std::size_t got = ReadDirect(pos, dest + done, n - done);
            done += got;
            break;
        }
        if (!Fill(pos)) {
            break;
        }
    }
    return done;
}

}  // namespace vorbex

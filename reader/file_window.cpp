#include "file_window.h"

#include <algorithm>
#include <cstring>

namespace vorbex {

namespace {

// A miss less than this far past the end of the window slides the window
// forward, keeping this much of what it holds: the reader goes back to the
// start of the track for every sector, and a track is a few KiB.
constexpr std::size_t kKeptOnSlide = FileWindow::kWindowSize / 2;

// What a miss anywhere else reads. Such a jump says nothing about what comes
// next (counting the disks reads a lone header of each), so it earns only a
// small read; reading on from there slides the window as usual.
constexpr std::size_t kJumpRead = 4096;

}  // namespace

FileWindow::FileWindow(std::unique_ptr<ImageSource> source)
    : source_(std::move(source)), window_(new std::uint8_t[kWindowSize]) {}

std::size_t FileWindow::ReadDirect(std::int64_t pos, std::span<std::uint8_t> dest) {
    const ReadResult got = source_->ReadAt(static_cast<std::uint64_t>(pos), dest);
    if (got.count < dest.size()) {
        if (got.error) {
            if (!error_) {
                error_ = got.error;
            }
        } else {
            endOfImage_ = pos + static_cast<std::int64_t>(got.count);
        }
    }
    return got.count;
}

bool FileWindow::Fill(std::int64_t pos) {
    const std::int64_t windowEnd = windowStart_ + static_cast<std::int64_t>(windowLength_);
    const std::span<std::uint8_t> window(window_.get(), kWindowSize);
    if (windowLength_ > 0 && pos >= windowEnd &&
        pos - windowEnd < static_cast<std::int64_t>(kKeptOnSlide)) {
        // Only the bytes past the window are new; what it keeps is not
        // fetched again.
        const std::size_t keep = std::min(windowLength_, kKeptOnSlide);
        std::memmove(window.data(), window.data() + (windowLength_ - keep), keep);
        windowStart_ = windowEnd - static_cast<std::int64_t>(keep);
        windowLength_ = keep + ReadDirect(windowEnd, window.subspan(keep));
    } else {
        windowStart_ = pos;
        windowLength_ = ReadDirect(pos, window.first(kJumpRead));
    }
    return pos < windowStart_ + static_cast<std::int64_t>(windowLength_);
}

std::size_t FileWindow::ReadAt(std::int64_t pos, std::span<std::uint8_t> dest) {
    std::size_t done = 0;
    while (done < dest.size()) {
        if (pos < 0 || (endOfImage_ >= 0 && pos >= endOfImage_)) {
            break;
        }
        const std::int64_t windowEnd = windowStart_ + static_cast<std::int64_t>(windowLength_);
        if (pos >= windowStart_ && pos < windowEnd) {
            const auto offset = static_cast<std::size_t>(pos - windowStart_);
            const std::size_t take = std::min(dest.size() - done, windowLength_ - offset);
            std::memcpy(dest.data() + done, window_.get() + offset, take);
            done += take;
            pos += static_cast<std::int64_t>(take);
            continue;
        }
        if (dest.size() - done >= kWindowSize) {
            // Large requests go straight to the caller's memory.
            done += ReadDirect(pos, dest.subspan(done));
            break;
        }
        if (!Fill(pos)) {
            break;
        }
    }
    return done;
}

}  // namespace vorbex

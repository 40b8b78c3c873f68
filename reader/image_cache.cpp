#include "image_cache.h"

#include <algorithm>

namespace vorbex {

namespace {

constexpr std::uint64_t kNoPage = UINT64_MAX;
// The page map has room for every page of 64 MiB: pages that far apart share
// an entry, and of two such pages in the ring only the later is found.
constexpr std::size_t kMapSize = std::size_t{1} << 14;
// A fetch reads 64 KiB at first and up to 1 MiB (at most half the ring, so
// that it never pushes out what the ring took just before).
constexpr std::size_t kFirstRun = 16;
constexpr std::size_t kLongestRun = 256;

}  // namespace

ImageCache::ImageCache(std::unique_ptr<ImageSource> source, std::size_t ringPages)
    : source_(std::move(source)),
      pages_(std::clamp<std::size_t>(ringPages, 1, UINT16_MAX)),
      ring_(pages_ * kPageSize),
      slotPage_(pages_, kNoPage),
      pageSlot_(kMapSize, 0),
      readAhead_(kFirstRun) {
    if (ring_.data() == nullptr) {
        error_ = std::make_error_code(std::errc::not_enough_memory);
    }
}

std::size_t ImageCache::Find(std::uint64_t page) const {
    const std::size_t slot = pageSlot_[page % kMapSize];
    return slot < pages_ && slotPage_[slot] == page ? slot : kNone;
}

std::size_t ImageCache::Length(std::uint64_t page) const {
    const std::uint64_t start = page * kPageSize;
    return end_ <= start
               ? 0
               : static_cast<std::size_t>(std::min<std::uint64_t>(end_ - start, kPageSize));
}

bool ImageCache::Fetch(std::uint64_t page, std::size_t wanted) {
    if (page == failedPage_ && error_) {
        return false;
    }
    const bool carriesOn = page >= nextPage_ && page - nextPage_ <= readAhead_;
    readAhead_ = carriesOn ? std::min(2 * readAhead_, kLongestRun) : kFirstRun;
    std::size_t count =
        std::min(std::max(wanted, readAhead_), std::max<std::size_t>(pages_ / 4, 1));
    if (page < failedPage_) {
        count = std::min<std::uint64_t>(count, failedPage_ - page);
    }
    for (std::size_t i = 1; i < count; ++i) {
        if (Find(page + i) != kNone) {
            count = i;
        }
    }
    if (head_ + count > pages_) {
        head_ = 0;
    }
    std::fill_n(slotPage_.begin() + static_cast<std::ptrdiff_t>(head_), count, kNoPage);
    lastPage_ = kNoPage;

    const std::span<std::uint8_t> into(ring_.data() + head_ * kPageSize, count * kPageSize);
    const ReadResult got = source_->ReadAt(page * kPageSize, into);
    const std::size_t bytes = std::min(got.count, into.size());
    std::size_t kept = bytes / kPageSize;
    if (bytes < into.size() && got.error) {
        // A failure past the pages the read needs, where the fetch only read
        // ahead, is no failure yet: the read that needs those bytes meets it.
        if (!error_ && kept < wanted) {
            error_ = got.error;
        }
        // The page the failure cut into is dropped: the rest of it is not
        // the end of the image.
        failedPage_ = std::min(failedPage_, page + kept);
    } else if (bytes < into.size()) {
        end_ = page * kPageSize + bytes;
        kept += bytes % kPageSize != 0 ? 1 : 0;
    }
    for (std::size_t i = 0; i < kept; ++i) {
        slotPage_[head_ + i] = page + i;
        pageSlot_[(page + i) % kMapSize] = static_cast<std::uint16_t>(head_ + i);
    }
    head_ += kept;
    nextPage_ = page + kept;
    return kept > 0;
}

std::size_t ImageCache::ReadUncached(std::int64_t pos, std::span<std::uint8_t> dest) {
    const ReadResult got =
        pos < 0 ? ReadResult{} : source_->ReadAt(static_cast<std::uint64_t>(pos), dest);
    if (got.error && !error_) {
        error_ = got.error;
    }
    return std::min(got.count, dest.size());
}

std::size_t ImageCache::ReadThrough(std::int64_t pos, std::span<std::uint8_t> dest) {
    if (ring_.data() == nullptr || pos < 0) {
        return 0;
    }
    auto at = static_cast<std::uint64_t>(pos);
    std::size_t done = 0;
    while (done < dest.size() && at < end_) {
        const std::uint64_t page = at / kPageSize;
        const std::size_t offset = at % kPageSize;
        std::size_t slot = Find(page);
        if (slot == kNone) {
            if (!Fetch(page, (offset + dest.size() - done + kPageSize - 1) / kPageSize)) {
                break;
            }
            slot = Find(page);
        }
        lastPage_ = page;
        lastData_ = ring_.data() + slot * kPageSize;
        lastLength_ = Length(page);
        if (offset >= lastLength_) {
            break;
        }
        const std::size_t take = std::min(dest.size() - done, lastLength_ - offset);
        std::memcpy(dest.data() + done, lastData_ + offset, take);
        done += take;
        at += take;
    }
    return done;
}

}  // namespace vorbex

#include "track_memo.h"

#include <algorithm>

#include "d88_format.h"

namespace vorbex {

TrackMemo::Walk::Walk(TrackMemo& memo, ImageCache& cache, std::int64_t start)
    : memo_(memo), cache_(cache), track_(memo.last_) {
    if (memo.tracks_[track_].start != start) {
        const auto found = std::find_if(memo.tracks_.begin(), memo.tracks_.end(),
                                        [&](const Track& t) { return t.start == start; });
        if (found != memo.tracks_.end()) {
            track_ = static_cast<std::size_t>(found - memo.tracks_.begin());
        } else {
            track_ = memo.next_;
            memo.next_ = (memo.next_ + 1) % kMaxTracks;
            memo.tracks_[track_] = Track{start, 0, {}, {}};
        }
        memo.last_ = track_;
    }
}

const TrackMemo::Header* TrackMemo::Walk::Next() {
    Track& track = memo_.tracks_[track_];
    ++i_;
    if (i_ < track.count) {
        return last_ = &track.headers[static_cast<std::size_t>(i_)];
    }
    // The header follows the data of the one before.
    const std::int64_t pos = last_ == nullptr ? track.start : last_->dataPos + last_->dataSize;
    std::uint8_t bytes[d88::kSectorHeaderSize];
    if (cache_.ReadAt(pos, bytes) < sizeof bytes) {
        return last_ = nullptr;
    }
    Header* header = &past_;
    if (i_ == track.count && track.count < kMaxHeaders) {
        header = &track.headers[static_cast<std::size_t>(track.count++)];
    }
    *header = Header{{bytes[0], bytes[1], bytes[2], bytes[3]},
                     d88::Le16(bytes + d88::kSectorCountOffset),
                     d88::Le16(bytes + d88::kDataSizeOffset),
                     pos + d88::kSectorHeaderSize};
    return last_ = header;
}

std::size_t TrackMemo::Walk::Data(std::span<std::uint8_t> dest) {
    Track& track = memo_.tracks_[track_];
    // A whole sector, or most of it, is read again from the cache with the
    // track around it; only a small part of a large one is kept.
    if (last_ == &past_ || dest.size() > kMaxKept || 2 * dest.size() > last_->dataSize) {
        return cache_.ReadAt(last_->dataPos, dest);
    }
    const auto at = static_cast<std::size_t>(i_);
    std::uint8_t* kept = memo_.kept_.get() + (track_ * kMaxHeaders + at) * kMaxKept;
    if (track.keptLength[at] >= dest.size()) {
        std::copy_n(kept, dest.size(), dest.begin());
        return dest.size();
    }
    const std::size_t got = cache_.ReadAt(last_->dataPos, dest);
    if (got == dest.size()) {
        std::copy_n(dest.begin(), got, kept);
        track.keptLength[at] = static_cast<std::uint16_t>(got);
    }
    return got;
}

}  // namespace vorbex

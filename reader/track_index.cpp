#include "track_index.h"

#include <algorithm>

namespace vorbex {

void TrackIndex::Clear() {
    blocks_.clear();
    trackCount_ = 0;
    where_.clear();
    lastStart_ = -1;
    kept_.clear();
    keptData_ = 0;
}

TrackIndex::Track& TrackIndex::Find(std::int64_t start) {
    if (start != lastStart_) {
        auto found = where_.find(start);
        if (found == where_.end()) {
            if (trackCount_ >= kMaxTracks) {
                Clear();
            }
            if (trackCount_ % kTracksABlock == 0) {
                blocks_.push_back(std::make_unique<Block>());
            }
            found = where_.emplace(start, trackCount_++).first;
        }
        lastStart_ = start;
        last_ = found->second;
    }
    return (*blocks_[last_ / kTracksABlock])[last_ % kTracksABlock];
}

const TrackIndex::SectorHeader* TrackIndex::Walk::ReadNext() {
    std::uint8_t bytes[kHeaderSize];
    if (cache_.ReadAt(pos_, bytes) < kHeaderSize) {
        return nullptr;
    }
    SectorHeader* header = &past_;
    if (i_ == track_.count && track_.count < kMaxHeaders) {
        header = &track_.headers[static_cast<std::size_t>(track_.count++)];
    }
    *header = {bytes[0],
               bytes[1],
               bytes[2],
               bytes[3],
               static_cast<std::uint16_t>(bytes[4] | bytes[5] << 8),
               static_cast<std::uint16_t>(bytes[14] | bytes[15] << 8)};
    return header;
}

std::size_t TrackIndex::Data(ReadCache& cache, std::int64_t start, int i, std::int64_t pos,
                             std::size_t dataSize, std::span<std::uint8_t> dest) {
    // Only a small part of a large sector is kept: a whole sector, or most
    // of it, is read again from the cache with the track around it.
    const bool keep = 2 * dest.size() <= dataSize && i < 256;
    const std::uint64_t key = static_cast<std::uint64_t>(start) << 8 | static_cast<unsigned>(i);
    if (keep && !kept_.empty()) {
        const auto found = kept_.find(key);
        if (found != kept_.end() && found->second.size() >= dest.size()) {
            std::copy_n(found->second.begin(), dest.size(), dest.begin());
            return dest.size();
        }
    }
    const std::size_t got = cache.ReadAt(pos, dest);
    if (keep && got == dest.size() && keptData_ + got <= kMaxKeptData) {
        std::vector<std::uint8_t>& kept = kept_[key];
        keptData_ = keptData_ - kept.size() + got;
        kept.assign(dest.begin(), dest.end());
    }
    return got;
}

}  // namespace vorbex

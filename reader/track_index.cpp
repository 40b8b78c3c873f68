#include "track_index.h"

#include <algorithm>

namespace vorbex {

void TrackIndex::Clear() {
    tracks_.clear();
    lastStart_ = -1;
    last_ = nullptr;
    keptData_ = 0;
}

TrackIndex::Track& TrackIndex::Find(std::int64_t start) {
    if (start == lastStart_) {
        return *last_;
    }
    auto found = tracks_.find(start);
    if (found == tracks_.end()) {
        if (tracks_.size() >= kMaxTracks) {
            Clear();
        }
        found = tracks_.emplace(start, std::make_unique<Track>()).first;
    }
    lastStart_ = start;
    last_ = found->second.get();
    return *last_;
}

bool TrackIndex::Header(ReadCache& cache, std::int64_t start, int i, std::int64_t pos,
                        std::span<std::uint8_t, kHeaderSize> header) {
    Track& track = Find(start);
    if (i < track.count) {
        const auto& kept = track.headers[static_cast<std::size_t>(i)];
        std::copy(kept.begin(), kept.end(), header.begin());
        return true;
    }
    if (cache.ReadAt(pos, header) < header.size()) {
        return false;
    }
    if (i == track.count && track.count < kMaxHeaders) {
        std::copy(header.begin(), header.end(),
                  track.headers[static_cast<std::size_t>(track.count++)].begin());
    }
    return true;
}

std::size_t TrackIndex::Data(ReadCache& cache, std::int64_t start, int i, std::int64_t pos,
                             std::size_t dataSize, std::span<std::uint8_t> dest) {
    std::vector<std::uint8_t>* kept = nullptr;
    if (i < kMaxHeaders) {
        kept = &Find(start).kept[static_cast<std::size_t>(i)];
        if (kept->size() >= dest.size()) {
            std::copy_n(kept->begin(), dest.size(), dest.begin());
            return dest.size();
        }
    }
    const std::size_t got = cache.ReadAt(pos, dest);
    // Only a small part of a large sector is kept: a whole sector, or most
    // of it, is read again from the cache with the track around it.
    if (kept != nullptr && got == dest.size() && 2 * got <= dataSize &&
        keptData_ - kept->size() + got <= kMaxKeptData) {
        keptData_ = keptData_ - kept->size() + got;
        kept->assign(dest.begin(), dest.end());
    }
    return got;
}

}  // namespace vorbex

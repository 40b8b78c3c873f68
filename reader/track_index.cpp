#include "track_index.h"

#include <algorithm>
#include <cstring>

namespace vorbex {

void TrackIndex::Clear() {
    starts_.fill(-1);
    last_ = 0;
    next_ = 0;
    kept_.clear();
    keptData_ = 0;
}

std::uint64_t TrackIndex::Id(int c, int h, int r, int n) {
    if (((c | h | r | n) & ~0xFF) != 0) {
        return UINT64_MAX;
    }
    return static_cast<std::uint32_t>(c | h << 8 | r << 16) | static_cast<std::uint32_t>(n) << 24;
}

void TrackIndex::FindAnother(std::int64_t start) {
    for (std::size_t i = 0; i < kMaxTracks; ++i) {
        if (starts_[i] == start) {
            last_ = i;
            return;
        }
    }
    last_ = next_;
    next_ = (next_ + 1) % kMaxTracks;
    starts_[last_] = start;
    tracks_[last_].count = 0;
}

const TrackIndex::Entry* TrackIndex::Walk::ReadNext() {
    // The header follows the data of the one before.
    const std::int64_t pos = last_ == nullptr ? start_ : last_->dataPos + last_->dataSize;
    std::uint8_t bytes[kHeaderSize];
    if (cache_.ReadAt(pos, bytes) < kHeaderSize) {
        return nullptr;
    }
    Entry* entry = &past_;
    if (i_ == track_.count && track_.count < kMaxHeaders) {
        entry = &track_.entries[static_cast<std::size_t>(track_.count++)];
    }
    entry->id = static_cast<std::uint32_t>(Id(bytes[0], bytes[1], bytes[2], bytes[3]));
    entry->sectorCount = static_cast<std::uint16_t>(bytes[4] | bytes[5] << 8);
    entry->dataSize = static_cast<std::uint16_t>(bytes[14] | bytes[15] << 8);
    entry->dataPos = pos + static_cast<std::int64_t>(kHeaderSize);
    return entry;
}

std::size_t TrackIndex::KeptData(ReadCache& cache, std::int64_t start, int i, const Entry& entry,
                                 std::span<std::uint8_t> dest) {
    const std::int64_t pos = entry.dataPos;
    // Only a small part of a large sector is kept: a whole sector, or most
    // of it, is read again from the cache with the track around it.
    const bool keep = 2 * dest.size() <= entry.dataSize && i < 256;
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

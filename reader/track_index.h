// The tracks the reader has walked last, by position.
//
// Listing a track's IDs walks its headers, and so does every sector read on
// it; several track-table entries, even of different disks, may point at the
// same track. Keeping the headers of the last 64 tracks makes every walk of
// one of them after the first cost no reads. Sectors whose data is much
// larger than the part that is read (a track spread thin over the image)
// also keep that part, whichever track they are on: reading it again could
// cost a read for each sector, while the rest of the track is of no use.
#ifndef VORBEX_READER_TRACK_INDEX_H
#define VORBEX_READER_TRACK_INDEX_H

#include <array>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "read_cache.h"

namespace vorbex {

class TrackIndex {
  public:
    static constexpr std::size_t kHeaderSize = 16;
    // The `id` of an Entry for C, H, R and N; never equal to one when any of
    // them is not a byte.
    static std::uint64_t Id(int c, int h, int r, int n);
    // Headers kept a track: as many as a listing of IDs asks for. A walk
    // past them reads the further headers each time.
    static constexpr int kMaxHeaders = 16;
    // Tracks kept: the last ones walked. A track visited again after this
    // many others is walked again through the cache.
    static constexpr std::size_t kMaxTracks = 64;
    // Bytes of sector data kept in all.
    static constexpr std::size_t kMaxKeptData = std::size_t{5} << 19;  // 2.5 MiB

    // A sector header as the reader looks at it: the ID (C, H, R and N from
    // the low byte of `id` up), the sector count and the data size, and where
    // the data begins in the image.
    struct Entry {
        std::uint32_t id;
        std::uint16_t sectorCount;
        std::uint16_t dataSize;
        std::int64_t dataPos;
    };

    struct Track {
        int count = 0;  // headers kept
        std::array<Entry, kMaxHeaders> entries;
    };

    // A walk over the sector headers of the track whose first header is at
    // `start`, from the index as far as it goes, then from the cache.
    class Walk {
      public:
        Walk(TrackIndex& index, ReadCache& cache, std::int64_t start)
            : cache_(cache), track_(index.Find(start)), start_(start) {}

        // The next header, or nullptr when it is cut short.
        const Entry* Next() {
            ++i_;
            last_ = i_ < track_.count ? &track_.entries[static_cast<std::size_t>(i_)] : ReadNext();
            return last_;
        }
        // Which header Next gave last: 0 for the first.
        int Index() const { return i_; }

      private:
        const Entry* ReadNext();

        ReadCache& cache_;
        Track& track_;
        std::int64_t start_;
        int i_ = -1;
        const Entry* last_ = nullptr;
        Entry past_{};  // a header past the kept ones
    };

    // Reads the first `dest.size()` of the data bytes of `entry`, sector `i`
    // of the track at `start`. Returns how many it read.
    std::size_t Data(ReadCache& cache, std::int64_t start, int i, const Entry& entry,
                     std::span<std::uint8_t> dest) {
        if (kept_.empty() && 2 * dest.size() > entry.dataSize) {
            return cache.ReadAt(entry.dataPos, dest);
        }
        return KeptData(cache, start, i, entry, dest);
    }

    TrackIndex() { Clear(); }

    // Forgets every track: the image they came from is gone.
    void Clear();

  private:
    Track& Find(std::int64_t start) {
        if (start != starts_[last_]) {
            FindAnother(start);
        }
        return tracks_[last_];
    }
    void FindAnother(std::int64_t start);
    std::size_t KeptData(ReadCache& cache, std::int64_t start, int i, const Entry& entry,
                         std::span<std::uint8_t> dest);

    std::array<std::int64_t, kMaxTracks> starts_;  // each track's first header; -1 for none
    std::array<Track, kMaxTracks> tracks_;
    std::size_t last_ = 0;  // the track walked last
    std::size_t next_ = 0;  // the one a new track takes, round and round
    // Kept data by track start and sector, the sector in the low byte.
    std::unordered_map<std::uint64_t, std::vector<std::uint8_t>> kept_;
    std::size_t keptData_ = 0;
};

}  // namespace vorbex

#endif  // VORBEX_READER_TRACK_INDEX_H

// The tracks the reader has walked, by position.
//
// Listing a track's IDs walks its headers, and so does every sector read on
// it; several track-table entries, even of different disks, may point at the
// same track. Keeping each track's headers makes every walk after the first
// cost no reads. Sectors whose data is much larger than the part that is
// read (a track spread thin over the image) also keep that part: reading it
// again could cost a read for each sector, while the rest of the track is of
// no use.
#ifndef VORBEX_READER_TRACK_INDEX_H
#define VORBEX_READER_TRACK_INDEX_H

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

#include "read_cache.h"

namespace vorbex {

class TrackIndex {
  public:
    static constexpr std::size_t kHeaderSize = 16;
    // Walks go at most this far through the index; further headers are
    // read each time.
    static constexpr int kMaxHeaders = 64;
    // Tracks kept; past that the index starts afresh.
    static constexpr std::size_t kMaxTracks = 1024;
    // Bytes of sector data kept in all.
    static constexpr std::size_t kMaxKeptData = std::size_t{5} << 19;  // 2.5 MiB

    // Reads sector header `i`, at `pos`, of the track whose first header is
    // at `start`; false when it is cut short. `pos` must be where the
    // headers before it place it.
    bool Header(ReadCache& cache, std::int64_t start, int i, std::int64_t pos,
                std::span<std::uint8_t, kHeaderSize> header);

    // Reads the first `dest.size()` of the `dataSize` data bytes of sector
    // `i` of that track, which begin at `pos`. Returns how many it read.
    std::size_t Data(ReadCache& cache, std::int64_t start, int i, std::int64_t pos,
                     std::size_t dataSize, std::span<std::uint8_t> dest);

    // Forgets every track: the image they came from is gone.
    void Clear();

  private:
    struct Track {
        int count = 0;
        std::array<std::array<std::uint8_t, kHeaderSize>, kMaxHeaders> headers;
        std::array<std::vector<std::uint8_t>, kMaxHeaders> kept;
    };

    Track& Find(std::int64_t start);

    std::unordered_map<std::int64_t, std::unique_ptr<Track>> tracks_;
    std::int64_t lastStart_ = -1;
    Track* last_ = nullptr;
    std::size_t keptData_ = 0;
};

}  // namespace vorbex

#endif  // VORBEX_READER_TRACK_INDEX_H

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
    // Headers kept a track: as many as a listing of IDs asks for. A walk
    // past them reads the further headers each time.
    static constexpr int kMaxHeaders = 16;
    // Tracks kept, more than the two disks a command loads have; past that
    // the index starts afresh.
    static constexpr std::size_t kMaxTracks = 1024;
    // Bytes of sector data kept in all.
    static constexpr std::size_t kMaxKeptData = std::size_t{5} << 19;  // 2.5 MiB

    // The fields of a sector header the reader looks at.
    struct SectorHeader {
        std::uint8_t c, h, r, n;
        std::uint16_t sectorCount;
        std::uint16_t dataSize;
    };

    struct Track {
        int count = 0;  // headers kept
        std::array<SectorHeader, kMaxHeaders> headers;
    };

    // A walk over the sector headers of the track whose first header is at
    // `start`, from the index as far as it goes, then from the cache.
    class Walk {
      public:
        Walk(TrackIndex& index, ReadCache& cache, std::int64_t start)
            : cache_(cache), track_(index.Find(start)), pos_(start) {}

        // The next header, or nullptr when it is cut short.
        const SectorHeader* Next() {
            ++i_;
            const SectorHeader* header =
                i_ < track_.count ? &track_.headers[static_cast<std::size_t>(i_)] : ReadNext();
            if (header != nullptr) {
                dataPos_ = pos_ + static_cast<std::int64_t>(kHeaderSize);
                pos_ = dataPos_ + header->dataSize;
            }
            return header;
        }
        // Which header Next gave last (0 for the first), and where its data
        // begins.
        int Index() const { return i_; }
        std::int64_t DataPosition() const { return dataPos_; }

      private:
        const SectorHeader* ReadNext();

        ReadCache& cache_;
        Track& track_;
        std::int64_t pos_;
        std::int64_t dataPos_ = 0;
        int i_ = -1;
        SectorHeader past_{};  // a header past the kept ones
    };

    // Reads the first `dest.size()` of the `dataSize` data bytes of sector
    // `i` of the track at `start`, which begin at `pos`. Returns how many it
    // read.
    std::size_t Data(ReadCache& cache, std::int64_t start, int i, std::int64_t pos,
                     std::size_t dataSize, std::span<std::uint8_t> dest);

    // Forgets every track: the image they came from is gone.
    void Clear();

  private:
    Track& Find(std::int64_t start);

    // Tracks in blocks that never move, since walks hold on to them.
    static constexpr std::size_t kTracksABlock = 32;
    using Block = std::array<Track, kTracksABlock>;
    std::vector<std::unique_ptr<Block>> blocks_;
    std::size_t trackCount_ = 0;
    std::unordered_map<std::int64_t, std::size_t> where_;  // track start -> tracks_
    std::int64_t lastStart_ = -1;
    std::size_t last_ = 0;
    // Kept data by track start and sector, the sector in the low byte.
    std::unordered_map<std::uint64_t, std::vector<std::uint8_t>> kept_;
    std::size_t keptData_ = 0;
};

}  // namespace vorbex

#endif  // VORBEX_READER_TRACK_INDEX_H

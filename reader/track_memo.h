// The sector headers of the tracks walked last, by where each track starts.
//
// Listing a track's IDs walks its headers, and so does every sector read on
// it; several track-table entries may point at the same track. Keeping the
// headers of the last 64 tracks makes every walk after the first cost no
// read. Of a sector much larger than the part that is read (a track spread
// thin over the image) that part is kept too: the ring would have to fetch
// it again for each visit.
#ifndef VORBEX_READER_TRACK_MEMO_H
#define VORBEX_READER_TRACK_MEMO_H

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "image_cache.h"
#include "vorbex/d88_reader.h"

namespace vorbex {

class TrackMemo {
  public:
    static constexpr int kMaxHeaders = 16;  // as many as an ID listing takes
    static constexpr std::size_t kMaxTracks = 64;
    static constexpr std::size_t kMaxKept = 1024;  // data bytes kept of a sector

    // A sector header as the reader looks at it, and where its data begins
    // in the image.
    struct Header {
        SectorId id;
        std::uint16_t sectorCount;
        std::uint16_t dataSize;
        std::int64_t dataPos;
    };

    // The kept bytes are not cleared: only those kept are read.
    TrackMemo()
        : kept_(
              std::make_unique_for_overwrite<std::uint8_t[]>(kMaxTracks * kMaxHeaders * kMaxKept)) {
    }

    // A walk over the sector headers of the track whose first header is at
    // `start`: from the memo as far as it goes, then from the cache.
    class Walk {
      public:
        Walk(TrackMemo& memo, ImageCache& cache, std::int64_t start);
        // The next header, or nullptr where one is cut short.
        const Header* Next();
        // Copies the first dest.size() data bytes of the header Next gave
        // last; returns how many it could read.
        std::size_t Data(std::span<std::uint8_t> dest);

      private:
        TrackMemo& memo_;
        ImageCache& cache_;
        std::size_t track_;
        int i_ = -1;
        const Header* last_ = nullptr;
        Header past_{};  // a header past the ones kept
    };

  private:
    struct Track {
        std::int64_t start = -1;
        int count = 0;  // headers kept
        std::array<Header, kMaxHeaders> headers{};
        std::array<std::uint16_t, kMaxHeaders> keptLength{};
    };

    std::array<Track, kMaxTracks> tracks_;
    std::size_t last_ = 0;                  // the track walked last
    std::size_t next_ = 0;                  // the one a new track takes, round and round
    std::unique_ptr<std::uint8_t[]> kept_;  // kMaxKept bytes for each header of each track
};

}  // namespace vorbex

#endif  // VORBEX_READER_TRACK_MEMO_H

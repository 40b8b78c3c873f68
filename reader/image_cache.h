// The image's bytes by position, kept in a fixed ring of pages.
//
// The reader walks a track header by header, then reads each sector's data
// in sector-number order, and many track-table entries may point at the
// same track, so the same bytes are asked for again and again. The ring
// serves every read it can. A read that carries on where the last fetch
// ended fetches ahead, twice as far each time, so an image read in order
// costs a few large reads; a fetch stops short of a page the ring holds.
// The oldest pages make room for new ones. All memory is taken when the
// image is opened.
#ifndef VORBEX_READER_IMAGE_CACHE_H
#define VORBEX_READER_IMAGE_CACHE_H

#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <system_error>
#include <vector>

#include "image_source.h"
#include "page_memory.h"

namespace vorbex {

class ImageCache {
  public:
    static constexpr std::size_t kPageSize = 4096;
    static constexpr std::size_t kRingPages = 512;  // 2 MiB: one huge page

    // A ring of `ringPages` pages (1 to 65535) over `source`. When its memory
    // cannot be had, every read fails with not_enough_memory.
    ImageCache(std::unique_ptr<ImageSource> source, std::size_t ringPages);

    // Copies the bytes from image position `pos` on into `dest`; returns
    // how many: fewer at the end of the image or on a failure.
    std::size_t ReadAt(std::int64_t pos, std::span<std::uint8_t> dest) {
        // Most reads fall in the page the last one ended in.
        const auto at = static_cast<std::uint64_t>(pos);
        if (pos >= 0 && !dest.empty() && at / kPageSize == lastPage_ &&
            at % kPageSize + dest.size() <= lastLength_) {
            std::memcpy(dest.data(), lastData_ + at % kPageSize, dest.size());
            return dest.size();
        }
        return ReadThrough(pos, dest);
    }

    // Reads like ReadAt, straight from the image past the ring: for the lone
    // disk headers, which would only push out pages the tracks need.
    std::size_t ReadUncached(std::int64_t pos, std::span<std::uint8_t> dest);

    // The first failed read (not the end of the image); clear when none.
    std::error_code Error() const { return error_; }
    bool FailedInCopy() const { return source_->FailedInCopy(); }

  private:
    static constexpr std::size_t kNone = SIZE_MAX;

    std::size_t ReadThrough(std::int64_t pos, std::span<std::uint8_t> dest);
    // The slot holding `page`, or kNone.
    std::size_t Find(std::uint64_t page) const;
    // The bytes of `page` that are the image's: all but at its end.
    std::size_t Length(std::uint64_t page) const;
    // Fetches `page` and as many after it as read-ahead asks, at least
    // `wanted` in all. False when not even `page` came.
    bool Fetch(std::uint64_t page, std::size_t wanted);

    std::unique_ptr<ImageSource> source_;
    std::size_t pages_;
    PageMemory ring_;
    std::vector<std::uint64_t> slotPage_;  // the page each slot holds, or none
    // The slot of a page, by the page's low bits; a slot whose page has
    // changed since does not count.
    std::vector<std::uint16_t> pageSlot_;
    std::size_t head_ = 0;                 // the slot the next fetch fills
    std::uint64_t nextPage_ = 0;           // the page after the last fetch
    std::size_t readAhead_;                // pages the next fetch takes
    std::uint64_t lastPage_ = UINT64_MAX;  // the page the last read ended in
    const std::uint8_t* lastData_ = nullptr;
    std::size_t lastLength_ = 0;
    // The lowest page a fetch failed at: read-ahead stops short of it, and a
    // read that needs it does not ask again (on a failing disk every try may
    // take seconds).
    std::uint64_t failedPage_ = UINT64_MAX;
    std::uint64_t end_ = UINT64_MAX;  // the end of the image, once a fetch has met it
    std::error_code error_;
};

}  // namespace vorbex

#endif  // VORBEX_READER_IMAGE_CACHE_H

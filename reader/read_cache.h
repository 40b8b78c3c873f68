// What the reader has read of an image, kept by position.
//
// The reader walks a track header by header and then reads each sector's
// data in sector-number order, and many track-table entries may point at the
// same track, so the same bytes are asked for again and again. This keeps
// the pages of the image it has fetched in a ring and serves every read it
// can from there. A read that carries on where the last fetch ended fetches
// ahead, more the longer the run goes on, so an image read in order costs
// few, large reads; a jump elsewhere fetches only the pages it needs.
//
// The ring starts at a quarter of its size and doubles whenever it has to
// fetch a page again that it had fetched before: an image read once, in
// order, touches no more memory than that quarter, and one whose reads come
// back to the same places gets room for them.
#ifndef VORBEX_READER_READ_CACHE_H
#define VORBEX_READER_READ_CACHE_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <system_error>
#include <vector>

#include "page_memory.h"
#include "vorbex/image_source.h"

namespace vorbex {

class ReadCache {
  public:
    static constexpr std::size_t kPageSize = 4096;

    // A cache of at most `pages` pages (at least one) over `source`. When
    // its memory cannot be had, every read fails with not_enough_memory.
    ReadCache(std::unique_ptr<ImageSource> source, std::size_t pages);

    // Copies the bytes at image position `pos` on into `dest` and returns how
    // many it copied: fewer at the end of the image, on a read failure, or
    // for a position that cannot be an image position.
    std::size_t ReadAt(std::int64_t pos, std::span<std::uint8_t> dest) {
        if (dest.empty()) {
            return 0;
        }
        // Most reads fall in the page the last one ended in.
        const auto at = static_cast<std::uint64_t>(pos);
        if (pos >= 0 && at / kPageSize == lastPage_ &&
            at % kPageSize + dest.size() <= lastLength_) {
            std::memcpy(dest.data(), lastData_ + at % kPageSize, dest.size());
            return dest.size();
        }
        return ReadThrough(pos, dest);
    }

    // Reads like ReadAt but straight from the image, keeping nothing: for
    // the lone reads of disk headers, which the ring would only have to
    // fetch again when the tracks around them are read.
    std::size_t ReadPast(std::int64_t pos, std::span<std::uint8_t> dest);

    // The first failure of a read (not the end of the image); clear when
    // there was none.
    std::error_code Error() const { return error_; }

  private:
    static constexpr std::uint32_t kNoSlot = UINT32_MAX;

    std::size_t ReadThrough(std::int64_t pos, std::span<std::uint8_t> dest);
    std::uint32_t Find(std::uint64_t page);
    // The bytes page `page` holds: all of them but at the end of the image.
    std::size_t Length(std::uint64_t page) const;
    // Makes the page table fit `active_` slots.
    void Rebuild();
    // Fetches page `page` and, as far as they are wanted, the pages after
    // it; `wanted` counts the pages the read needs. False when not even
    // `page` came.
    bool Fetch(std::uint64_t page, std::size_t wanted);
    // Notes that `page` was fetched; true when it had been before.
    bool FetchedBefore(std::uint64_t page);
    // Makes FetchedBefore remember, from the pages the ring holds on.
    void StartRemembering();
    // The page table: which slot holds a page, by open addressing.
    std::size_t Home(std::uint64_t page) const;
    void Map(std::uint64_t page, std::uint32_t slot);
    void Unmap(std::uint64_t page);

    std::unique_ptr<ImageSource> source_;
    std::size_t pages_;
    std::size_t active_;  // the slots the ring goes round now
    PageMemory memory_;
    std::vector<std::uint64_t> slotPage_;   // the page each active slot holds
    std::vector<std::uint64_t> tablePage_;  // a page, or none
    std::vector<std::uint32_t> tableSlot_;  // the slot holding it
    // One bit a page of the image's first 4 GiB, fetched before; made when
    // the ring first drops a page.
    std::unique_ptr<PageMemory> fetched_;
    bool remembering_ = false;
    std::size_t refetched_ = 0;            // pages fetched again since the ring last grew
    std::size_t head_ = 0;                 // the slot the next fetch fills
    std::uint64_t nextPage_ = 0;           // the page after the last fetch
    std::size_t readAhead_;                // pages a fetch takes next
    std::uint64_t lastPage_ = UINT64_MAX;  // the page of the last hit
    std::uint32_t lastSlot_ = kNoSlot;
    const std::uint8_t* lastData_ = nullptr;  // its bytes
    std::size_t lastLength_ = 0;
    // The lowest page a fetch failed at, which reading ahead keeps clear of.
    std::uint64_t failedPage_ = UINT64_MAX;
    // The end of the image once a fetch has reached it.
    std::uint64_t end_ = UINT64_MAX;
    std::error_code error_;
};

}  // namespace vorbex

#endif  // VORBEX_READER_READ_CACHE_H

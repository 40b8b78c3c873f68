#include "read_cache.h"

#include <algorithm>
#include <cstring>

namespace vorbex {

namespace {

constexpr std::uint64_t kNoPage = UINT64_MAX;
// Pages the first fetch of a run takes (64 KiB), and the most any takes
// (1 MiB): a run that goes on doubles its fetches up to that, or up to a
// quarter of the ring, so that a run never pushes out what the ring took
// just before it.
constexpr std::size_t kFirstRun = 16;
constexpr std::size_t kLongestRun = 256;
// Pages whose fetches are remembered: those of the first 4 GiB.
constexpr std::uint64_t kRememberedPages = std::uint64_t{1} << 20;

}  // namespace

ReadCache::ReadCache(std::unique_ptr<ImageSource> source, std::size_t pages)
    : source_(std::move(source)),
      pages_(std::max<std::size_t>(pages, 1)),
      active_(std::max<std::size_t>(pages_ / 4, 1)),
      memory_(pages_ * kPageSize),
      readAhead_(kFirstRun) {
    if (memory_.data() == nullptr) {
        error_ = std::make_error_code(std::errc::not_enough_memory);
        return;
    }
    Rebuild();
}

void ReadCache::Rebuild() {
    slotPage_.resize(active_, kNoPage);
    // At most half full, so that probes stay short.
    std::size_t table = 1;
    while (table < 2 * active_) {
        table *= 2;
    }
    tablePage_.assign(table, kNoPage);
    tableSlot_.assign(table, 0);
    for (std::size_t slot = 0; slot < slotPage_.size(); ++slot) {
        if (slotPage_[slot] != kNoPage) {
            Map(slotPage_[slot], static_cast<std::uint32_t>(slot));
        }
    }
}

std::size_t ReadCache::Length(std::uint64_t page) const {
    const std::uint64_t start = page * kPageSize;
    if (end_ == UINT64_MAX) {
        return kPageSize;
    }
    // A page held from before the image was found shorter reads as cut.
    return end_ > start ? static_cast<std::size_t>(std::min<std::uint64_t>(end_ - start, kPageSize))
                        : 0;
}

std::size_t ReadCache::Home(std::uint64_t page) const {
    return static_cast<std::size_t>((page * 0x9E3779B97F4A7C15u) >> 20) & (tablePage_.size() - 1);
}

void ReadCache::Map(std::uint64_t page, std::uint32_t slot) {
    std::size_t at = Home(page);
    while (tablePage_[at] != kNoPage && tablePage_[at] != page) {
        at = (at + 1) & (tablePage_.size() - 1);
    }
    tablePage_[at] = page;
    tableSlot_[at] = slot;
}

void ReadCache::Unmap(std::uint64_t page) {
    const std::size_t mask = tablePage_.size() - 1;
    std::size_t hole = Home(page);
    while (tablePage_[hole] != page) {
        if (tablePage_[hole] == kNoPage) {
            return;
        }
        hole = (hole + 1) & mask;
    }
    // Moves back every entry after the hole that would no longer be found
    // past it, so that no probe stops short.
    for (std::size_t next = (hole + 1) & mask; tablePage_[next] != kNoPage;
         next = (next + 1) & mask) {
        const std::size_t home = Home(tablePage_[next]);
        const bool between =
            hole <= next ? (hole < home && home <= next) : (hole < home || home <= next);
        if (!between) {
            tablePage_[hole] = tablePage_[next];
            tableSlot_[hole] = tableSlot_[next];
            hole = next;
        }
    }
    tablePage_[hole] = kNoPage;
}

std::uint32_t ReadCache::Find(std::uint64_t page) {
    if (page == lastPage_) {
        return lastSlot_;
    }
    for (std::size_t at = Home(page); tablePage_[at] != kNoPage;
         at = (at + 1) & (tablePage_.size() - 1)) {
        if (tablePage_[at] == page) {
            lastPage_ = page;
            lastSlot_ = tableSlot_[at];
            lastData_ = memory_.data() + lastSlot_ * kPageSize;
            lastLength_ = Length(page);
            return lastSlot_;
        }
    }
    return kNoSlot;
}

void ReadCache::StartRemembering() {
    remembering_ = true;
    // Only the words of pages that are fetched are ever touched. Without this
    // memory the ring does not grow.
    fetched_ = std::make_unique<PageMemory>(kRememberedPages / 8);
    for (const std::uint64_t held : slotPage_) {
        if (held != kNoPage) {
            FetchedBefore(held);
        }
    }
}

bool ReadCache::FetchedBefore(std::uint64_t page) {
    if (!fetched_ || fetched_->data() == nullptr || page >= kRememberedPages) {
        return false;
    }
    std::uint8_t& word = fetched_->data()[page / 8];
    const auto bit = static_cast<std::uint8_t>(1u << (page % 8));
    const bool before = (word & bit) != 0;
    word = static_cast<std::uint8_t>(word | bit);
    return before;
}

bool ReadCache::Fetch(std::uint64_t page, std::size_t wanted) {
    // A page that failed when it was needed is not asked for again: on a
    // failing disk every attempt may take seconds.
    if (page == failedPage_ && error_) {
        return false;
    }
    const bool carriesOn = page >= nextPage_ && page - nextPage_ <= readAhead_;
    std::size_t count = std::max(wanted, readAhead_);
    if (carriesOn) {
        readAhead_ = std::clamp(readAhead_ * 2, kFirstRun, kLongestRun);
    }
    count = std::min(count, std::max<std::size_t>(active_ / 4, 1));
    // A fetch that only reads ahead stops short of a page where one failed.
    if (page < failedPage_ && failedPage_ - page < count) {
        count = std::max<std::size_t>(failedPage_ - page, 1);
    }
    // A page already held is not fetched again, nor is anything after it.
    for (std::size_t i = 1; i < count; ++i) {
        if (Find(page + i) != kNoSlot) {
            count = i;
            break;
        }
    }
    if (head_ + count > active_) {
        head_ = 0;
    }
    for (std::size_t slot = head_; slot < head_ + count; ++slot) {
        if (slotPage_[slot] != kNoPage) {
            // Until a page is dropped, none can be fetched again.
            if (!remembering_) {
                StartRemembering();
            }
            Unmap(slotPage_[slot]);
            slotPage_[slot] = kNoPage;
        }
    }
    lastPage_ = kNoPage;

    const std::span<std::uint8_t> into(memory_.data() + head_ * kPageSize, count * kPageSize);
    const ReadResult got = source_->ReadAt(page * kPageSize, into);
    const std::size_t bytes = std::min(got.count, into.size());
    std::size_t kept = bytes / kPageSize;
    if (bytes < into.size()) {
        if (got.error) {
            // A page cut short by a failure is dropped: the rest of it is
            // not the end of the image. A failure past the pages the read
            // needs, where the fetch only read ahead, is no failure yet: the
            // read that needs those bytes will meet it.
            if (!error_ && kept < wanted) {
                error_ = got.error;
            }
            failedPage_ = std::min(failedPage_, page + kept);
        } else {
            end_ = page * kPageSize + bytes;
            kept += bytes % kPageSize != 0 ? 1 : 0;
        }
    }
    for (std::size_t i = 0; i < kept; ++i) {
        if (FetchedBefore(page + i)) {
            ++refetched_;
        }
        const auto slot = static_cast<std::uint32_t>(head_ + i);
        slotPage_[slot] = page + i;
        Map(page + i, slot);
    }
    head_ += kept;
    nextPage_ = page + kept;
    if (refetched_ > 0 && active_ < pages_) {
        // The ring went round before a page was wanted again. The next
        // fetches take the new slots, and what the ring holds stays.
        head_ = active_;
        active_ = std::min(2 * active_, pages_);
        refetched_ = 0;
        Rebuild();
    }
    return kept > 0;
}

std::size_t ReadCache::ReadPast(std::int64_t pos, std::span<std::uint8_t> dest) {
    if (pos < 0) {
        return 0;
    }
    const ReadResult got = source_->ReadAt(static_cast<std::uint64_t>(pos), dest);
    if (got.count < dest.size() && got.error && !error_) {
        error_ = got.error;
    }
    return std::min(got.count, dest.size());
}

std::size_t ReadCache::ReadThrough(std::int64_t pos, std::span<std::uint8_t> dest) {
    if (memory_.data() == nullptr || pos < 0) {
        return 0;
    }
    auto at = static_cast<std::uint64_t>(pos);
    std::size_t done = 0;
    while (done < dest.size() && at < end_) {
        const std::uint64_t page = at / kPageSize;
        const std::size_t offset = at % kPageSize;
        std::uint32_t slot = Find(page);
        if (slot == kNoSlot) {
            if (!Fetch(page, (offset + dest.size() - done + kPageSize - 1) / kPageSize)) {
                break;
            }
            slot = Find(page);
        }
        const std::size_t length = Length(page);
        if (offset >= length) {
            break;
        }
        const std::size_t take = std::min(dest.size() - done, length - offset);
        std::memcpy(dest.data() + done, memory_.data() + slot * kPageSize + offset, take);
        done += take;
        at += take;
    }
    return done;
}

}  // namespace vorbex

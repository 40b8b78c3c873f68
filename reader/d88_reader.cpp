#include "vorbex/d88_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "d88_format.h"
#include "image_cache.h"
#include "track_memo.h"

namespace vorbex {

namespace {

// Lengths and results are ints: a larger destination is used up to this.
constexpr std::size_t kMaxLength = std::numeric_limits<int>::max();

int Length(std::span<std::uint8_t> dest) {
    return static_cast<int>(std::min(dest.size(), kMaxLength));
}

}  // namespace

D88Reader::D88Reader() = default;
D88Reader::~D88Reader() = default;

ReadError D88Reader::GetReadError() const {
    return cache ? ReadError{cache->Error(), cache->FailedInCopy()} : ReadError{};
}

bool D88Reader::Open(const PathChar* path) {
    if (path != nullptr) {
        return OpenSource(OpenImageFile(path, kStreamLimit), ImageCache::kRingPages);
    }
    cache.reset();
    diskCount = 0;
    mediaType = -1;
    return true;
}

bool D88Reader::OpenSource(std::unique_ptr<ImageSource> source, std::size_t ringPages) {
    cache.reset();
    if (!source) {
        return false;
    }
    cache = std::make_unique<ImageCache>(std::move(source), ringPages);
    trackMemo = std::make_unique<TrackMemo>();
    std::int64_t offset = 0;
    std::uint8_t header[d88::kDiskHeaderSize];
    for (diskCount = 0; diskCount < kMaxDisks; ++diskCount) {
        diskOffsets[diskCount] = static_cast<std::int32_t>(offset);
        if (cache->ReadUncached(offset, header) < sizeof header) {
            break;
        }
        // The size field is the step to the next disk; a step that leaves
        // the range of a file offset ends the walk.
        offset += d88::Le32(header + d88::kDiskSizeOffset);
        if (offset > std::numeric_limits<std::int32_t>::max()) {
            ++diskCount;
            break;
        }
    }
    return true;
}

bool D88Reader::SelectDisk(int index) {
    if (!cache) {
        return false;
    }
    diskOffset = -1;
    mediaType = -1;
    diskSize = 0;
    std::memset(diskName, 0, sizeof diskName);
    if (index < 0 || index >= diskCount) {
        return false;
    }
    // The header was read whole when the disk was counted; should the file
    // have shrunk since, the missing part reads as zeros (absent tracks).
    std::uint8_t header[d88::kDiskHeaderSize] = {};
    diskOffset = diskOffsets[index];
    cache->ReadUncached(diskOffset, header);
    // Offsets and sizes with bit 31 set are negative: no track lies there.
    for (int t = 0; t < kTrackCount; ++t) {
        trackOffsets[t] =
            static_cast<std::int32_t>(d88::Le32(header + d88::kTrackTableOffset + 4 * t));
    }
    mediaType = header[d88::kMediaTypeOffset];
    diskSize = static_cast<std::int32_t>(d88::Le32(header + d88::kDiskSizeOffset));
    // Of the 17-byte name field only the first 16 bytes are kept, up to the
    // first NUL; the last byte of diskName stays NUL.
    for (int i = 0; i < kDiskNameSize - 1 && header[i] != 0; ++i) {
        diskName[i] = static_cast<char>(header[i]);
    }
    return true;
}

std::int64_t D88Reader::TrackPosition(int track) const {
    if (!cache || track < 0 || track >= kTrackCount || diskOffset < 0) {
        return -1;
    }
    const std::int32_t offset = trackOffsets[track];
    // An offset equal to the disk size is still followed: it may be the
    // start of a track that is cut off.
    if (offset <= 0 || offset > diskSize) {
        return -1;
    }
    return static_cast<std::int64_t>(diskOffset) + offset;
}

int D88Reader::ReadTrackIds(int track, std::span<SectorId> ids) {
    const std::int64_t start = TrackPosition(track);
    if (start < 0) {
        return 0;
    }
    TrackMemo::Walk walk(*trackMemo, *cache, start);
    std::size_t stored = 0;
    // A sector count of 0 does not end the listing; only the room in `ids`
    // or the end of the file does.
    for (int i = 0; stored < ids.size(); ++i) {
        const TrackMemo::Header* header = walk.Next();
        if (header == nullptr) {
            break;
        }
        ids[stored++] = header->id;
        if (i == header->sectorCount - 1) {
            break;
        }
    }
    return static_cast<int>(stored * sizeof(SectorId));
}

int D88Reader::ReadSector(int track, int c, int h, int r, int n, std::span<std::uint8_t> dest) {
    const std::int64_t start = TrackPosition(track);
    if (start < 0) {
        return 0;
    }
    TrackMemo::Walk walk(*trackMemo, *cache, start);
    for (int i = 0;; ++i) {
        const TrackMemo::Header* header = walk.Next();
        if (header == nullptr || header->sectorCount == 0) {
            return 0;
        }
        // An argument outside 0 to 255 matches no byte.
        const SectorId& id = header->id;
        if (id.c == c && id.h == h && id.r == r && id.n == n) {
            const int count = std::min<int>(header->dataSize, Length(dest));
            const std::span<std::uint8_t> data = dest.first(static_cast<std::size_t>(count));
            // Data cut off by the end of the file still takes its room, so
            // later sectors keep their place; it reads as zeros.
            const std::size_t got = walk.Data(data);
            std::fill(data.begin() + static_cast<std::ptrdiff_t>(got), data.end(), std::uint8_t{0});
            return count;
        }
        if (i == header->sectorCount - 1) {
            return 0;
        }
    }
}

int D88Reader::ReadSectors(int track, int c, int h, int r, int n, std::span<std::uint8_t> dest) {
    // Size codes from 24 on do not fit an int: their step is the rest of dest.
    const int sectorLength = n >= 0 && n <= 23 ? 128 << n : -1;
    const int len = Length(dest);
    int total = 0;
    while (total < len) {
        const int step = sectorLength >= 0 ? std::min(sectorLength, len - total) : len - total;
        const std::span<std::uint8_t> part =
            dest.subspan(static_cast<std::size_t>(total), static_cast<std::size_t>(step));
        if (ReadSector(track, c, h, r, n, part) < step) {
            return total;
        }
        total += step;
        // A sector was found, so c, h and r are bytes and track is below
        // 164 here: none of the steps below can overflow.
        if (r == lastSector) {
            ++track;
            c += h == 0 ? 0 : 1;
            h = h == 0 ? 1 : 0;
            r = firstSector;
        } else {
            ++r;
        }
    }
    return total;
}

}  // namespace vorbex

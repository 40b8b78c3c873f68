#include "vorbex/d88_reader.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>

#include "image_sources.h"
#include "read_cache.h"
#include "track_index.h"

namespace vorbex {

namespace {

constexpr int kDiskSizeOffset = 0x1C;
constexpr int kMediaTypeOffset = 0x1B;
constexpr int kTrackTableOffset = 0x20;
constexpr std::int64_t kMaxOffset = std::numeric_limits<std::int32_t>::max();
// Lengths and results are ints: a larger destination is used up to this.
constexpr std::size_t kMaxLength = std::numeric_limits<int>::max();

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Stored offsets and sizes are signed 32-bit values: bit 31 makes them
// negative, which the callers treat as unreachable.
std::int32_t LeSigned32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(Le32(p));
}

// The byte length of size code n, or -1 when it does not fit an int.
int SizeCodeLength(int n) {
    if (n < 0 || n > 23) {
        return -1;
    }
    return 128 << n;
}

class ReaderErrorCategory : public std::error_category {
  public:
    const char* name() const noexcept override { return "vorbex reader"; }
    std::string message(int value) const override {
        if (static_cast<ReaderErrc>(value) == ReaderErrc::kStreamTooLong) {
            return "the stream is longer than the reader takes";
        }
        return "unknown reader error";
    }
};

}  // namespace

const std::error_category& ReaderCategory() {
    static const ReaderErrorCategory category;
    return category;
}

std::error_code make_error_code(ReaderErrc error) {
    return {static_cast<int>(error), ReaderCategory()};
}

D88Reader::D88Reader(std::size_t cacheSize)
    : cacheBytes(cacheSize), trackIndex(std::make_unique<TrackIndex>()) {}

D88Reader::~D88Reader() = default;

std::error_code D88Reader::GetReadError() const {
    return file ? file->Error() : std::error_code();
}

bool D88Reader::Open(const char* path) {
    if (path == nullptr) {
        file.reset();
        diskCount = 0;
        mediaType = -1;
        return true;
    }
    return OpenSource(OpenImageFile(path, kStreamLimit).source);
}

bool D88Reader::OpenSource(std::unique_ptr<ImageSource> source) {
    file.reset();
    trackIndex->Clear();
    if (!source) {
        return false;
    }
    auto opened = std::make_unique<ReadCache>(std::move(source), cacheBytes / ReadCache::kPageSize);
    std::int32_t offsets[kMaxDisks] = {};
    std::int64_t offset = 0;
    int count = 0;
    std::uint8_t header[kDiskHeaderSize];
    while (count < kMaxDisks) {
        offsets[count] = static_cast<std::int32_t>(offset);
        if (opened->ReadPast(offset, header) < sizeof header) {
            break;
        }
        ++count;
        // The size field is the step to the next disk; a step that leaves
        // the range of a file offset ends the walk.
        offset += Le32(header + kDiskSizeOffset);
        if (offset > kMaxOffset) {
            break;
        }
    }
    file = std::move(opened);
    diskCount = count;
    std::copy(std::begin(offsets), std::end(offsets), std::begin(diskOffsets));
    return true;
}

bool D88Reader::SelectDisk(int index) {
    if (!file) {
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
    std::uint8_t header[kDiskHeaderSize] = {};
    diskOffset = diskOffsets[index];
    file->ReadPast(diskOffset, header);

    for (int t = 0; t < kTrackCount; ++t) {
        trackOffsets[t] = LeSigned32(header + kTrackTableOffset + 4 * t);
    }
    mediaType = header[kMediaTypeOffset];
    diskSize = LeSigned32(header + kDiskSizeOffset);
    // The name field is 17 bytes, but only the first 16 are kept, up to
    // the first NUL; the last byte of diskName stays NUL.
    for (int i = 0; i < kDiskNameSize - 1 && header[i] != 0; ++i) {
        diskName[i] = static_cast<char>(header[i]);
    }
    return true;
}

std::int64_t D88Reader::TrackPosition(int track) const {
    if (!file || track < 0 || track >= kTrackCount || diskOffset < 0) {
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
    TrackIndex::Walk walk(*trackIndex, *file, start);
    std::size_t stored = 0;
    // A sector count of 0 does not end the listing; only the room in `ids`
    // or the end of the file does.
    for (int i = 0; stored < ids.size(); ++i) {
        const TrackIndex::Entry* header = walk.Next();
        if (header == nullptr) {
            break;
        }
        const std::uint32_t id = header->id;
        ids[stored++] =
            SectorId{static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(id >> 8),
                     static_cast<std::uint8_t>(id >> 16), static_cast<std::uint8_t>(id >> 24)};
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
    const int len = static_cast<int>(std::min<std::size_t>(dest.size(), kMaxLength));
    const std::uint64_t id = TrackIndex::Id(c, h, r, n);
    TrackIndex::Walk walk(*trackIndex, *file, start);
    for (int i = 0;; ++i) {
        const TrackIndex::Entry* header = walk.Next();
        if (header == nullptr) {
            return 0;
        }
        const int sectorCount = header->sectorCount;
        if (sectorCount == 0) {
            return 0;
        }
        if (header->id == id) {
            const int count = std::min(static_cast<int>(header->dataSize), len);
            const std::span<std::uint8_t> data = dest.first(static_cast<std::size_t>(count));
            const std::size_t got = trackIndex->Data(*file, start, i, *header, data);
            // Data cut off by the end of the file still takes its room, so
            // later sectors keep their place; it reads as zeros.
            std::fill(data.begin() + static_cast<std::ptrdiff_t>(got), data.end(), std::uint8_t{0});
            return count;
        }
        if (i == sectorCount - 1) {
            return 0;
        }
    }
}

int D88Reader::ReadSectors(int track, int c, int h, int r, int n, std::span<std::uint8_t> dest) {
    const int sectorLength = SizeCodeLength(n);
    const int len = static_cast<int>(std::min<std::size_t>(dest.size(), kMaxLength));
    int total = 0;
    while (total < len) {
        int step = len - total;
        if (sectorLength >= 0 && sectorLength < step) {
            step = sectorLength;
        }
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
            if (h == 0) {
                h = 1;
            } else {
                h = 0;
                ++c;
            }
            r = firstSector;
        } else {
            ++r;
        }
    }
    return total;
}

}  // namespace vorbex

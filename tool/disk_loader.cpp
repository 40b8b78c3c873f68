#include "disk_loader.h"

#include <algorithm>

namespace vorbex {

namespace {

// The bytes a sector of size code n asks for, lowered to the room left. Codes
// from 24 on do not fit an int and simply ask for all the room there is.
int SectorRequest(std::uint8_t n, std::size_t room) {
    const std::size_t wanted = n <= 23 ? std::size_t{128} << n : room;
    return static_cast<int>(std::min(wanted, room));
}

}  // namespace

void SortIdsBySectorNumber(std::uint8_t* ids, int count) {
    // A bubble sort: at most 16 entries, and it must be stable so that
    // sectors with equal numbers load in the order the image lists them.
    for (int pass = 0; pass < count - 1; ++pass) {
        for (int i = 0; i < count - 1; ++i) {
            std::uint8_t* left = ids + SectorId::kSize * i;
            std::uint8_t* right = left + SectorId::kSize;
            if (left[2] > right[2]) {
                std::swap_ranges(left, right, right);
            }
        }
    }
}

std::size_t LoadDisk(D88Reader& reader, int index, ImageBuffer& buffer) {
    std::uint8_t* const data = buffer.bytes.data();
    const std::size_t size = buffer.bytes.size();
    std::size_t written = 0;
    reader.SelectDisk(index);
    std::uint8_t ids[kMaxIdsPerTrack * SectorId::kSize];
    for (int track = kFirstLoadedTrack; track <= kLastLoadedTrack; ++track) {
        const int count = reader.ReadTrackIds(track, ids, sizeof ids) / SectorId::kSize;
        SortIdsBySectorNumber(ids, count);
        if (count > 0) {
            reader.SetSectorRange(ids[2], ids[SectorId::kSize * (count - 1) + 2]);
        }
        for (int i = 0; i < count; ++i) {
            const std::uint8_t* id = ids + SectorId::kSize * i;
            const int request = SectorRequest(id[3], size - written);
            const int got =
                reader.ReadSector(track, id[0], id[1], id[2], id[3], data + written, request);
            written += static_cast<std::size_t>(std::clamp(got, 0, request));
        }
    }
    return written;
}

}  // namespace vorbex

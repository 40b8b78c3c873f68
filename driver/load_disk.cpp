#include "load_disk.h"

#include <algorithm>
#include <array>
#include <utility>

namespace vorbex {

namespace {

// The bytes a sector of size code n asks for, lowered to the room left. Codes
// from 24 on do not fit an int and simply ask for all the room there is.
std::size_t SectorRequest(std::uint8_t n, std::size_t room) {
    const std::size_t wanted = n <= 23 ? std::size_t{128} << n : room;
    return std::min(wanted, room);
}

}  // namespace

void SortIdsBySectorNumber(std::span<SectorId> ids) {
    // An insertion sort: at most 16 entries, and it must be stable so that
    // sectors with equal numbers load in the order the image lists them.
    for (std::size_t i = 1; i < ids.size(); ++i) {
        const SectorId id = ids[i];
        std::size_t j = i;
        for (; j > 0 && ids[j - 1].r > id.r; --j) {
            ids[j] = ids[j - 1];
        }
        ids[j] = id;
    }
}

std::size_t LoadDisk(D88Reader& reader, int index, ImageBuffer& buffer) {
    const std::span<std::uint8_t> bytes = buffer.Bytes();
    std::span<std::uint8_t> room = bytes;
    // A disk that cannot be selected lists no tracks and so loads nothing.
    reader.SelectDisk(index);
    // Once the buffer is full, or a read has failed, the rest of the disk
    // cannot change what the buffer holds.
    for (int track = kFirstLoadedTrack;
         track <= kLastLoadedTrack && !room.empty() && !reader.GetReadError(); ++track) {
        std::array<SectorId, kMaxIdsPerTrack> ids;
        const int listed = reader.ReadTrackIds(track, ids) / static_cast<int>(sizeof(SectorId));
        const std::span<SectorId> sorted(ids.data(), static_cast<std::size_t>(listed));
        SortIdsBySectorNumber(sorted);
        if (!sorted.empty()) {
            reader.SetSectorRange(sorted.front().r, sorted.back().r);
        }
        for (const SectorId& id : sorted) {
            const std::span<std::uint8_t> dest = room.first(SectorRequest(id.n, room.size()));
            const int got = reader.ReadSector(track, id.c, id.h, id.r, id.n, dest);
            room = room.subspan(std::min(static_cast<std::size_t>(std::max(got, 0)), dest.size()));
        }
    }
    return bytes.size() - room.size();
}

}  // namespace vorbex

// Building D88 images in memory, for the sample generator and the tests.
#ifndef VORBEX_IMAGEMAKER_D88_BUILDER_H
#define VORBEX_IMAGEMAKER_D88_BUILDER_H

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vorbex::imagemaker {

constexpr int kTrackCount = 164;
constexpr std::size_t kDiskHeaderSize = 0x2B0;
constexpr std::size_t kSectorHeaderSize = 16;
constexpr std::uint8_t kMedia2D = 0x00;
constexpr std::uint8_t kMedia2DD = 0x10;
constexpr std::uint8_t kMedia2HD = 0x20;

struct Sector {
    std::uint8_t c = 0;
    std::uint8_t h = 0;
    std::uint8_t r = 1;
    std::uint8_t n = 3;
    std::vector<std::uint8_t> data;
    // The header's sector count; when unset, the number of sectors in the
    // track.
    std::optional<std::uint16_t> sectorCount;
    // The header's data size; when unset, data.size().
    std::optional<std::uint16_t> dataSize;
};

struct Track {
    std::vector<Sector> sectors;
};

struct Disk {
    std::string name;  // up to 17 bytes are stored
    std::uint8_t mediaType = kMedia2HD;
    // Tracks by index, stored in ascending index order after the header.
    std::map<int, Track> tracks;
    // Values stored in place of the computed ones.
    std::optional<std::uint32_t> diskSize;
    std::map<int, std::uint32_t> trackOffsets;
};

// A sector with ID (c, h, r, n) holding `data`.
Sector MakeSector(int c, int h, int r, int n, std::vector<std::uint8_t> data);

void PutLe16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value);
void PutLe32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value);

// One disk image: header, then each track's sectors.
std::vector<std::uint8_t> BuildDisk(const Disk& disk);

// Disk images one after another.
std::vector<std::uint8_t> BuildImage(const std::vector<Disk>& disks);

// A track of `count` sectors of 128 << n bytes for cylinder track / 2, head
// track % 2, stored in the order of `order` (sector numbers); each sector's
// data is filled by `fill(r, data)`.
template <typename Fill>
Track MakeTrack(int track, std::uint8_t n, const std::vector<std::uint8_t>& order, Fill fill) {
    Track result;
    for (std::uint8_t r : order) {
        Sector sector;
        sector.c = static_cast<std::uint8_t>(track / 2);
        sector.h = static_cast<std::uint8_t>(track % 2);
        sector.r = r;
        sector.n = n;
        sector.data.assign(std::size_t{128} << n, 0);
        fill(r, sector.data);
        result.sectors.push_back(std::move(sector));
    }
    return result;
}

}  // namespace vorbex::imagemaker

#endif  // VORBEX_IMAGEMAKER_D88_BUILDER_H

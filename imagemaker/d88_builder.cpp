#include "d88_builder.h"

#include <algorithm>
#include <utility>

namespace vorbex::imagemaker {

Sector MakeSector(int c, int h, int r, int n, std::vector<std::uint8_t> data) {
    Sector sector;
    sector.c = static_cast<std::uint8_t>(c);
    sector.h = static_cast<std::uint8_t>(h);
    sector.r = static_cast<std::uint8_t>(r);
    sector.n = static_cast<std::uint8_t>(n);
    sector.data = std::move(data);
    return sector;
}

void PutLe16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutLe32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    PutLe16(bytes, at, value & 0xFFFFu);
    PutLe16(bytes, at + 2, value >> 16);
}

std::vector<std::uint8_t> BuildDisk(const Disk& disk) {
    std::vector<std::uint8_t> bytes(kDiskHeaderSize, 0);
    std::copy_n(disk.name.begin(), std::min<std::size_t>(disk.name.size(), 17), bytes.begin());
    bytes[0x1B] = disk.mediaType;
    for (const auto& [index, track] : disk.tracks) {
        PutLe32(bytes, 0x20 + 4 * static_cast<std::size_t>(index),
                static_cast<std::uint32_t>(bytes.size()));
        for (const Sector& sector : track.sectors) {
            const std::size_t at = bytes.size();
            bytes.resize(at + kSectorHeaderSize, 0);
            bytes[at] = sector.c;
            bytes[at + 1] = sector.h;
            bytes[at + 2] = sector.r;
            bytes[at + 3] = sector.n;
            PutLe16(bytes, at + 4,
                    sector.sectorCount.value_or(static_cast<std::uint16_t>(track.sectors.size())));
            PutLe16(bytes, at + 14,
                    sector.dataSize.value_or(static_cast<std::uint16_t>(sector.data.size())));
            bytes.insert(bytes.end(), sector.data.begin(), sector.data.end());
        }
    }
    for (const auto& [index, offset] : disk.trackOffsets) {
        PutLe32(bytes, 0x20 + 4 * static_cast<std::size_t>(index), offset);
    }
    PutLe32(bytes, 0x1C, disk.diskSize.value_or(static_cast<std::uint32_t>(bytes.size())));
    return bytes;
}

std::vector<std::uint8_t> BuildImage(const std::vector<Disk>& disks) {
    std::vector<std::uint8_t> image;
    for (const Disk& disk : disks) {
        const std::vector<std::uint8_t> bytes = BuildDisk(disk);
        image.insert(image.end(), bytes.begin(), bytes.end());
    }
    return image;
}

}  // namespace vorbex::imagemaker

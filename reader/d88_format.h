// Where a D88 image keeps what the reader reads. Every integer in it is
// little-endian and is assembled byte by byte, whatever the host's order.
#ifndef VORBEX_READER_D88_FORMAT_H
#define VORBEX_READER_D88_FORMAT_H

#include <cstdint>

namespace vorbex::d88 {

// A disk image starts with this header: its name, media type, size (the
// step to the next disk image) and a table of 164 track offsets.
inline constexpr int kDiskHeaderSize = 0x2B0;
inline constexpr int kMediaTypeOffset = 0x1B;
inline constexpr int kDiskSizeOffset = 0x1C;
inline constexpr int kTrackTableOffset = 0x20;

// Each sector: a header with its ID (C, H, R, N in bytes 0 to 3), the
// number of sectors in its track and the size of the data that follows.
inline constexpr int kSectorHeaderSize = 16;
inline constexpr int kSectorCountOffset = 4;
inline constexpr int kDataSizeOffset = 14;

inline std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

inline std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(Le16(p)) | static_cast<std::uint32_t>(Le16(p + 2)) << 16;
}

}  // namespace vorbex::d88

#endif  // VORBEX_READER_D88_FORMAT_H

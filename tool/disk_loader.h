// Gathers a disk's sector data into the image buffer.
#ifndef VORBEX_TOOL_DISK_LOADER_H
#define VORBEX_TOOL_DISK_LOADER_H

#include <cstddef>
#include <cstdint>

#include "image_buffer.h"
#include "vorbex/d88_reader.h"

namespace vorbex {

constexpr int kFirstLoadedTrack = 5;
constexpr int kLastLoadedTrack = 152;
constexpr int kMaxIdsPerTrack = 16;

// Sorts `count` four-byte sector IDs by R, ascending as unsigned bytes.
// Equal R values keep their order.
void SortIdsBySectorNumber(std::uint8_t* ids, int count);

// Selects disk `index` and copies the data of tracks 5 to 152, each track's
// sectors in ascending sector-number order, into `buffer` from its first byte
// on. Returns the number of bytes written. Data that does not fit is cut off.
std::size_t LoadDisk(D88Reader& reader, int index, ImageBuffer& buffer);

}  // namespace vorbex

#endif  // VORBEX_TOOL_DISK_LOADER_H

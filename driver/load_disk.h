// Gathers a disk's sector data into the image buffer.
#ifndef VORBEX_DRIVER_LOAD_DISK_H
#define VORBEX_DRIVER_LOAD_DISK_H

#include <cstddef>
#include <span>

#include "image_buffer.h"
#include "vorbex/d88_reader.h"

namespace vorbex {

// The disks of an image that are loaded and scanned: the first two.
inline constexpr int kMaxDisksLoaded = 2;
inline constexpr int kFirstLoadedTrack = 5;
inline constexpr int kLastLoadedTrack = 152;
inline constexpr int kMaxIdsPerTrack = 16;

// Sorts sector IDs by R, ascending as unsigned bytes. Equal R values keep
// their order.
void SortIdsBySectorNumber(std::span<SectorId> ids);

// Selects disk `index` and copies the data of tracks 5 to 152, each track's
// sectors in ascending sector-number order, into `buffer` from its first byte
// on. Returns the number of bytes written. Data that does not fit is cut off.
// The load stops at the first failed read, which the reader then reports:
// the buffer does not hold the disk.
std::size_t LoadDisk(D88Reader& reader, int index, ImageBuffer& buffer);

}  // namespace vorbex

#endif  // VORBEX_DRIVER_LOAD_DISK_H

// Reader for D88 floppy-disk image files.
//
// A D88 file is a row of disk images, each a 688-byte header (name, media
// type, size, a table of 164 track offsets) followed by its tracks; a track is
// a row of sectors, each a 16-byte header carrying the sector ID (C, H, R, N)
// and the size of the data that follows it.
//
// Every field of the image is untrusted. The reader never reads or writes
// outside the caller's buffers, never acts on bytes it could not read, and
// keeps its memory bounded whatever the image's size fields claim. Failures
// are reported only through return values.
#ifndef VORBEX_D88_READER_H
#define VORBEX_D88_READER_H

#include <cstdint>
#include <memory>

namespace vorbex {

class ImageFile;

// A sector ID as it stands in a sector header: C, H, R, N, one byte each.
// ID lists are plain byte arrays of four bytes per entry in this order.
struct SectorId {
    static constexpr int kSize = 4;
    std::uint8_t c;
    std::uint8_t h;
    std::uint8_t r;
    std::uint8_t n;
};

class D88Reader {
  public:
    static constexpr int kMaxDisks = 64;
    static constexpr int kTrackCount = 164;
    static constexpr int kDiskHeaderSize = 0x2B0;
    static constexpr int kSectorHeaderSize = 16;
    static constexpr int kDiskNameSize = 17;

    D88Reader();
    ~D88Reader();
    D88Reader(const D88Reader&) = delete;
    D88Reader& operator=(const D88Reader&) = delete;

    // With a path: closes any file already open, opens `path` for binary
    // reading and counts the disk images in it. False when the file cannot be
    // opened or read at all (a directory, for instance); true otherwise, even
    // when no complete disk header was found.
    // With nullptr: closes the file, sets the disk count to 0 and the media
    // type to -1, and returns true.
    // Neither form changes the selected disk's size, offset, track table or
    // name: track reads after a second Open use them until the next
    // SelectDisk.
    bool Open(const char* path = nullptr);

    int GetDiskCount() const { return diskCount; }

    // Makes disk `index` (0-based) the selected one. False when no file is
    // open or the index is out of range; an open reader's earlier selection
    // is dropped in either case.
    bool SelectDisk(int index);

    // The selected disk's name: at most 16 bytes, NUL-terminated, empty when
    // none is selected. Valid until the next SelectDisk or destruction.
    const char* GetDiskName() const { return diskName; }

    // The selected disk's media type byte, or -1 when none is selected.
    int GetMediaType() const { return mediaType; }

    // The sector numbers that begin and end each track of a ReadSectors run.
    void SetSectorRange(int first, int last) {
        firstSector = first;
        lastSector = last;
    }

    // Lists the sector IDs of track `track` into `ids`, four bytes each, at
    // most len / 4 of them. Returns the number of bytes stored; 0 when the
    // track cannot be reached.
    int ReadTrackIds(int track, std::uint8_t* ids, int len);

    // Copies up to `len` data bytes of the first sector on track `track` whose
    // ID is exactly (c, h, r, n) into `dest`. Returns the sector's data size
    // lowered to `len`; 0 when the track cannot be reached or no sector
    // matches. Bytes of that count that lie beyond the end of the file are
    // stored as zeros.
    int ReadSector(int track, int c, int h, int r, int n, std::uint8_t* dest, int len);

    // Reads `len` bytes from consecutive sectors of 128 << n bytes starting
    // with ID (c, h, r, n), continuing on the next track (other head, or next
    // cylinder after head 1) after the sector numbered as set by
    // SetSectorRange. Returns the bytes read in whole steps. A size code of
    // 24 or more makes the step the whole rest of the request.
    int ReadSectors(int track, int c, int h, int r, int n, std::uint8_t* dest, int len);

  private:
    void Close();
    // The file position of the track's first sector header, or -1 when the
    // track cannot be reached.
    std::int64_t TrackPosition(int track) const;
    // Reads one sector header at `pos`; false when it is cut short.
    bool ReadSectorHeader(std::int64_t pos, std::uint8_t* header);

    std::unique_ptr<ImageFile> file;
    int diskCount = 0;
    int firstSector = 1;
    int lastSector = 16;
    std::int32_t diskOffsets[kMaxDisks] = {};
    std::int32_t diskSize = 0;
    std::int32_t diskOffset = -1;
    std::int32_t trackOffsets[kTrackCount] = {};
    int mediaType = -1;
    char diskName[kDiskNameSize] = {};
};

}  // namespace vorbex

#endif  // VORBEX_D88_READER_H

// Reader for D88 floppy-disk image files.
//
// A D88 file is a row of disk images, each a 688-byte header (name, media
// type, size, a table of 164 track offsets) followed by its tracks; a track is
// a row of sectors, each a 16-byte header carrying the sector ID (C, H, R, N)
// and the size of the data that follows it.
//
// Every field of the image is untrusted. The reader never reads or writes
// outside the caller's buffers, never acts on bytes it could not read, and
// takes all its memory when an image is opened, whatever the image's size
// fields claim. Failures are reported only through return values.
#ifndef VORBEX_D88_READER_H
#define VORBEX_D88_READER_H

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <system_error>

namespace vorbex {

class ImageCache;
class ImageSource;
class TrackMemo;

// A path in the system's own form: bytes on POSIX, UTF-16 on Windows, never
// the ANSI code page, where a name that does not fit would be changed.
using PathChar = std::filesystem::path::value_type;

// A sector ID as it stands in a sector header: C, H, R, N, one byte each.
struct SectorId {
    std::uint8_t c;
    std::uint8_t h;
    std::uint8_t r;
    std::uint8_t n;
};

// A failed read of the open image.
struct ReadError {
    // The system's reason, or file_too_large for a pipe or device that goes
    // on past D88Reader::kStreamLimit. Clear while no read has failed.
    std::error_code reason;
    // True when the failure struck the temporary copy that a pipe or device
    // is read through, not the image itself.
    bool inCopy = false;

    explicit operator bool() const { return static_cast<bool>(reason); }
};

class D88Reader {
  public:
    static constexpr int kMaxDisks = 64;
    static constexpr int kTrackCount = 164;
    static constexpr int kDiskNameSize = 17;
    // A pipe, FIFO or character device is read whole, at the first read, into
    // an unnamed temporary file in $TMPDIR (or /tmp), up to this many bytes.
    static constexpr std::uint64_t kStreamLimit = std::uint64_t{256} << 20;

    D88Reader();
    ~D88Reader();
    D88Reader(const D88Reader&) = delete;
    D88Reader& operator=(const D88Reader&) = delete;

    // With a path: closes any image already open, opens `path` for binary
    // reading and counts the disk images in it. False when it cannot be
    // opened (or is a folder); true otherwise, even when no complete disk
    // header was found or a read failed, which GetReadError then tells.
    // Paths of any length open on Windows too.
    // With nullptr: closes the image, sets the disk count to 0 and the media
    // type to -1, and returns true.
    // Neither form changes the selected disk's size, offset, track table or
    // name: track reads use them until the next SelectDisk.
    [[nodiscard]] bool Open(const PathChar* path = nullptr);

    int GetDiskCount() const { return diskCount; }

    // The first failed read of the open image since it was opened; the end
    // of the image is no failure. A failed read stops a walk as the end of
    // the image would and sector data it could not get reads as zeros, so
    // results after a failure are not the image's.
    [[nodiscard]] ReadError GetReadError() const;

    // Makes disk `index` (0-based) the selected one. False when no image is
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

    // Lists the sector IDs of track `track` into `ids`, as many as it holds
    // room for. Returns the number of bytes stored, four per ID; 0 when the
    // track cannot be reached.
    [[nodiscard]] int ReadTrackIds(int track, std::span<SectorId> ids);

    // Copies the data of the first sector on track `track` whose ID is
    // exactly (c, h, r, n) into `dest`, as much as fits. Returns the sector's
    // data size lowered to the size of `dest`; 0 when the track cannot be
    // reached or no sector matches. Bytes of that count that lie beyond the
    // end of the image are stored as zeros.
    [[nodiscard]] int ReadSector(int track, int c, int h, int r, int n,
                                 std::span<std::uint8_t> dest);

    // Fills `dest` from consecutive sectors of 128 << n bytes starting with
    // ID (c, h, r, n), continuing on the next track (other head, or next
    // cylinder after head 1) after the sector numbered as set by
    // SetSectorRange. Returns the bytes read in whole steps. A size code of
    // 24 or more makes the step the whole rest of `dest`.
    [[nodiscard]] int ReadSectors(int track, int c, int h, int r, int n,
                                  std::span<std::uint8_t> dest);

  private:
    friend struct ReaderSeam;  // the tests' way to read other sources

    bool OpenSource(std::unique_ptr<ImageSource> source, std::size_t ringPages);
    // The file position of the track's first sector header, or -1 when the
    // track cannot be reached.
    std::int64_t TrackPosition(int track) const;

    std::unique_ptr<ImageCache> cache;  // the open image; none when closed
    std::unique_ptr<TrackMemo> trackMemo;
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

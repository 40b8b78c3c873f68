// Random-access reading of an image file through one bounded window.
//
// The reader walks tracks header by header and seeks for every sector, so a
// plain stream would drop its buffer and ask the system again each time. This
// keeps the last window of the file in memory and serves every read that
// falls inside it. The window slides forward with the walk and keeps the track
// it has just passed, so each byte of a track is normally fetched once.
#ifndef VORBEX_READER_IMAGE_FILE_H
#define VORBEX_READER_IMAGE_FILE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace vorbex {

class ImageFile {
  public:
    static constexpr std::size_t kWindowSize = 64 * 1024;

    // Opens `path` for binary reading; nullptr when that fails.
    static std::unique_ptr<ImageFile> Open(const char* path);

    ~ImageFile();
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    // Copies up to `n` bytes starting at file position `pos` into `dest` and
    // returns how many it copied: fewer at the end of the file, after a read
    // error, or for a position that cannot be a file position.
    std::size_t ReadAt(std::int64_t pos, std::uint8_t* dest, std::size_t n);

    // True once the system reported a read error (as opposed to the end of
    // the file), as it does for a directory.
    bool HadError() const { return error_; }

  private:
    explicit ImageFile(std::FILE* stream);
    // Brings `pos` into the window; false when it could not be read.
    bool Fill(std::int64_t pos);
    // Reads straight into `dest` at `pos`, for requests larger than a window.
    std::size_t ReadDirect(std::int64_t pos, std::uint8_t* dest, std::size_t n);
    bool SeekTo(std::int64_t pos);

    std::FILE* stream_;
    std::unique_ptr<std::uint8_t[]> window_;
    std::int64_t windowStart_ = 0;
    std::size_t windowLength_ = 0;
    // Where the stream stands, or -1 when unknown; saves a seek when reads
    // follow each other.
    std::int64_t streamPos_ = 0;
    // The lowest position known to lie at or past the end of the file, or -1.
    std::int64_t endOfFile_ = -1;
    bool error_ = false;
};

}  // namespace vorbex

#endif  // VORBEX_READER_IMAGE_FILE_H

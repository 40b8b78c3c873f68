// Random-access reading of an image through one bounded window.
//
// The reader walks tracks header by header and goes back to a track's start
// for every sector, so reading straight from the source would ask it again
// for the same bytes each time. This keeps the last window of the image in
// memory and serves every read that falls inside it. The window slides
// forward with the walk and keeps the track it has just passed, so each byte
// of a track is normally fetched once.
#ifndef VORBEX_READER_FILE_WINDOW_H
#define VORBEX_READER_FILE_WINDOW_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <system_error>

#include "vorbex/image_source.h"

namespace vorbex {

class FileWindow {
  public:
    static constexpr std::size_t kWindowSize = 64 * 1024;

    explicit FileWindow(std::unique_ptr<ImageSource> source);

    // Copies the bytes at image position `pos` on into `dest` and returns how
    // many it copied: fewer at the end of the image, after a read error, or
    // for a position that cannot be an image position.
    std::size_t ReadAt(std::int64_t pos, std::span<std::uint8_t> dest);

    // The first read error the source reported (as opposed to the end of the
    // image), as it does for a directory; clear when there was none.
    std::error_code Error() const { return error_; }

  private:
    // Brings `pos` into the window; false when it could not be read.
    bool Fill(std::int64_t pos);
    // Reads straight into `dest` at `pos`, for requests larger than a window.
    std::size_t ReadDirect(std::int64_t pos, std::span<std::uint8_t> dest);

    std::unique_ptr<ImageSource> source_;
    std::unique_ptr<std::uint8_t[]> window_;
    std::int64_t windowStart_ = 0;
    std::size_t windowLength_ = 0;
    // The lowest position known to lie at or past the end of the image, or -1.
    std::int64_t endOfImage_ = -1;
    std::error_code error_;
};

}  // namespace vorbex

#endif  // VORBEX_READER_FILE_WINDOW_H

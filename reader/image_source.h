// Where the reader takes the bytes of an image from: a file by its path, or,
// in the tests, an image made up as it is read.
#ifndef VORBEX_READER_IMAGE_SOURCE_H
#define VORBEX_READER_IMAGE_SOURCE_H

#include <cstdint>
#include <memory>
#include <span>

#include "image_file.h"

namespace vorbex {

class ImageSource {
  public:
    virtual ~ImageSource() = default;

    // Copies the image's bytes from `offset` on into `dest`, as many as fit.
    // Fewer come only at the end of the image or on a failure.
    [[nodiscard]] virtual ReadResult ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) = 0;

    // True once a read has failed in the temporary copy that a pipe or
    // device is read through, rather than in the image.
    virtual bool FailedInCopy() const { return false; }
};

// The image at `path`, read as its kind of file needs: a regular file or a
// disk where the reader asks, anything else whole into an unnamed temporary
// copy at the first read (up to `streamLimit` bytes; a longer stream fails
// every read with file_too_large). Null when the path cannot be opened.
std::unique_ptr<ImageSource> OpenImageFile(const PathChar* path, std::uint64_t streamLimit);

}  // namespace vorbex

#endif  // VORBEX_READER_IMAGE_SOURCE_H

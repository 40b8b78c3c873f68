// Where a D88Reader takes the bytes of an image from.
//
// D88Reader::Open(path) reads a file. Another program can hand the reader any
// other source (an image held in memory, one inside an archive) by
// implementing this interface and opening the reader on it.
#ifndef VORBEX_IMAGE_SOURCE_H
#define VORBEX_IMAGE_SOURCE_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <system_error>

namespace vorbex {

struct ReadResult {
    std::size_t count = 0;  // bytes stored at the start of the destination
    std::error_code error;  // why fewer bytes than asked for came; clear at the end of the image
};

class ImageSource {
  public:
    virtual ~ImageSource() = default;

    // Copies the image's bytes from `offset` on into `dest`, as many as
    // fit. Fewer come only at the end of the image or on a failure, which
    // `error` then names.
    [[nodiscard]] virtual ReadResult ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) = 0;
};

}  // namespace vorbex

#endif  // VORBEX_IMAGE_SOURCE_H

// The sources D88Reader::Open(path) reads an image from.
#ifndef VORBEX_READER_IMAGE_SOURCES_H
#define VORBEX_READER_IMAGE_SOURCES_H

#include <cstdint>
#include <memory>
#include <system_error>

#include "system_file.h"
#include "vorbex/image_source.h"

namespace vorbex {

// A file that can be read at any offset: a regular file or a disk.
class FileSource : public ImageSource {
  public:
    explicit FileSource(SystemFile file) : file_(std::move(file)) {}
    ReadResult ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) override {
        return file_.ReadAt(offset, dest);
    }

  private:
    SystemFile file_;
};

// A pipe, FIFO, socket or character device: its bytes come once, in order.
// At the first read the whole stream is taken into an unnamed temporary file,
// which every read is then served from. A stream longer than `limit` bytes,
// such as an endless device, is not taken at all: every read fails with
// ReaderErrc::kStreamTooLong, as they fail with the reason when the stream
// or the temporary file fails.
class StreamSource : public ImageSource {
  public:
    StreamSource(SystemFile stream, std::uint64_t limit)
        : stream_(std::move(stream)), limit_(limit) {}
    ReadResult ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) override;

  private:
    std::error_code TakeAll();

    SystemFile stream_;
    SystemFile spool_;
    std::uint64_t limit_;
    std::uint64_t taken_ = 0;  // bytes taken from the stream and spooled
    bool taken_all_ = false;
    std::error_code failure_;
};

struct OpenedImage {
    std::unique_ptr<ImageSource> source;
    std::error_code error;
};

// Opens the image at `path` as the source its kind of file needs.
OpenedImage OpenImageFile(const char* path, std::uint64_t streamLimit);

}  // namespace vorbex

#endif  // VORBEX_READER_IMAGE_SOURCES_H

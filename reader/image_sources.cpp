#include <algorithm>
#include <array>

#include "image_source.h"

namespace vorbex {

namespace {

// An image file. A pipe, FIFO, socket or character device gives its bytes
// once, in order, while the reader jumps about: at the first read the whole
// stream is taken into an unnamed copy, which every read then comes from.
class FileSource : public ImageSource {
  public:
    FileSource(ImageFile file, std::uint64_t limit)
        : file_(std::move(file)), limit_(limit), stream_(!file_.IsRandomAccess()) {}

    ReadResult ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) override {
        if (stream_ && !copied_) {
            failure_ = TakeCopy();
            copied_ = true;
        }
        // A stream that could not be taken whole is not read at all: what it
        // gave is not the image.
        if (failure_) {
            return {0, failure_};
        }
        ReadResult got = file_.ReadAt(offset, dest);
        inCopy_ = inCopy_ || (stream_ && got.error);
        return got;
    }

    bool FailedInCopy() const override { return inCopy_; }

  private:
    std::error_code TakeCopy() {
        std::error_code error;
        ImageFile copy = ImageFile::CreateUnnamed(TemporaryFolder(), error);
        inCopy_ = static_cast<bool>(error);
        std::array<std::uint8_t, 64 * 1024> chunk;
        for (std::uint64_t size = 0; !error;) {
            // At the limit the stream is too long unless it ends right there;
            // the byte that tells is not kept.
            const auto want =
                static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), limit_ - size));
            const ReadResult got =
                file_.Read(std::span(chunk).first(std::max<std::size_t>(want, 1)));
            if (want == 0) {
                return got.error       ? got.error
                       : got.count > 0 ? std::make_error_code(std::errc::file_too_large)
                                       : std::error_code();
            }
            error = copy.Append(std::span(chunk).first(got.count));
            inCopy_ = static_cast<bool>(error);
            size += got.count;
            if (!error && (got.error || got.count < want)) {
                file_ = std::move(copy);
                return got.error;
            }
        }
        return error;
    }

    ImageFile file_;  // the image, or once taken, its copy
    std::uint64_t limit_;
    bool stream_;
    bool copied_ = false;
    bool inCopy_ = false;
    std::error_code failure_;
};

}  // namespace

std::unique_ptr<ImageSource> OpenImageFile(const PathChar* path, std::uint64_t streamLimit) {
    std::error_code error;
    ImageFile file = ImageFile::Open(path, error);
    return error ? nullptr : std::make_unique<FileSource>(std::move(file), streamLimit);
}

}  // namespace vorbex

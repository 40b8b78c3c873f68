#include <algorithm>
#include <array>

#include "image_source.h"

namespace vorbex {

namespace {

class FileSource : public ImageSource {
  public:
    explicit FileSource(ImageFile file) : file_(std::move(file)) {}
    ReadResult ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) override {
        return file_.ReadAt(offset, dest);
    }

  private:
    ImageFile file_;
};

// A pipe, FIFO, socket or character device gives its bytes once, in order,
// while the reader jumps about: the whole stream is taken into a copy first.
class StreamSource : public ImageSource {
  public:
    StreamSource(ImageFile stream, std::uint64_t limit)
        : stream_(std::move(stream)), limit_(limit) {}

    ReadResult ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) override {
        if (!copied_) {
            failure_ = CopyAll();
            copied_ = true;
        }
        // A stream that could not be taken whole is not read at all: what it
        // gave is not the image.
        if (failure_ || offset >= size_) {
            return {0, failure_};
        }
        const auto room =
            static_cast<std::size_t>(std::min<std::uint64_t>(dest.size(), size_ - offset));
        ReadResult got = copy_.ReadAt(offset, dest.first(room));
        inCopy_ = inCopy_ || got.error;
        return got;
    }

    bool FailedInCopy() const override { return inCopy_; }

  private:
    std::error_code CopyAll() {
        std::error_code error;
        copy_ = ImageFile::CreateUnnamed(TemporaryFolder(), error);
        inCopy_ = static_cast<bool>(error);
        std::array<std::uint8_t, 64 * 1024> chunk;
        while (!error) {
            // At the limit the stream is too long unless it ends right there;
            // the byte that tells is not kept.
            const auto want =
                static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), limit_ - size_));
            const ReadResult got =
                stream_.Read(std::span(chunk).first(std::max<std::size_t>(want, 1)));
            if (want == 0) {
                return got.error       ? got.error
                       : got.count > 0 ? std::make_error_code(std::errc::file_too_large)
                                       : std::error_code();
            }
            error = copy_.Append(std::span(chunk).first(got.count));
            inCopy_ = static_cast<bool>(error);
            size_ += got.count;
            if (!error && (got.error || got.count < want)) {
                return got.error;
            }
        }
        return error;
    }

    ImageFile stream_;
    ImageFile copy_;
    std::uint64_t limit_;
    std::uint64_t size_ = 0;  // bytes taken from the stream into the copy
    bool copied_ = false;
    bool inCopy_ = false;
    std::error_code failure_;
};

}  // namespace

std::unique_ptr<ImageSource> OpenImageFile(const std::filesystem::path& path,
                                           std::uint64_t streamLimit) {
    std::error_code error;
    ImageFile file = ImageFile::Open(path, error);
    if (error) {
        return nullptr;
    }
    if (file.IsRandomAccess()) {
        return std::make_unique<FileSource>(std::move(file));
    }
    return std::make_unique<StreamSource>(std::move(file), streamLimit);
}

}  // namespace vorbex

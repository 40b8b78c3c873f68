#include "file_source.h"

#include <cerrno>
#include <limits>

namespace vorbex {

namespace {

// std::fseek takes a long, which is 32 bits on Windows; images may place
// tracks past 2 GiB, so use the 64-bit variant of each platform.
int Seek64(std::FILE* stream, std::uint64_t pos) {
#ifdef _WIN32
    if (pos > static_cast<std::uint64_t>(std::numeric_limits<long long>::max())) {
        return -1;
    }
    return _fseeki64(stream, static_cast<long long>(pos), SEEK_SET);
#else
    if (pos > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
        return -1;
    }
    return fseeko(stream, static_cast<off_t>(pos), SEEK_SET);
#endif
}

}  // namespace

std::unique_ptr<FileSource> FileSource::Open(const char* path) {
    if (path == nullptr || *path == '\0') {
        return nullptr;
    }
    std::FILE* stream = std::fopen(path, "rb");
    if (stream == nullptr) {
        return nullptr;
    }
    // The reader keeps its own window; a stdio buffer on top would only copy
    // every byte twice.
    std::setvbuf(stream, nullptr, _IONBF, 0);
    return std::unique_ptr<FileSource>(new FileSource(stream));
}

FileSource::~FileSource() {
    std::fclose(stream_);
}

ReadResult FileSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) {
    ReadResult result;
    if (streamPos_ < 0 || static_cast<std::uint64_t>(streamPos_) != offset) {
        if (Seek64(stream_, offset) != 0) {
            streamPos_ = -1;
            result.error = std::error_code(errno != 0 ? errno : EINVAL, std::generic_category());
            return result;
        }
        streamPos_ = static_cast<std::int64_t>(offset);
    }
    errno = 0;
    result.count = std::fread(dest.data(), 1, dest.size(), stream_);
    streamPos_ += static_cast<std::int64_t>(result.count);
    if (result.count < dest.size()) {
        if (std::ferror(stream_) != 0) {
            result.error = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
            streamPos_ = -1;
        }
        std::clearerr(stream_);
    }
    return result;
}

}  // namespace vorbex

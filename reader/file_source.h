// An image read from a file by its path.
#ifndef VORBEX_READER_FILE_SOURCE_H
#define VORBEX_READER_FILE_SOURCE_H

#include <cstdio>
#include <memory>

#include "vorbex/image_source.h"

namespace vorbex {

class FileSource : public ImageSource {
  public:
    // Opens `path` for binary reading; nullptr when that fails.
    static std::unique_ptr<FileSource> Open(const char* path);

    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    ReadResult ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) override;

  private:
    explicit FileSource(std::FILE* stream) : stream_(stream) {}

    std::FILE* stream_;
    // Where the stream stands, or -1 when unknown; saves a seek when reads
    // follow each other.
    std::int64_t streamPos_ = 0;
};

}  // namespace vorbex

#endif  // VORBEX_READER_FILE_SOURCE_H

// The few things the reader asks of the operating system's files: open one
// by its path, read it at an offset or as it comes, and keep an unnamed
// temporary file to spool a stream into.
#ifndef VORBEX_READER_SYSTEM_FILE_H
#define VORBEX_READER_SYSTEM_FILE_H

#include <cstdint>
#include <span>
#include <system_error>

#include "vorbex/image_source.h"

namespace vorbex {

class SystemFile {
  public:
    SystemFile() = default;
    ~SystemFile();
    SystemFile(SystemFile&& other) noexcept;
    SystemFile& operator=(SystemFile&& other) noexcept;
    SystemFile(const SystemFile&) = delete;
    SystemFile& operator=(const SystemFile&) = delete;

    // Opens `path` for reading (WTF-8 on Windows, see D88Reader::Open). A
    // folder is refused.
    [[nodiscard]] static SystemFile OpenForReading(const char* path, std::error_code& error);

    // A new, empty file that is gone once closed, in the system's folder
    // for temporary files.
    [[nodiscard]] static SystemFile CreateTemporary(std::error_code& error);

    bool IsOpen() const;

    // True for a regular file or a disk: it can be read at any offset and
    // gives the same bytes each time. Pipes, sockets and character devices
    // give their bytes once, as they come.
    bool IsRandomAccess() const { return randomAccess_; }

    // Reads from `offset` on; fewer bytes than asked only at the end of the
    // file or on a failure.
    [[nodiscard]] ReadResult ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest);

    // Reads the next bytes of a stream; fewer than asked only at its end or
    // on a failure.
    [[nodiscard]] ReadResult Read(std::span<std::uint8_t> dest);

    // Writes all of `data` at `offset`.
    [[nodiscard]] std::error_code WriteAt(std::uint64_t offset, std::span<const std::uint8_t> data);

  private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    bool randomAccess_ = false;
};

}  // namespace vorbex

#endif  // VORBEX_READER_SYSTEM_FILE_H

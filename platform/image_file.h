// The image as the operating system gives it: a file read where the reader
// needs it, or a stream read as it comes, and the unnamed file a stream is
// copied into.
#ifndef VORBEX_PLATFORM_IMAGE_FILE_H
#define VORBEX_PLATFORM_IMAGE_FILE_H

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>
#include <utility>

namespace vorbex {

// A path in the system's own form: bytes on POSIX, UTF-16 on Windows.
using PathChar = std::filesystem::path::value_type;
using PathString = std::basic_string<PathChar>;

struct ReadResult {
    std::size_t count = 0;  // bytes stored at the start of the destination
    std::error_code error;  // why fewer came than asked for; clear at the end of the file
};

// An open file, closed when the object goes.
class ImageFile {
  public:
    ImageFile() = default;
    ~ImageFile() { Close(); }
    ImageFile(ImageFile&& other) noexcept { *this = std::move(other); }
    ImageFile& operator=(ImageFile&& other) noexcept {
        Close();
        handle_ = std::exchange(other.handle_, -1);
        randomAccess_ = other.randomAccess_;
        return *this;
    }

    // Opens `path` for reading. A folder is refused.
    [[nodiscard]] static ImageFile Open(const PathChar* path, std::error_code& error);

    // A new file in `folder` that has no name, or whose name is gone before
    // anything can end the process: nothing is left of it afterwards.
    [[nodiscard]] static ImageFile CreateUnnamed(const PathString& folder, std::error_code& error);

    // True for a regular file or a disk, which give the same bytes at any
    // offset; pipes, sockets and character devices give theirs once.
    bool IsRandomAccess() const { return randomAccess_; }

    // Reads from `offset` on, or the next bytes of a stream; fewer bytes than
    // asked only at the end of the file or on a failure.
    [[nodiscard]] ReadResult ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest);
    [[nodiscard]] ReadResult Read(std::span<std::uint8_t> dest);

    // Writes all of `data` after what was written before.
    [[nodiscard]] std::error_code Append(std::span<const std::uint8_t> data);

  private:
    void Close();

    std::intptr_t handle_ = -1;  // a descriptor, or a Windows HANDLE
    bool randomAccess_ = false;
};

// The folder for temporary files: $TMPDIR, else /tmp (on Windows, the
// system's own).
PathString TemporaryFolder();

}  // namespace vorbex

#endif  // VORBEX_PLATFORM_IMAGE_FILE_H

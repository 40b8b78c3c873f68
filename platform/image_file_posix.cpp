#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "image_file.h"

namespace vorbex {

namespace {

std::error_code LastError() {
    return {errno, std::generic_category()};
}

// Calls `transfer(done)`, which moves bytes after the first `done` and
// returns what read(2) or write(2) does, until `size` bytes have gone, the
// file ends, or a call fails other than by a signal.
template <typename Transfer>
ReadResult Repeat(std::size_t size, Transfer transfer) {
    ReadResult result;
    while (result.count < size) {
        const ssize_t moved = transfer(result.count);
        if (moved < 0 && errno == EINTR) {
            continue;
        }
        if (moved <= 0) {
            result.error = moved < 0 ? LastError() : std::error_code();
            break;
        }
        result.count += static_cast<std::size_t>(moved);
    }
    return result;
}

}  // namespace

void ImageFile::Close() {
    if (handle_ >= 0) {
        close(static_cast<int>(handle_));
    }
}

ImageFile ImageFile::Open(const PathChar* path, std::error_code& error) {
    ImageFile file;
    // Opening a FIFO waits for its writer, and a signal may cut the wait. An
    // empty path names no file.
    errno = ENOENT;
    while (path != nullptr && *path != '\0' &&
           (file.handle_ = open(path, O_RDONLY | O_CLOEXEC)) < 0 && errno == EINTR) {
    }
    struct stat status {};
    if (file.handle_ < 0 || fstat(static_cast<int>(file.handle_), &status) != 0) {
        error = LastError();
        return ImageFile();
    }
    if (S_ISDIR(status.st_mode)) {
        error = std::make_error_code(std::errc::is_a_directory);
        return ImageFile();
    }
    file.randomAccess_ = S_ISREG(status.st_mode) || S_ISBLK(status.st_mode);
    return file;
}

ImageFile ImageFile::CreateUnnamed(const PathString& folder, std::error_code& error) {
    ImageFile file;
    file.randomAccess_ = true;
#ifdef O_TMPFILE
    file.handle_ = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    // EOPNOTSUPP: the file system cannot; EISDIR: the kernel does not know
    // O_TMPFILE.
    if (file.handle_ >= 0 || (errno != EOPNOTSUPP && errno != EISDIR)) {
        error = file.handle_ < 0 ? LastError() : std::error_code();
        return file;
    }
#endif
    // A named file, removed at once; the signals that could end the process
    // in between wait until the name is gone.
    std::string name = folder + "/vorbex-copy-XXXXXX";
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &previous);
    file.handle_ = mkostemp(name.data(), O_CLOEXEC);
    if (file.handle_ < 0 || unlink(name.c_str()) != 0) {
        error = LastError();
        file = ImageFile();
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    return file;
}

// An offset past off_t turns negative, which pread refuses.
ReadResult ImageFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) {
    return Repeat(dest.size(), [&](std::size_t done) {
        return pread(static_cast<int>(handle_), dest.data() + done, dest.size() - done,
                     static_cast<off_t>(offset + done));
    });
}

ReadResult ImageFile::Read(std::span<std::uint8_t> dest) {
    return Repeat(dest.size(), [&](std::size_t done) {
        return read(static_cast<int>(handle_), dest.data() + done, dest.size() - done);
    });
}

std::error_code ImageFile::Append(std::span<const std::uint8_t> data) {
    const ReadResult wrote = Repeat(data.size(), [&](std::size_t done) {
        return write(static_cast<int>(handle_), data.data() + done, data.size() - done);
    });
    return wrote.count < data.size() && !wrote.error ? std::make_error_code(std::errc::io_error)
                                                     : wrote.error;
}

PathString TemporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

}  // namespace vorbex

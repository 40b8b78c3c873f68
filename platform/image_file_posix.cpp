#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <string>

#include "image_file.h"

namespace vorbex {

namespace {

std::error_code LastError() {
    return {errno, std::generic_category()};
}

int Fd(std::intptr_t handle) {
    return static_cast<int>(handle);
}

// pread and pwrite take an off_t; offsets past it cannot be file positions.
bool FitsOffset(std::uint64_t offset, std::size_t size) {
    const auto max = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
    return offset <= max && size <= max - offset;
}

// Fills `dest` by calls of `read(into, size, done)` until it is full, the
// file ends, or a call fails other than by a signal.
template <typename ReadSome>
ReadResult ReadFully(std::span<std::uint8_t> dest, ReadSome read) {
    ReadResult result;
    while (result.count < dest.size()) {
        const ssize_t got =
            read(dest.data() + result.count, dest.size() - result.count, result.count);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            result.error = got < 0 ? LastError() : std::error_code();
            break;
        }
        result.count += static_cast<std::size_t>(got);
    }
    return result;
}

}  // namespace

void ImageFile::Close() {
    if (handle_ >= 0) {
        close(Fd(handle_));
    }
}

ImageFile ImageFile::Open(const std::filesystem::path& path, std::error_code& error) {
    ImageFile file;
    if (path.empty()) {
        error = std::make_error_code(std::errc::no_such_file_or_directory);
        return file;
    }
    // Opening a FIFO waits for its writer, and a signal may cut the wait.
    int fd = -1;
    do {
        fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error = LastError();
        return file;
    }
    file.handle_ = fd;
    struct stat status {};
    if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
        error =
            S_ISDIR(status.st_mode) ? std::make_error_code(std::errc::is_a_directory) : LastError();
        return ImageFile();
    }
    file.randomAccess_ = S_ISREG(status.st_mode) || S_ISBLK(status.st_mode);
    return file;
}

ImageFile ImageFile::CreateUnnamed(const std::filesystem::path& folder, std::error_code& error) {
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
    // A named file, removed at once. The signals that could end the process
    // between the two wait until the name is gone.
    std::string name = (folder / "vorbex-copy-XXXXXX").string();
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

ReadResult ImageFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) {
    if (!FitsOffset(offset, dest.size())) {
        return {0, std::make_error_code(std::errc::value_too_large)};
    }
    return ReadFully(dest, [&](std::uint8_t* into, std::size_t size, std::size_t done) {
        return pread(Fd(handle_), into, size, static_cast<off_t>(offset + done));
    });
}

ReadResult ImageFile::Read(std::span<std::uint8_t> dest) {
    return ReadFully(dest, [&](std::uint8_t* into, std::size_t size, std::size_t) {
        return read(Fd(handle_), into, size);
    });
}

std::error_code ImageFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> data) {
    if (!FitsOffset(offset, data.size())) {
        return std::make_error_code(std::errc::file_too_large);
    }
    for (std::size_t done = 0; done < data.size();) {
        const ssize_t wrote = pwrite(Fd(handle_), data.data() + done, data.size() - done,
                                     static_cast<off_t>(offset + done));
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return wrote < 0 ? LastError() : std::make_error_code(std::errc::io_error);
        }
        done += static_cast<std::size_t>(wrote);
    }
    return {};
}

std::filesystem::path TemporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

}  // namespace vorbex

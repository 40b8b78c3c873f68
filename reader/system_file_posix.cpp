#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <limits>
#include <utility>

#include "system_file.h"

namespace vorbex {

namespace {

std::error_code LastError() {
    return {errno, std::generic_category()};
}

// pread and pwrite take an off_t; offsets past it cannot be file positions.
bool FitsOffset(std::uint64_t offset, std::size_t size) {
    const auto max = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
    return offset <= max && size <= max - offset;
}

// Fills `dest` by calls of `read(into, size, done)`, which reads at most
// `size` bytes into `into` after `done` bytes have come, until it is full,
// the file ends, or a call fails other than by a signal.
template <typename ReadSome>
ReadResult ReadFully(std::span<std::uint8_t> dest, ReadSome read) {
    ReadResult result;
    while (result.count < dest.size()) {
        const ssize_t got =
            read(dest.data() + result.count, dest.size() - result.count, result.count);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            result.error = LastError();
            break;
        }
        if (got == 0) {
            break;
        }
        result.count += static_cast<std::size_t>(got);
    }
    return result;
}

}  // namespace

SystemFile::~SystemFile() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

SystemFile::SystemFile(SystemFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), randomAccess_(other.randomAccess_) {}

SystemFile& SystemFile::operator=(SystemFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = std::exchange(other.fd_, -1);
        randomAccess_ = other.randomAccess_;
    }
    return *this;
}

bool SystemFile::IsOpen() const {
    return fd_ >= 0;
}

SystemFile SystemFile::OpenForReading(const char* path, std::error_code& error) {
    SystemFile file;
    if (path == nullptr || *path == '\0') {
        error = std::make_error_code(std::errc::no_such_file_or_directory);
        return file;
    }
    // Opening a FIFO waits for its writer, and a signal may cut the wait.
    int fd = -1;
    do {
        fd = open(path, O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error = LastError();
        return file;
    }
    file.fd_ = fd;
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        error = LastError();
        return SystemFile();
    }
    if (S_ISDIR(status.st_mode)) {
        error = std::make_error_code(std::errc::is_a_directory);
        return SystemFile();
    }
    file.randomAccess_ = S_ISREG(status.st_mode) || S_ISBLK(status.st_mode);
    return file;
}

SystemFile SystemFile::CreateTemporary(std::error_code& error) {
    SystemFile file;
    // tmpfile makes a file that no other program can open and that is gone
    // with its last descriptor; the stdio stream around it is not needed.
    std::FILE* stream = std::tmpfile();
    if (stream == nullptr) {
        error = LastError();
        return file;
    }
    file.fd_ = fcntl(fileno(stream), F_DUPFD_CLOEXEC, 0);
    if (file.fd_ < 0) {
        error = LastError();
    }
    std::fclose(stream);
    file.randomAccess_ = true;
    return file;
}

ReadResult SystemFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> dest) {
    if (!FitsOffset(offset, dest.size())) {
        return {0, std::make_error_code(std::errc::value_too_large)};
    }
    return ReadFully(dest, [&](std::uint8_t* into, std::size_t size, std::size_t done) {
        return pread(fd_, into, size, static_cast<off_t>(offset + done));
    });
}

ReadResult SystemFile::Read(std::span<std::uint8_t> dest) {
    return ReadFully(dest, [&](std::uint8_t* into, std::size_t size, std::size_t) {
        return read(fd_, into, size);
    });
}

std::error_code SystemFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> data) {
    if (!FitsOffset(offset, data.size())) {
        return std::make_error_code(std::errc::file_too_large);
    }
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t wrote =
            pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
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

}  // namespace vorbex

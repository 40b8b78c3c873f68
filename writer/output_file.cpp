#include "output_file.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vorbex {

namespace {

constexpr int kMaxAttempts = 100;

std::error_code Errno(int error) {
    return {error, std::generic_category()};
}

#ifdef _WIN32
int CreateExclusive(const char* path) {
    return _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
long WriteSome(int fd, const std::uint8_t* data, std::size_t size) {
    const unsigned chunk = size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size);
    return _write(fd, data, chunk);
}
int CloseFile(int fd) {
    return _close(fd);
}
#else
int CreateExclusive(const char* path) {
    return open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}
long WriteSome(int fd, const std::uint8_t* data, std::size_t size) {
    return static_cast<long>(write(fd, data, size));
}
int CloseFile(int fd) {
    return close(fd);
}
#endif

// Writes everything or returns the errno of the failure.
int WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const long done = WriteSome(fd, data, size);
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (done == 0) {
            return EIO;
        }
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return 0;
}

}  // namespace

std::string TemporaryName(const std::string& name, int attempt) {
    std::string temp = ".vorbex-";
    temp.append(name);
    if (attempt > 0) {
        temp.push_back('.');
        temp.append(std::to_string(attempt));
    }
    temp.append(".tmp");
    return temp;
}

std::error_code WriteFileWhole(const std::string& name, std::span<const std::uint8_t> data) {
    // A leftover of an interrupted run may hold the first name: try others,
    // never touching a file this run did not create.
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < kMaxAttempts && fd < 0; ++attempt) {
        temp = TemporaryName(name, attempt);
        fd = CreateExclusive(temp.c_str());
        if (fd < 0 && errno != EEXIST) {
            return Errno(errno);
        }
    }
    if (fd < 0) {
        return Errno(EEXIST);
    }

    int error = WriteAll(fd, data.data(), data.size());
    // A failed close can mean the data never reached the disk (NFS, quotas):
    // such a file cannot be trusted.
    if (CloseFile(fd) != 0 && error == 0) {
        error = errno;
    }
    std::error_code failure = Errno(error);
    if (error == 0) {
        std::filesystem::rename(temp, name, failure);
        if (!failure) {
            return {};
        }
    }
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    return failure;
}

}  // namespace vorbex

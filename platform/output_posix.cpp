#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "output.h"

namespace vorbex {

int CreateExclusive(const char* path) {
    return open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

long WriteSome(int fd, const std::uint8_t* data, std::size_t size) {
    return static_cast<long>(write(fd, data, size));
}

int CloseFile(int fd) {
    return close(fd);
}

void RemoveFileNow(const char* path) {
    unlink(path);
}

std::error_code RenameOnto(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0
               ? std::error_code()
               : std::error_code(errno, std::generic_category());
}

long ProcessId() {
    return static_cast<long>(getpid());
}

void KeepStandardDescriptors() {
    // open() takes the lowest free descriptor, so each closed one is filled
    // in turn. Read-only, so that a write to standard output or error still
    // fails with EBADF, as it would have on the closed descriptor.
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            const int null = open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
            if (null >= 0 && null != fd) {
                close(null);
            }
        }
    }
}

bool StdoutIsTerminal() {
    return isatty(STDOUT_FILENO) != 0;
}

void WriteErrorText(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
}

std::string DisplayName(const PathString& path) {
    return path;
}

std::string ReasonText(std::error_code error) {
    return error.message();
}

}  // namespace vorbex

#include "memory_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace vorbex::fuzz {

namespace {

[[noreturn]] void Fail(const char* what) {
    std::perror(what);
    std::abort();
}

}  // namespace

MemoryFile::MemoryFile() : fd_(memfd_create("vorbex-fuzz-image", MFD_CLOEXEC)) {
    if (fd_ < 0) {
        Fail("memfd_create");
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemoryFile::~MemoryFile() {
    close(fd_);
}

void MemoryFile::Write(const std::uint8_t* data, std::size_t size) {
    if (ftruncate(fd_, 0) != 0) {
        Fail("ftruncate");
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t wrote = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            Fail("pwrite");
        }
        done += static_cast<std::size_t>(wrote);
    }
}

}  // namespace vorbex::fuzz

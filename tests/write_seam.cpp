// A fault planted in vorbex for the tests: linked with --wrap=write and
// --wrap=close, every write(2) and close(2) the tool makes itself comes here
// first. The writes are those of output files into their temporary files;
// standard output goes through stdio, whose writes are not wrapped. After
// write number $VORBEX_SEAM_WRITE, the fault named by $VORBEX_SEAM_FAULT
// strikes while the temporary file exists: a signal number is raised,
// "memory" calls the new_handler, as operator new does when memory has run
// out, and "close" makes the next close fail with EIO, as a full disk on
// NFS may, though the descriptor is closed.
//
// Only the test executable vorbex_write_seam has this; vorbex itself does not.
#include <sys/types.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>

#include <cerrno>

extern "C" ssize_t __real_write(int fd, const void* data, std::size_t size);
extern "C" int __real_close(int fd);

namespace {
bool failNextClose = false;
}  // namespace

extern "C" int __wrap_close(int fd) {
    const int closed = __real_close(fd);
    if (failNextClose) {
        failNextClose = false;
        errno = EIO;
        return -1;
    }
    return closed;
}

extern "C" ssize_t __wrap_write(int fd, const void* data, std::size_t size) {
    static long writes = 0;
    const ssize_t done = __real_write(fd, data, size);
    const char* when = std::getenv("VORBEX_SEAM_WRITE");
    const char* fault = std::getenv("VORBEX_SEAM_FAULT");
    if (when != nullptr && fault != nullptr && ++writes == std::atol(when)) {
        if (std::strcmp(fault, "close") == 0) {
            failNextClose = true;
        } else if (std::strcmp(fault, "memory") == 0) {
            if (const std::new_handler handler = std::get_new_handler()) {
                handler();
            }
        } else {
            std::raise(std::atoi(fault));
        }
    }
    return done;
}

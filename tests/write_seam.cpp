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
// Linked with --wrap=open and --wrap=unlink as well, the fault "tmpfile"
// makes the system seem to have no unnamed files, so that the copy of a pipe
// is made under a name and removed at once, and raises SIGTERM just before
// that removal.
//
// Only the test executable vorbex_write_seam has this; vorbex itself does not.
#include <fcntl.h>
#include <sys/types.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>

#include <cerrno>
#include <cstdarg>

extern "C" ssize_t __real_write(int fd, const void* data, std::size_t size);
extern "C" int __real_close(int fd);
extern "C" int __real_open(const char* path, int flags, ...);
extern "C" int __real_unlink(const char* path);

namespace {
bool failNextClose = false;

bool Fault(const char* name) {
    const char* fault = std::getenv("VORBEX_SEAM_FAULT");
    return fault != nullptr && std::strcmp(fault, name) == 0;
}
}  // namespace

extern "C" int __wrap_open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
        std::va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, unsigned));
        va_end(args);
    }
    if ((flags & O_TMPFILE) == O_TMPFILE && Fault("tmpfile")) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return __real_open(path, flags, mode);
}

extern "C" int __wrap_unlink(const char* path) {
    if (Fault("tmpfile")) {
        std::raise(SIGTERM);
    }
    return __real_unlink(path);
}

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

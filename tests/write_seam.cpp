// A fault planted in vorbex for the tests: linked with --wrap=write, every
// write(2) the tool makes itself comes here first. Those are the writes of
// output files into their temporary files; standard output goes through
// stdio, whose writes are not wrapped. After write number
// $VORBEX_SEAM_WRITE, the fault named by $VORBEX_SEAM_FAULT strikes while
// the temporary file exists: a signal number is raised, and "memory" calls
// the new_handler, as operator new does when memory has run out.
//
// Only the test executable vorbex_write_seam has this; vorbex itself does not.
#include <sys/types.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>

extern "C" ssize_t __real_write(int fd, const void* data, std::size_t size);

extern "C" ssize_t __wrap_write(int fd, const void* data, std::size_t size) {
    static long writes = 0;
    const ssize_t done = __real_write(fd, data, size);
    const char* when = std::getenv("VORBEX_SEAM_WRITE");
    const char* fault = std::getenv("VORBEX_SEAM_FAULT");
    if (when != nullptr && fault != nullptr && ++writes == std::atol(when)) {
        if (std::strcmp(fault, "memory") == 0) {
            if (const std::new_handler handler = std::get_new_handler()) {
                handler();
            }
        } else {
            std::raise(std::atoi(fault));
        }
    }
    return done;
}
